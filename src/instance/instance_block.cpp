#include "instance/instance_block.h"

#include <cstring>
#include <string>

namespace corvid {

bool packArguments(const WideList& arguments, unsigned char* list, std::size_t size) {
    std::vector<std::string> narrow;
    narrow.reserve(arguments.size());
    std::size_t needed = 1;
    for (const WideString& argument : arguments) {
        narrow.push_back(toNarrow(argument));
        needed += narrow.back().size() + 1;
    }
    if (needed > size) return false;
    std::memset(list, 0, size);
    std::size_t at = 0;
    for (const std::string& bytes : narrow) {
        std::memcpy(list + at, bytes.data(), bytes.size());
        at += bytes.size() + 1;
    }
    return true;
}

WideList unpackArguments(const unsigned char* list, std::size_t size) {
    WideList result;
    std::string current;
    for (std::size_t i = 0; i + 1 < size; ++i) {
        if (list[i] != 0) {
            current.push_back(static_cast<char>(list[i]));
            continue;
        }
        result.push_back(fromNarrow(current));
        current.clear();
        if (list[i + 1] == 0) return result;
    }
    // No pair of NULs: whatever was still open is dropped.
    return result;
}

WideString instanceName(WideView modulePath) {
    WideString name(modulePath);
    for (char16_t& c : name) {
        if (c == u'\\') c = u'_';
    }
    return name;
}

}  // namespace corvid
