// Access to initialisation files with the semantics of the Windows
// private-profile functions: sections and keys match without regard to
// letter case, the value is the text after "=" with surrounding blanks and
// one pair of enclosing quotes removed, and anything missing reads as "".
#pragma once

#include <cstddef>

#include "platform/text.h"

namespace corvid {

class ProfileStore {
public:
    virtual ~ProfileStore() = default;
    // Reads into a buffer of `capacity` characters, terminator included, so
    // at most capacity - 1 characters come back, as the platform would cut them.
    virtual WideString read(const WideString& file, const WideString& section, const WideString& key,
                            std::size_t capacity) = 0;
    // Creates the file when it is missing.
    virtual bool write(const WideString& file, const WideString& section, const WideString& key,
                       const WideString& value) = 0;
};

ProfileStore& systemProfileStore();

}  // namespace corvid
