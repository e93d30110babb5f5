#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform::foundation {

/// Why a defaults command could not be carried out.
struct DefaultsError {
  enum class Code : std::uint8_t {
    invalidArgument,  // a domain or key that cannot name a value
    invalidText,      // a key or string value that is not well-formed UTF-8
    noSuchDomain,     // the domain has no file
    noSuchKey,        // the domain holds no value under the key
    unreadable,       // the file exists but cannot be read (or is not a regular file)
    malformed,        // the file is not a property list with a dictionary at its root
    tooLarge,         // the file is, or would grow, larger than readers accept
    cannotCreate,     // a folder, lock file or temporary file could not be created
    writeFailed,      // the new file could not be written or put in place
    busy,             // another writer held the domain's lock for longer than we wait
  };
  Code code;
  std::string message;  // one line, for a person
};

/// The sysexits status a program exits with for `code`: 64 for invalidArgument,
/// 65 for invalidText, malformed and tooLarge, 66 for noSuchDomain, noSuchKey and
/// unreadable, 73 for cannotCreate, 74 for writeFailed, 75 (try again later) for busy.
int sysexitsStatus(DefaultsError::Code code);

/// `text` in single quotes with control characters, quotes and backslashes
/// escaped, so that a message that names a key or path stays on one line.
std::string quotedForMessage(std::string_view text);

}  // namespace platform::foundation
