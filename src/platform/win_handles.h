// UniqueHandle traits for the Win32 handle kinds the launcher owns. Closing
// never changes the thread's last-error code, so an error captured after a
// failing call survives the cleanup that follows it.
#pragma once

#include "platform/unique_handle.h"
#include "platform/windows_api.h"

namespace corvid {

// Each kind names its handle type, its closing function and its invalid
// value (a function, since INVALID_HANDLE_VALUE is no constant expression).
template <typename H, auto Close, H (*Invalid)()>
struct Win32HandleTraits {
    using Handle = H;
    static Handle invalid() noexcept { return Invalid(); }
    static void close(Handle handle) noexcept {
        const DWORD saved = GetLastError();
        Close(handle);
        SetLastError(saved);
    }
};

template <typename H>
H nullHandle() noexcept {
    return nullptr;
}
inline HANDLE invalidHandleValue() noexcept { return INVALID_HANDLE_VALUE; }
inline BOOL unmapView(void* view) noexcept { return UnmapViewOfFile(view); }

using KernelHandleTraits = Win32HandleTraits<HANDLE, &CloseHandle, &nullHandle<HANDLE>>;
// CreateFileW and FindFirstFileW report failure with INVALID_HANDLE_VALUE, not null.
using FileHandleTraits = Win32HandleTraits<HANDLE, &CloseHandle, &invalidHandleValue>;
using FindHandleTraits = Win32HandleTraits<HANDLE, &FindClose, &invalidHandleValue>;
using RegistryKeyTraits = Win32HandleTraits<HKEY, &RegCloseKey, &nullHandle<HKEY>>;
using MappedViewTraits = Win32HandleTraits<void*, &unmapView, &nullHandle<void*>>;

using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;
using UniqueFileHandle = UniqueHandle<FileHandleTraits>;
using UniqueFindHandle = UniqueHandle<FindHandleTraits>;
using UniqueRegistryKey = UniqueHandle<RegistryKeyTraits>;
using UniqueMappedView = UniqueHandle<MappedViewTraits>;

}  // namespace corvid
