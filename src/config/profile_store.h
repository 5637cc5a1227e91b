// Access to initialisation files with the semantics of the Windows
// private-profile functions: sections and keys match without regard to
// letter case, the value is the text after "=" with surrounding blanks and
// one pair of enclosing quotes removed, and anything missing reads as "".
#pragma once

#include <cstddef>
#include <optional>
#include <string>

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

// The store of both platforms: the rules of ini_file.h over the file's bytes,
// read whole (UTF-8 without a byte-order mark, UTF-8 or UTF-16LE with one, or
// ANSI), written back in the file's encoding with only the value's line
// changed. A platform gives the file access.
class IniFileProfileStore : public ProfileStore {
public:
    WideString read(const WideString& file, const WideString& section, const WideString& key,
                    std::size_t capacity) override;
    bool write(const WideString& file, const WideString& section, const WideString& key,
               const WideString& value) override;

protected:
    struct FileBytes {
        bool missing = false;             // the file does not exist
        std::optional<std::string> bytes; // nullopt when it is missing or cannot be read
    };
    virtual FileBytes readBytes(const WideString& file) = 0;
    // Replaces the file's contents at once, or leaves it as it was.
    virtual bool replaceBytes(const WideString& file, const std::string& bytes) = 0;
    // What a file the store creates starts with (a byte-order mark or nothing).
    virtual std::string newFileBytes() = 0;
};

ProfileStore& systemProfileStore();

}  // namespace corvid
