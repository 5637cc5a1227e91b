#include "pack/archive.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

#include "pack/options.h"

namespace corvid::pack {

namespace {

constexpr std::uint64_t kZipLimit = 0xFFFFFFFFu;  // beyond it a zip needs ZIP64
constexpr std::size_t kChunk = 1 << 16;

void append16(std::string& out, std::uint32_t value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}
void append32(std::string& out, std::uint32_t value) {
    append16(out, value & 0xFFFF);
    append16(out, value >> 16);
}

// The extended timestamp field: the modification time in UTC, to the
// second, which unzip restores; the MS-DOS time alone is local and even.
std::string timestampField(const ArchiveTime& time) {
    std::string field;
    append16(field, 0x5455);
    append16(field, 5);
    field += '\x01';
    append32(field, static_cast<std::uint32_t>(std::clamp<std::int64_t>(time.unixSeconds, 0, 0xFFFFFFFFll)));
    return field;
}

bool isAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

void setDosTime(ArchiveTime& time, int year, int month, int day, int hour, int minute, int second) {
    if (year < 1980) {
        time.dosDate = 0x21;
        time.dosTime = 0;
        return;
    }
    if (year > 2107) {
        year = 2107, month = 12, day = 31, hour = 23, minute = 59, second = 58;
    }
    time.dosDate = static_cast<std::uint16_t>(((year - 1980) << 9) | (month << 5) | day);
    time.dosTime = static_cast<std::uint16_t>((hour << 11) | (minute << 5) | (second / 2));
}

bool ZipWriter::addFolder(const std::string& name, const ArchiveTime& time, std::string& error) {
    return add({name + "/", time, true, 0, 0, 0, 0}, nullptr, error);
}

bool ZipWriter::addFile(const std::string& name, std::istream& data, const ArchiveTime& time, std::string& error) {
    return add({name, time, false, 0, 0, 0, 0}, &data, error);
}

bool ZipWriter::add(Entry entry, std::istream* data, std::string& error) {
    const std::string plainName = entry.folder ? entry.name.substr(0, entry.name.size() - 1) : entry.name;
    if (!isRelativeName(plainName)) {
        error = plainName + ": not a relative name";
        return false;
    }
    if (entries_.size() >= 0xFFFF) {
        error = "more than 65,535 files: a zip without ZIP64 cannot hold them";
        return false;
    }
    const auto start = out_.tellp();
    if (start < 0) {
        error = "cannot be written";
        return false;
    }
    entry.offset = static_cast<std::uint64_t>(start);
    const std::string extra = timestampField(entry.time);
    std::string header;
    append32(header, 0x04034b50);
    append16(header, 20);
    append16(header, isAscii(entry.name) ? 0 : 0x0800);  // names in UTF-8
    append16(header, entry.folder ? 0 : 8);
    append16(header, entry.time.dosTime);
    append16(header, entry.time.dosDate);
    const std::size_t sizes = header.size();
    append32(header, 0);  // CRC and sizes, written once known
    append32(header, 0);
    append32(header, 0);
    append16(header, static_cast<std::uint32_t>(entry.name.size()));
    append16(header, static_cast<std::uint32_t>(extra.size()));
    header += entry.name;
    header += extra;
    out_.write(header.data(), static_cast<std::streamsize>(header.size()));

    if (data) {
        std::uint32_t crc = 0;
        std::uint64_t compressed = 0;
        Deflater deflater([&](const std::uint8_t* bytes, std::size_t size) {
            out_.write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(size));
            compressed += size;
        });
        std::vector<char> buffer(kChunk);
        while (*data) {
            data->read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
            const auto got = static_cast<std::size_t>(data->gcount());
            crc = crc32(crc, reinterpret_cast<const std::uint8_t*>(buffer.data()), got);
            deflater.write(reinterpret_cast<const std::uint8_t*>(buffer.data()), got);
            entry.size += got;
        }
        if (data->bad()) {
            error = entry.name + ": cannot be read";
            return false;
        }
        deflater.finish();
        entry.crc = crc;
        entry.compressed = compressed;
        if (entry.size > kZipLimit || entry.compressed > kZipLimit || entry.offset > kZipLimit) {
            error = entry.name + ": beyond 4 GB, which a zip without ZIP64 cannot hold";
            return false;
        }
        const auto end = out_.tellp();
        std::string known;
        append32(known, entry.crc);
        append32(known, static_cast<std::uint32_t>(entry.compressed));
        append32(known, static_cast<std::uint32_t>(entry.size));
        out_.seekp(start + static_cast<std::streamoff>(sizes));
        out_.write(known.data(), static_cast<std::streamsize>(known.size()));
        out_.seekp(end);
    }
    if (!out_) {
        error = "cannot be written";
        return false;
    }
    entries_.push_back(std::move(entry));
    return true;
}

bool ZipWriter::finish(std::string& error) {
    const auto start = out_.tellp();
    if (start < 0 || static_cast<std::uint64_t>(start) > kZipLimit) {
        error = start < 0 ? "cannot be written" : "beyond 4 GB, which a zip without ZIP64 cannot hold";
        return false;
    }
    std::string directory;
    for (const Entry& entry : entries_) {
        const std::string extra = timestampField(entry.time);
        append32(directory, 0x02014b50);
        append16(directory, 20);  // made by MS-DOS-compatible version 2.0: attributes are DOS ones
        append16(directory, 20);
        append16(directory, isAscii(entry.name) ? 0 : 0x0800);
        append16(directory, entry.folder ? 0 : 8);
        append16(directory, entry.time.dosTime);
        append16(directory, entry.time.dosDate);
        append32(directory, entry.crc);
        append32(directory, static_cast<std::uint32_t>(entry.compressed));
        append32(directory, static_cast<std::uint32_t>(entry.size));
        append16(directory, static_cast<std::uint32_t>(entry.name.size()));
        append16(directory, static_cast<std::uint32_t>(extra.size()));
        append16(directory, 0);  // comment
        append16(directory, 0);  // disk
        append16(directory, 0);  // internal attributes
        append32(directory, entry.folder ? 0x10 : 0x20);  // FILE_ATTRIBUTE_DIRECTORY, _ARCHIVE
        append32(directory, static_cast<std::uint32_t>(entry.offset));
        directory += entry.name;
        directory += extra;
    }
    if (static_cast<std::uint64_t>(start) + directory.size() > kZipLimit) {
        error = "beyond 4 GB, which a zip without ZIP64 cannot hold";
        return false;
    }
    std::string end;
    append32(end, 0x06054b50);
    append16(end, 0);
    append16(end, 0);
    append16(end, static_cast<std::uint32_t>(entries_.size()));
    append16(end, static_cast<std::uint32_t>(entries_.size()));
    append32(end, static_cast<std::uint32_t>(directory.size()));
    append32(end, static_cast<std::uint32_t>(start));
    append16(end, 0);
    out_.write(directory.data(), static_cast<std::streamsize>(directory.size()));
    out_.write(end.data(), static_cast<std::streamsize>(end.size()));
    out_.flush();
    if (!out_) {
        error = "cannot be written";
        return false;
    }
    return true;
}

namespace {

constexpr std::size_t kBlock = 512;
constexpr std::uint64_t kTarNumberLimit = 077777777777ull;  // eleven octal digits: sizes and times

// `value` in octal, `width - 1` digits and a NUL, as ustar fields are.
bool putOctal(char* field, std::size_t width, std::uint64_t value) {
    std::string digits(width - 1, '0');
    for (std::size_t i = width - 1; i-- > 0; value >>= 3) digits[i] = static_cast<char>('0' + (value & 7));
    if (value != 0) return false;
    std::memcpy(field, digits.data(), width - 1);
    field[width - 1] = '\0';
    return true;
}

// One pax record, "LENGTH key=value\n", whose length counts itself.
std::string paxRecord(const std::string& key, const std::string& value) {
    const std::size_t body = key.size() + value.size() + 3;
    std::size_t length = body + 1;
    while (std::to_string(length).size() + body != length) ++length;
    return std::to_string(length) + " " + key + "=" + value + "\n";
}

}  // namespace

TarGzWriter::TarGzWriter(std::ostream& out)
    : out_(out), deflater_([this](const std::uint8_t* bytes, std::size_t size) {
          out_.write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(size));
      }) {
    // gzip's header: deflate, no name, no time, from a Unix system.
    static const std::uint8_t kHeader[10] = {0x1f, 0x8b, 8, 0, 0, 0, 0, 0, 0, 3};
    out_.write(reinterpret_cast<const char*>(kHeader), sizeof kHeader);
}

