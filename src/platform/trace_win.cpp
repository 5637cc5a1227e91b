#ifndef _WIN32
#error "trace_win.cpp is for the Windows build only"
#endif

#include <mutex>

#include "platform/lock.h"
#include "platform/trace.h"
#include "platform/win_handles.h"

namespace corvid {

namespace {

class FileTraceOutput final : public TraceOutput {
public:
    explicit FileTraceOutput(HANDLE file) : file_(file) {}
    void write(std::string_view line) override {
        // The splash thread traces while the main thread does. Windows
        // appends atomically, but Wine appends as a size lookup and a write
        // at that offset, so two lines at once could land on one place and
        // one of them be lost: one writer at a time.
        const std::lock_guard<Mutex> hold(lock_);
        DWORD written = 0;
        WriteFile(file_.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    }

private:
    UniqueFileHandle file_;
    Mutex lock_;
};

}  // namespace

std::unique_ptr<TraceOutput> openTraceOutput(const WideString& target) {
    HANDLE file = CreateFileW(wide(target), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    return std::make_unique<FileTraceOutput>(file);
}

}  // namespace corvid
