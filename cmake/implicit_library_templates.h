// Force-included into the shipped Windows launchers' code. libstdc++ declares
// its string classes as explicitly instantiated in the library; a static link
// then pulls each whole instantiation in (about 20 KB apiece), since the
// unwind tables keep every function of an object alive. Turning the
// declarations off makes the compiler instantiate only the members the
// launcher calls.
#pragma once
#include <bits/c++config.h>
#undef _GLIBCXX_EXTERN_TEMPLATE
#define _GLIBCXX_EXTERN_TEMPLATE 0
