// UniqueHandle traits for the Win32 handle kinds the launcher owns. Closing
// never changes the thread's last-error code, so an error captured after a
// failing call survives the cleanup that follows it.
#pragma once

#include "launcher/unique_handle.h"
#include "launcher/windows_api.h"

namespace corvid {

struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle invalid() noexcept { return nullptr; }
    static void close(Handle handle) noexcept {
        const DWORD saved = GetLastError();
        CloseHandle(handle);
        SetLastError(saved);
    }
};

// CreateFileW reports failure with INVALID_HANDLE_VALUE, not null.
struct FileHandleTraits {
    using Handle = HANDLE;
    static Handle invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(Handle handle) noexcept {
        const DWORD saved = GetLastError();
        CloseHandle(handle);
        SetLastError(saved);
    }
};

struct FindHandleTraits {
    using Handle = HANDLE;
    static Handle invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(Handle handle) noexcept {
        const DWORD saved = GetLastError();
        FindClose(handle);
        SetLastError(saved);
    }
};

struct RegistryKeyTraits {
    using Handle = HKEY;
    static Handle invalid() noexcept { return nullptr; }
    static void close(Handle handle) noexcept {
        const DWORD saved = GetLastError();
        RegCloseKey(handle);
        SetLastError(saved);
    }
};

struct MappedViewTraits {
    using Handle = void*;
    static Handle invalid() noexcept { return nullptr; }
    static void close(Handle handle) noexcept {
        const DWORD saved = GetLastError();
        UnmapViewOfFile(handle);
        SetLastError(saved);
    }
};

using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;
using UniqueFileHandle = UniqueHandle<FileHandleTraits>;
using UniqueFindHandle = UniqueHandle<FindHandleTraits>;
using UniqueRegistryKey = UniqueHandle<RegistryKeyTraits>;
using UniqueMappedView = UniqueHandle<MappedViewTraits>;

}  // namespace corvid
