#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "pack/archive.h"
#include "pack/deflate.h"

#if defined(CORVID_TEST_ZLIB)
#include <zlib.h>
#endif

namespace corvid::pack {
namespace {

std::uint32_t le(const std::string& bytes, std::size_t at, std::size_t width) {
    std::uint32_t value = 0;
    for (std::size_t i = width; i-- > 0;) value = (value << 8) | static_cast<unsigned char>(bytes.at(at + i));
    return value;
}

std::uint32_t crcOf(const std::string& text) {
    return crc32(0, reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

// Inputs that exercise the compressor's paths: nothing, one byte, long runs,
// text, random bytes (stored blocks), and repeats further than a window.
std::vector<std::pair<std::string, std::string>> samples() {
    std::mt19937 random(7);
    std::string noise(70000, '\0');
    for (char& c : noise) c = static_cast<char>(random());
    std::string text;
    for (int i = 0; text.size() < 300000; ++i) text += "line " + std::to_string(i % 977) + " of the sample text\n";
    std::string far = noise.substr(0, 40000);
    far += std::string(1000, 'x') + far;  // repeats 41 KB back: out of reach
    std::string small(5000, '\0');
    for (char& c : small) c = static_cast<char>('a' + random() % 4);
    return {{"empty", ""}, {"one byte", "a"}, {"a run", std::string(100000, 'x')}, {"text", text},
            {"noise", noise}, {"far repeats", far}, {"four letters", small}};
}

TEST(PackDeflate, Crc32MatchesItsCheckValue) {
    EXPECT_EQ(crcOf("123456789"), 0xCBF43926u);
    EXPECT_EQ(crcOf(""), 0u);
    // Continued over pieces, the same as at once.
    const std::string text = "The quick brown fox jumps over the lazy dog";
    const std::uint32_t first = crcOf(text.substr(0, 10));
    EXPECT_EQ(crc32(first, reinterpret_cast<const std::uint8_t*>(text.data()) + 10, text.size() - 10), crcOf(text));
    EXPECT_EQ(crcOf(text), 0x414FA339u);
}

TEST(PackDeflate, PiecesGiveTheSameStreamAsTheWhole) {
    for (const auto& [name, data] : samples()) {
        std::vector<std::uint8_t> pieces;
        Deflater deflater([&](const std::uint8_t* bytes, std::size_t size) { pieces.insert(pieces.end(), bytes, bytes + size); });
        for (std::size_t at = 0; at < data.size(); at += 4093) {
            const std::size_t n = std::min<std::size_t>(4093, data.size() - at);
            deflater.write(reinterpret_cast<const std::uint8_t*>(data.data()) + at, n);
        }
        deflater.finish();
        EXPECT_EQ(pieces, deflate(data)) << name;
    }
}

#if defined(CORVID_TEST_ZLIB)
std::string inflateRaw(const std::vector<std::uint8_t>& compressed, std::size_t expected, int windowBits = -15) {
    z_stream stream{};
    EXPECT_EQ(inflateInit2(&stream, windowBits), Z_OK);
    std::string out(expected + 64, '\0');
    stream.next_in = const_cast<Bytef*>(compressed.data());
    stream.avail_in = static_cast<uInt>(compressed.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    const int result = inflate(&stream, Z_FINISH);
    EXPECT_EQ(result, Z_STREAM_END) << (stream.msg ? stream.msg : "");
    EXPECT_EQ(stream.avail_in, 0u) << "bytes after the stream's end";
    out.resize(stream.total_out);
    inflateEnd(&stream);
    return out;
}

TEST(PackDeflate, ZlibReadsBackWhatItWrites) {
    for (const auto& [name, data] : samples()) {
        const auto compressed = deflate(data);
        EXPECT_EQ(inflateRaw(compressed, data.size()), data) << name;
        if (name == "noise") {
            EXPECT_LT(compressed.size(), data.size() + data.size() / 1000 + 16) << "stored, not grown";
        } else if (name == "text") {
            EXPECT_LT(compressed.size(), data.size() / 8) << "matched";
        } else if (name == "a run") {
            EXPECT_LT(compressed.size(), 300u);
        }
    }
}
#endif

ArchiveTime someTime() {
    ArchiveTime time;
    time.unixSeconds = 1781092800;  // 2026-06-10 12:00:00 UTC
    setDosTime(time, 2026, 6, 10, 14, 0, 7);
    return time;
}

TEST(PackArchive, MsDosTimes) {
    const struct {
        int year, month, day, hour, minute, second;
        std::uint16_t date, time;
    } cases[] = {
        {2026, 6, 10, 14, 0, 7, (46 << 9) | (6 << 5) | 10, (14 << 11) | (0 << 5) | 3},
        {1980, 1, 1, 0, 0, 0, 0x21, 0},
        {1979, 12, 31, 23, 59, 59, 0x21, 0},
        {2107, 12, 31, 23, 59, 59, (127 << 9) | (12 << 5) | 31, (23 << 11) | (59 << 5) | 29},
        {2200, 1, 1, 0, 0, 0, (127 << 9) | (12 << 5) | 31, (23 << 11) | (59 << 5) | 29},
    };
    for (const auto& c : cases) {
        ArchiveTime time;
        setDosTime(time, c.year, c.month, c.day, c.hour, c.minute, c.second);
        EXPECT_EQ(time.dosDate, c.date) << c.year;
        EXPECT_EQ(time.dosTime, c.time) << c.year;
    }
}

struct ZipEntry {
    std::string name;
    std::uint32_t crc, compressed, size, offset, attributes, method, dosTime, dosDate, utc;
};

// The central directory as a reader walks it, checked against each local header.
std::vector<ZipEntry> readZip(const std::string& zip) {
    std::vector<ZipEntry> entries;
    EXPECT_GE(zip.size(), 22u);
    const std::size_t end = zip.size() - 22;
    EXPECT_EQ(le(zip, end, 4), 0x06054b50u);
    const std::uint32_t count = le(zip, end + 10, 2);
    std::size_t at = le(zip, end + 16, 4);
    EXPECT_EQ(le(zip, end + 12, 4), end - at) << "directory size";
    for (std::uint32_t i = 0; i < count; ++i) {
        EXPECT_EQ(le(zip, at, 4), 0x02014b50u);
        ZipEntry entry{};
        entry.method = le(zip, at + 10, 2);
        entry.dosTime = le(zip, at + 12, 2);
        entry.dosDate = le(zip, at + 14, 2);
        entry.crc = le(zip, at + 16, 4);
        entry.compressed = le(zip, at + 20, 4);
        entry.size = le(zip, at + 24, 4);
        const std::uint32_t nameLength = le(zip, at + 28, 2);
        const std::uint32_t extraLength = le(zip, at + 30, 2);
        entry.attributes = le(zip, at + 38, 4);
        entry.offset = le(zip, at + 42, 4);
        entry.name = zip.substr(at + 46, nameLength);
        const std::string extra = zip.substr(at + 46 + nameLength, extraLength);
        EXPECT_EQ(le(extra, 0, 2), 0x5455u);
        entry.utc = le(extra, 5, 4);
        // The local header says the same.
        const std::size_t local = entry.offset;
        EXPECT_EQ(le(zip, local, 4), 0x04034b50u);
        EXPECT_EQ(le(zip, local + 14, 4), entry.crc) << entry.name;
        EXPECT_EQ(le(zip, local + 18, 4), entry.compressed) << entry.name;
        EXPECT_EQ(le(zip, local + 22, 4), entry.size) << entry.name;
        EXPECT_EQ(zip.substr(local + 30, le(zip, local + 26, 2)), entry.name);
        entries.push_back(entry);
        at += 46 + nameLength + extraLength + le(zip, at + 32, 2);
    }
    EXPECT_EQ(at, end);
    return entries;
}

TEST(PackArchive, ZipHoldsNamesTimesAndSizes) {
    std::stringstream out;
    std::string error;
    ZipWriter zip(out);
    const ArchiveTime time = someTime();
    ASSERT_TRUE(zip.addFolder("My App", time, error)) << error;
    std::istringstream ini("[Java Runtime Environment]\r\nMain Class=M\r\n");
    ASSERT_TRUE(zip.addFile("My App/My App.ini", ini, time, error)) << error;
    std::istringstream empty("");
    ASSERT_TRUE(zip.addFile("My App/app/Ünï.txt", empty, time, error)) << error;
    ASSERT_TRUE(zip.finish(error)) << error;

    const std::string bytes = out.str();
    const auto entries = readZip(bytes);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].name, "My App/");
    EXPECT_EQ(entries[0].attributes, 0x10u);
    EXPECT_EQ(entries[0].method, 0u);
    EXPECT_EQ(entries[1].name, "My App/My App.ini");
    EXPECT_EQ(entries[1].attributes, 0x20u);
    EXPECT_EQ(entries[1].method, 8u);
    EXPECT_EQ(entries[1].size, 42u);
    EXPECT_EQ(entries[1].crc, crcOf("[Java Runtime Environment]\r\nMain Class=M\r\n"));
    EXPECT_EQ(entries[2].name, "My App/app/Ünï.txt");
    EXPECT_EQ(entries[2].size, 0u);
    EXPECT_EQ(le(bytes, entries[2].offset + 6, 2), 0x0800u) << "the UTF-8 flag of a name beyond ASCII";
    EXPECT_EQ(le(bytes, entries[1].offset + 6, 2), 0u);
    for (const ZipEntry& entry : entries) {
        EXPECT_EQ(entry.dosDate, time.dosDate);
        EXPECT_EQ(entry.dosTime, time.dosTime);
        EXPECT_EQ(entry.utc, 1781092800u);
    }
#if defined(CORVID_TEST_ZLIB)
    const std::vector<std::uint8_t> data(bytes.begin() + static_cast<std::ptrdiff_t>(entries[1].offset + 30 + 17 + 9),
                                         bytes.begin() + static_cast<std::ptrdiff_t>(entries[1].offset + 30 + 17 + 9 + entries[1].compressed));
    EXPECT_EQ(inflateRaw(data, entries[1].size), "[Java Runtime Environment]\r\nMain Class=M\r\n");
#endif
}

TEST(PackArchive, ArchivesRefuseNamesThatLeadOutOfTheirFolder) {
    for (const char* name : {"", "/etc/passwd", "a/../../b", "..", "./a", "a//b", "a\\b", "a/"}) {
        std::stringstream out;
        std::string error;
        ZipWriter zip(out);
        std::istringstream data("x");
        EXPECT_FALSE(zip.addFile(name, data, someTime(), error)) << name;
        EXPECT_NE(error.find("not a relative name"), std::string::npos) << error;
        TarGzWriter tar(out);
        EXPECT_FALSE(tar.addFolder(name, someTime(), error)) << name;
    }
}

#if defined(CORVID_TEST_ZLIB)
struct TarEntry {
    std::string name;
    char type;
    std::uint32_t mode;
    std::uint64_t size;
    std::int64_t time;
    std::string data;
};

std::uint64_t octal(const std::string& field) {
    std::uint64_t value = 0;
    for (const char c : field) {
        if (c < '0' || c > '7') break;
        value = value * 8 + static_cast<std::uint64_t>(c - '0');
    }
    return value;
}

// Unpacks the gzip stream and walks the tar records as GNU tar does,
// applying a pax header's path to the entry after it.
std::vector<TarEntry> readTarGz(const std::string& gz) {
    EXPECT_EQ(gz.substr(0, 3), std::string("\x1f\x8b\x08", 3));
    const std::vector<std::uint8_t> bytes(gz.begin(), gz.end());
    const std::string tar = inflateRaw(bytes, 1 << 22, 15 + 16);
    EXPECT_EQ(le(gz, gz.size() - 4, 4), tar.size() & 0xFFFFFFFFu);
    EXPECT_EQ(le(gz, gz.size() - 8, 4), crcOf(tar));
    EXPECT_EQ(tar.size() % 512, 0u);
    std::vector<TarEntry> entries;
    std::string paxPath;
    for (std::size_t at = 0; at + 512 <= tar.size(); at += 512) {
        const std::string block = tar.substr(at, 512);
        if (block == std::string(512, '\0')) {
            EXPECT_EQ(tar.substr(at), std::string(1024, '\0')) << "two zero blocks end the archive";
            break;
        }
        std::uint32_t sum = 0;
        for (std::size_t i = 0; i < 512; ++i) sum += (i >= 148 && i < 156) ? ' ' : static_cast<unsigned char>(block[i]);
        EXPECT_EQ(octal(block.substr(148, 8)), sum) << "checksum";
        EXPECT_EQ(block.substr(257, 8), std::string("ustar\0" "00", 8));
        TarEntry entry;
        const std::string prefix = block.substr(345, 155).c_str();
        entry.name = (prefix.empty() ? "" : prefix + "/") + block.substr(0, 100).c_str();
        entry.type = block[156];
        entry.mode = static_cast<std::uint32_t>(octal(block.substr(100, 8)));
        entry.size = octal(block.substr(124, 12));
        entry.time = static_cast<std::int64_t>(octal(block.substr(136, 12)));
        entry.data = tar.substr(at + 512, entry.size);
        at += (entry.size + 511) / 512 * 512;
        if (entry.type == 'x') {
            const std::size_t key = entry.data.find(" path=");
            paxPath = entry.data.substr(key + 6, entry.data.size() - key - 7);
            EXPECT_EQ(std::to_string(entry.data.size()), entry.data.substr(0, key)) << "the record's length counts itself";
            continue;
        }
        if (!paxPath.empty()) entry.name = std::exchange(paxPath, std::string());
        entries.push_back(entry);
    }
    return entries;
}

TEST(PackArchive, TarGzKeepsModesTimesAndLongNames) {
    const std::string deep = "MyApp/" + std::string(120, 'd') + "/file.txt";   // split into prefix and name
    const std::string deeper = "MyApp/" + std::string(60, 'e') + "/" + std::string(150, 'f') + ".txt";  // pax
    std::stringstream out;
    std::string error;
    {
        TarGzWriter tar(out);
        const ArchiveTime time = someTime();
        ASSERT_TRUE(tar.addFolder("MyApp", time, error)) << error;
        std::istringstream launcher(std::string(1000, 'L'));
        ASSERT_TRUE(tar.addFile("MyApp/MyApp", launcher, 1000, time, true, error)) << error;
        std::istringstream ini("[Class Path]\n");
        ASSERT_TRUE(tar.addFile("MyApp/MyApp.ini", ini, 13, time, false, error)) << error;
        std::istringstream one("1");
        ASSERT_TRUE(tar.addFile(deep, one, 1, time, false, error)) << error;
        std::istringstream two("22");
        ASSERT_TRUE(tar.addFile(deeper, two, 2, time, false, error)) << error;
        ASSERT_TRUE(tar.finish(error)) << error;
    }
    const auto entries = readTarGz(out.str());
    ASSERT_EQ(entries.size(), 5u);
    EXPECT_EQ(entries[0].name, "MyApp/");
    EXPECT_EQ(entries[0].type, '5');
    EXPECT_EQ(entries[0].mode, 0755u);
    EXPECT_EQ(entries[1].name, "MyApp/MyApp");
    EXPECT_EQ(entries[1].mode, 0755u);
    EXPECT_EQ(entries[1].data, std::string(1000, 'L'));
    EXPECT_EQ(entries[1].time, 1781092800);
    EXPECT_EQ(entries[2].mode, 0644u);
    EXPECT_EQ(entries[2].data, "[Class Path]\n");
    EXPECT_EQ(entries[3].name, deep);
    EXPECT_EQ(entries[3].data, "1");
    EXPECT_EQ(entries[4].name, deeper);
    EXPECT_EQ(entries[4].data, "22");
}

TEST(PackArchive, TarRefusesAFileThatChangedWhileItWasPacked) {
    for (const auto& [data, size] : {std::pair<std::string, std::uint64_t>{"short", 10}, {"longer than said", 4}}) {
        std::stringstream out;
        std::string error;
        TarGzWriter tar(out);
        std::istringstream in(data);
        EXPECT_FALSE(tar.addFile("a/b", in, size, someTime(), false, error));
        EXPECT_EQ(error, "a/b: changed while it was packed");
    }
}
#endif

}  // namespace
}  // namespace corvid::pack
