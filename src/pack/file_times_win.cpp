#ifndef _WIN32
#error "file_times_win.cpp is for the Windows build only"
#endif

#include "pack/file_times.h"
#include "platform/windows_api.h"

namespace corvid::pack {

std::optional<ArchiveTime> fileTime(const std::filesystem::path& path) {
    WIN32_FILE_ATTRIBUTE_DATA facts{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &facts)) return std::nullopt;
    const std::uint64_t ticks =
        (static_cast<std::uint64_t>(facts.ftLastWriteTime.dwHighDateTime) << 32) | facts.ftLastWriteTime.dwLowDateTime;
    ArchiveTime time;
    // 100 ns ticks since 1601; 11,644,473,600 seconds lie between 1601 and 1970.
    time.unixSeconds = static_cast<std::int64_t>(ticks / 10000000) - 11644473600ll;
    // The local time of that day, with that day's daylight saving, as
    // Explorer shows it.
    SYSTEMTIME utc{};
    SYSTEMTIME local{};
    if (!FileTimeToSystemTime(&facts.ftLastWriteTime, &utc) || !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) {
        return std::nullopt;
    }
    setDosTime(time, local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond);
    return time;
}

}  // namespace corvid::pack