void TarGzWriter::put(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    crc_ = crc32(crc_, bytes, size);
    size_ += size;
    deflater_.write(bytes, size);
}

bool TarGzWriter::header(const std::string& name, char type, std::uint64_t size, std::uint32_t mode,
                         std::int64_t time, std::string& error) {
    if (!isRelativeName(name)) {
        error = name + ": not a relative name";
        return false;
    }
    if (size > kTarNumberLimit) {
        error = name + ": beyond 8 GB, which a tar header cannot hold";
        return false;
    }
    const std::string stored = type == '5' ? name + "/" : name;
    std::string shortName = stored;
    std::string prefix;
    if (stored.size() > 100) {
        // ustar splits a long name at a '/' into a prefix of up to 155 bytes.
        std::size_t split = std::string::npos;
        for (std::size_t at = stored.find('/'); at != std::string::npos; at = stored.find('/', at + 1)) {
            if (at <= 155 && stored.size() - at - 1 <= 100 && at + 1 < stored.size()) {
                split = at;
                break;
            }
        }
        if (split != std::string::npos) {
            prefix = stored.substr(0, split);
            shortName = stored.substr(split + 1);
        } else {
            // Longer still: a pax header gives the whole name.
            const std::string record = paxRecord("path", stored);
            if (!header("PaxHeaders/" + name.substr(name.rfind('/') + 1).substr(0, 80), 'x', record.size(), 0644,
                        time, error)) {
                return false;
            }
            std::string body = record;
            body.resize((record.size() + kBlock - 1) / kBlock * kBlock, '\0');
            put(body.data(), body.size());
            shortName = stored.substr(stored.size() - 100);
            if (shortName.front() == '/') shortName.erase(0, 1);
        }
    }
    std::array<char, kBlock> block{};
    std::memcpy(block.data(), shortName.data(), shortName.size());
    putOctal(block.data() + 100, 8, mode);
    putOctal(block.data() + 108, 8, 0);
    putOctal(block.data() + 116, 8, 0);
    putOctal(block.data() + 124, 12, size);
    const std::int64_t stamp = std::clamp<std::int64_t>(time, 0, static_cast<std::int64_t>(kTarNumberLimit));
    putOctal(block.data() + 136, 12, static_cast<std::uint64_t>(stamp));
    block[156] = type;
    std::memcpy(block.data() + 257, "ustar", 6);
    std::memcpy(block.data() + 263, "00", 2);
    std::memcpy(block.data() + 345, prefix.data(), prefix.size());
    std::memset(block.data() + 148, ' ', 8);
    std::uint32_t sum = 0;
    for (const char c : block) sum += static_cast<unsigned char>(c);
    putOctal(block.data() + 148, 7, sum);
    block[155] = ' ';
    put(block.data(), block.size());
    return true;
}

