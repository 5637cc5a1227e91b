#ifdef _WIN32
#error "run_tool_posix.cpp is for the POSIX build only"
#endif

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "pack/run_tool.h"

namespace corvid::pack {

std::string findOnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    const std::string list = path ? path : "/usr/bin:/bin";
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = list.find(':', start);
        std::string folder = list.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (folder.empty()) folder = ".";
        const std::string candidate = folder + "/" + program;
        struct stat facts {};
        if (::stat(candidate.c_str(), &facts) == 0 && S_ISREG(facts.st_mode) && ::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
        if (end == std::string::npos) return {};
        start = end + 1;
    }
}

ToolRun runTool(const std::string& program, const std::vector<std::string>& arguments, const std::string& folder) {
    ToolRun run;
    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC) != 0) return run;
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        // Only async-signal-safe calls from here on.
        const int null = ::open("/dev/null", O_RDONLY);
        if (null >= 0) ::dup2(null, 0);
        ::dup2(pipe[1], 1);
        ::dup2(pipe[1], 2);
        if (::chdir(folder.c_str()) != 0) ::_exit(127);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(pipe[1]);
    if (child < 0) {
        ::close(pipe[0]);
        return run;
    }
    run.started = true;
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(pipe[0], buffer, sizeof buffer);
        if (got > 0) {
            run.output.append(buffer, static_cast<std::size_t>(got));
        } else if (got == 0 || errno != EINTR) {
            break;
        }
    }
    ::close(pipe[0]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    return run;
}

}  // namespace corvid::pack
