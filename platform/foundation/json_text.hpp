#pragma once

// Quoting for messages that name a key or a value.

#include <string>
#include <string_view>

namespace platform::foundation {

/// `text` as a JSON string literal, quotes included, so a message that names a
/// key or a value stays on one line and shows control characters escaped. Bytes
/// that are not UTF-8 become U+FFFD.
std::string jsonQuoted(std::string_view text);

}  // namespace platform::foundation