bool TarGzWriter::addFolder(const std::string& name, const ArchiveTime& time, std::string& error) {
    return header(name, '5', 0, 0755, time.unixSeconds, error);
}

bool TarGzWriter::addFile(const std::string& name, std::istream& data, std::uint64_t size, const ArchiveTime& time,
                          bool executable, std::string& error) {
    if (!header(name, '0', size, executable ? 0755 : 0644, time.unixSeconds, error)) return false;
    std::vector<char> buffer(kChunk);
    std::uint64_t left = size;
    while (left > 0) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(left, buffer.size()));
        data.read(buffer.data(), static_cast<std::streamsize>(want));
        const auto got = static_cast<std::size_t>(data.gcount());
        if (got != want) {
            error = name + (data.bad() ? ": cannot be read" : ": changed while it was packed");
            return false;
        }
        put(buffer.data(), got);
        left -= got;
    }
    if (data.peek() != std::char_traits<char>::eof()) {
        error = name + ": changed while it was packed";
        return false;
    }
    static const char kZeros[kBlock] = {};
    if (size % kBlock != 0) put(kZeros, kBlock - size % kBlock);
    return true;
}

bool TarGzWriter::finish(std::string& error) {
    static const char kZeros[2 * kBlock] = {};
    put(kZeros, sizeof kZeros);
    deflater_.finish();
    std::string trailer;
    append32(trailer, crc_);
    append32(trailer, static_cast<std::uint32_t>(size_));
    out_.write(trailer.data(), static_cast<std::streamsize>(trailer.size()));
    out_.flush();
    if (!out_) {
        error = "cannot be written";
        return false;
    }
    return true;
}

}  // namespace corvid::pack
