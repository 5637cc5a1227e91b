#ifdef _WIN32
#error "standard_output_hold_posix.cpp is for the POSIX build only"
#endif

#include "java/standard_output_hold.h"

#include <unistd.h>

#include <cstdio>

namespace corvid {

namespace {

// A file rather than a pipe: the JVM may write any amount while nobody reads.
std::FILE* holding = nullptr;
int savedOutput = -1;

}  // namespace

void holdStandardOutput() {
    if (holding) return;
    std::FILE* file = std::tmpfile();
    if (!file) return;
    std::fflush(stdout);
    const int saved = dup(STDOUT_FILENO);
    if (saved < 0 || dup2(fileno(file), STDOUT_FILENO) < 0) {
        if (saved >= 0) close(saved);
        std::fclose(file);
        return;
    }
    holding = file;
    savedOutput = saved;
}

std::string releaseStandardOutput(bool writeThrough) {
    if (!holding) return {};
    std::fflush(stdout);
    dup2(savedOutput, STDOUT_FILENO);
    close(savedOutput);
    savedOutput = -1;
    std::string text;
    std::rewind(holding);
    char buffer[4096];
    for (std::size_t count; (count = std::fread(buffer, 1, sizeof buffer, holding)) > 0;) text.append(buffer, count);
    std::fclose(holding);
    holding = nullptr;
    if (writeThrough && !text.empty()) {
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
    }
    return text;
}

}  // namespace corvid
