#ifdef _WIN32
#error "text_posix.cpp is for the POSIX build only"
#endif

#include "platform/text.h"

namespace corvid {

// Linux speaks UTF-8 at every boundary the launcher meets.
std::string toNarrow(WideView text) { return toUtf8(text); }
WideString fromNarrow(std::string_view text) { return fromUtf8(text); }

}  // namespace corvid
