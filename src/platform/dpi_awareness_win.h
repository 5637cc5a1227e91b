// The launcher's own windows are drawn for their monitor's dpi, while the
// process keeps the system's default awareness: the JVM and every thread it
// starts find that default, and a runtime that chooses no awareness itself
// (Java 8) is scaled by the system.
#pragma once

#ifndef _WIN32
#error "dpi_awareness_win.h is for the Windows build only"
#endif

namespace corvid {

// Makes the calling thread per-monitor aware for the object's life, so the
// windows it creates meanwhile are; restores the thread's awareness at the
// end. Does nothing on systems before Windows 10 1607.
class PerMonitorDpiScope {
public:
    PerMonitorDpiScope() noexcept;
    ~PerMonitorDpiScope();
    PerMonitorDpiScope(const PerMonitorDpiScope&) = delete;
    PerMonitorDpiScope& operator=(const PerMonitorDpiScope&) = delete;

private:
    void* previous_ = nullptr;  // the thread's DPI_AWARENESS_CONTEXT before
};

}  // namespace corvid
