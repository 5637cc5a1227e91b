#ifdef _WIN32
#error "file_times_posix.cpp is for the POSIX build only"
#endif

#include <sys/stat.h>

#include <ctime>

#include "pack/file_times.h"

namespace corvid::pack {

std::optional<ArchiveTime> fileTime(const std::filesystem::path& path) {
    struct stat facts {};
    if (::stat(path.c_str(), &facts) != 0) return std::nullopt;
    ArchiveTime time;
    time.unixSeconds = facts.st_mtime;
    struct tm local {};
    if (!::localtime_r(&facts.st_mtime, &local)) return std::nullopt;
    setDosTime(time, local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return time;
}

}  // namespace corvid::pack
