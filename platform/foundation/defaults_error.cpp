#include "platform/foundation/defaults_error.hpp"

#include <sysexits.h>

namespace platform::foundation {

int sysexitsStatus(DefaultsError::Code code) {
  switch (code) {
    case DefaultsError::Code::invalidArgument:
      return EX_USAGE;
    case DefaultsError::Code::noSuchDomain:
    case DefaultsError::Code::noSuchKey:
    case DefaultsError::Code::unreadable:
      return EX_NOINPUT;
    case DefaultsError::Code::invalidText:
    case DefaultsError::Code::malformed:
    case DefaultsError::Code::tooLarge:
      return EX_DATAERR;
    case DefaultsError::Code::cannotCreate:
      return EX_CANTCREAT;
    case DefaultsError::Code::writeFailed:
      return EX_IOERR;
    case DefaultsError::Code::busy:
      return EX_TEMPFAIL;
  }
  return EX_SOFTWARE;
}

std::string quotedForMessage(std::string_view text) {
  static constexpr char kHexDigits[] = "0123456789abcdef";
  std::string quoted;
  quoted.reserve(text.size() + 2);
  quoted.push_back('\'');
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\'' || c == '\\') {
      quoted.push_back('\\');
      quoted.push_back(c);
    } else if (c == '\n') {
      quoted += "\\n";
    } else if (c == '\t') {
      quoted += "\\t";
    } else if (byte < 0x20 || byte == 0x7F) {
      quoted += "\\x";
      quoted.push_back(kHexDigits[byte >> 4]);
      quoted.push_back(kHexDigits[byte & 0x0F]);
    } else {
      quoted.push_back(c);
    }
  }
  quoted.push_back('\'');
  return quoted;
}

}  // namespace platform::foundation
