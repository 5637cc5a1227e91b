#ifndef _WIN32
#error "trace_win.cpp is for the Windows build only"
#endif

#include "platform/trace.h"
#include "platform/win_handles.h"

namespace corvid {

namespace {

class FileTraceOutput final : public TraceOutput {
public:
    explicit FileTraceOutput(HANDLE file) : file_(file) {}
    void write(std::string_view line) override {
        DWORD written = 0;
        WriteFile(file_.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    }

private:
    UniqueFileHandle file_;
};

}  // namespace

std::unique_ptr<TraceOutput> openTraceOutput(const WideString& target) {
    HANDLE file = CreateFileW(wide(target), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    return std::make_unique<FileTraceOutput>(file);
}

}  // namespace corvid
