#ifdef _WIN32
#error "runtime_prompt_posix.cpp is for the POSIX build only"
#endif

#include "runtime/runtime_prompt.h"
#include "start/user_interface.h"

namespace corvid {

RuntimePrompt& systemRuntimePrompt() {
    static ConsoleRuntimePrompt prompt(systemUserInterface());
    return prompt;
}

}  // namespace corvid
