// The shipped Windows launchers are built without C++ exceptions: nothing in
// them catches one, so every failure the C++ library would report by throwing
// ends the process at once, as an uncaught exception does (exit code -1, no
// box). Defining the library's throw helpers, the global allocation functions
// and its default terminate handler here keeps the library's exception and
// name-demangling machinery, and the string instances it drags in, out of the
// executable.
#include <cstdlib>
#include <new>

#include "platform/platform.h"

using corvid::endAtOnce;

namespace {

void* allocate(std::size_t size) {
    if (size == 0) size = 1;
    for (;;) {
        if (void* memory = std::malloc(size)) return memory;
        const std::new_handler handler = std::get_new_handler();
        if (!handler) endAtOnce();
        handler();
    }
}

}  // namespace

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size ? size : 1); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size ? size : 1); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }

namespace std {

[[noreturn]] void __throw_bad_alloc() { endAtOnce(); }
[[noreturn]] void __throw_bad_array_new_length() { endAtOnce(); }
[[noreturn]] void __throw_bad_cast() { endAtOnce(); }
[[noreturn]] void __throw_bad_typeid() { endAtOnce(); }
[[noreturn]] void __throw_bad_exception() { endAtOnce(); }
[[noreturn]] void __throw_bad_function_call() { endAtOnce(); }
[[noreturn]] void __throw_logic_error(const char*) { endAtOnce(); }
[[noreturn]] void __throw_domain_error(const char*) { endAtOnce(); }
[[noreturn]] void __throw_invalid_argument(const char*) { endAtOnce(); }
[[noreturn]] void __throw_length_error(const char*) { endAtOnce(); }
[[noreturn]] void __throw_out_of_range(const char*) { endAtOnce(); }
[[noreturn]] void __throw_out_of_range_fmt(const char*, ...) { endAtOnce(); }
[[noreturn]] void __throw_runtime_error(const char*) { endAtOnce(); }
[[noreturn]] void __throw_range_error(const char*) { endAtOnce(); }
[[noreturn]] void __throw_overflow_error(const char*) { endAtOnce(); }
[[noreturn]] void __throw_underflow_error(const char*) { endAtOnce(); }
[[noreturn]] void __throw_system_error(int) { endAtOnce(); }

}  // namespace std

namespace __gnu_cxx {

void __verbose_terminate_handler() { endAtOnce(); }

}  // namespace __gnu_cxx
