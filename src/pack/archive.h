// The two archive formats an image is shipped in: a zip for Windows (file
// times kept, names relative, as Explorer and every unzip read it) and a
// gzip-compressed tar for Linux, which keeps the execute bits. Both are
// written to a seekable stream from entries given one by one.
#pragma once

#include <cstdint>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "pack/deflate.h"

namespace corvid::pack {

// A file's modification time as the archives keep it: seconds since 1970
// (UTC), and the local date and time in the MS-DOS form of the zip headers.
struct ArchiveTime {
    std::int64_t unixSeconds = 0;
    std::uint16_t dosDate = 0x21;  // 1980-01-01
    std::uint16_t dosTime = 0;
};

// The MS-DOS form of a local date and time (month 1-12); before 1980 gives
// 1980-01-01, after 2107 the last day of 2107.
void setDosTime(ArchiveTime& time, int year, int month, int day, int hour, int minute, int second);

// Names are relative and '/'-separated; a folder's name has no trailing '/'.
// A method that fails leaves a message in `error` and the writer unusable.
class ZipWriter {
public:
    explicit ZipWriter(std::ostream& out) : out_(out) {}
    bool addFolder(const std::string& name, const ArchiveTime& time, std::string& error);
    // Compresses `data` to its end.
    bool addFile(const std::string& name, std::istream& data, const ArchiveTime& time, std::string& error);
    // The central directory; nothing may be added after it.
    bool finish(std::string& error);

private:
    struct Entry {
        std::string name;
        ArchiveTime time;
        bool folder;
        std::uint32_t crc;
        std::uint64_t compressed;
        std::uint64_t size;
        std::uint64_t offset;
    };
    bool add(Entry entry, std::istream* data, std::string& error);
    std::ostream& out_;
    std::vector<Entry> entries_;
};

class TarGzWriter {
public:
    explicit TarGzWriter(std::ostream& out);
    bool addFolder(const std::string& name, const ArchiveTime& time, std::string& error);
    // `size` bytes are read from `data`; a stream that ends sooner, or has
    // more, is an error (the file changed while it was packed).
    bool addFile(const std::string& name, std::istream& data, std::uint64_t size, const ArchiveTime& time,
                 bool executable, std::string& error);
    bool finish(std::string& error);

private:
    bool header(const std::string& name, char type, std::uint64_t size, std::uint32_t mode, std::int64_t time,
                std::string& error);
    void put(const void* data, std::size_t size);
    std::ostream& out_;
    Deflater deflater_;
    std::uint32_t crc_ = 0;
    std::uint64_t size_ = 0;
};

}  // namespace corvid::pack
