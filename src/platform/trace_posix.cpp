#ifdef _WIN32
#error "trace_posix.cpp is for the POSIX build only"
#endif

#include <fcntl.h>
#include <unistd.h>

#include "platform/trace.h"
#include "platform/unique_handle.h"

namespace corvid {

namespace {

struct FileDescriptorTraits {
    using Handle = int;
    static Handle invalid() noexcept { return -1; }
    static void close(Handle fd) noexcept {
        if (fd > 2) ::close(fd);
    }
};

class FileTraceOutput final : public TraceOutput {
public:
    explicit FileTraceOutput(int fd) : fd_(fd) {}
    void write(std::string_view line) override {
        // One write per line keeps lines whole when several processes append.
        while (!line.empty()) {
            const ssize_t written = ::write(fd_.get(), line.data(), line.size());
            if (written <= 0) return;
            line.remove_prefix(static_cast<std::size_t>(written));
        }
    }

private:
    UniqueHandle<FileDescriptorTraits> fd_;
};

}  // namespace

std::unique_ptr<TraceOutput> openTraceOutput(const WideString& target) {
    if (target == u"-") return std::make_unique<FileTraceOutput>(2);
    const int fd = ::open(toNarrow(target).c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    return std::make_unique<FileTraceOutput>(fd);
}

}  // namespace corvid
