// UniqueHandle traits for the POSIX handle kinds the launcher owns. Closing
// never changes errno, so an error captured after a failing call survives
// the cleanup that follows it.
#pragma once

#ifdef _WIN32
#error "posix_handles.h is for the POSIX build only"
#endif

#include <cerrno>
#include <dirent.h>
#include <unistd.h>

#include "platform/unique_handle.h"

namespace corvid {

struct FileDescriptorTraits {
    using Handle = int;
    static Handle invalid() noexcept { return -1; }
    static void close(Handle fd) noexcept {
        const int saved = errno;
        ::close(fd);
        errno = saved;
    }
};

struct DirectoryTraits {
    using Handle = DIR*;
    static Handle invalid() noexcept { return nullptr; }
    static void close(Handle dir) noexcept {
        const int saved = errno;
        closedir(dir);
        errno = saved;
    }
};

using UniqueFileDescriptor = UniqueHandle<FileDescriptorTraits>;
using UniqueDirectory = UniqueHandle<DirectoryTraits>;

}  // namespace corvid
