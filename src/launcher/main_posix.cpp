#ifdef _WIN32
#error "main_posix.cpp is for the POSIX build only"
#endif

#include "launcher/entry.h"

// Linux hands over the arguments already split; they reach the Java program
// exactly as given.
int main(int argc, char** argv) {
    corvid::installFatalErrorHandlers();
    corvid::ProcessArguments process;
    process.split.emplace();
    for (int i = 1; i < argc; ++i) process.split->push_back(corvid::fromNarrow(argv[i]));
    return static_cast<int>(corvid::runLauncher(corvid::systemPlatform(), std::move(process)));
}
