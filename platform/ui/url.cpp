#include "platform/ui/url.hpp"

#include <cstddef>

namespace platform::ui {
namespace {

bool isAlpha(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isDigit(char c) {
  return c >= '0' && c <= '9';
}
bool isHexDigit(char c) {
  return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// RFC 3986 unreserved and reserved characters; '%' and '#' are handled apart.
bool isUriCharacter(char c) {
  if (isAlpha(c) || isDigit(c)) {
    return true;
  }
  constexpr std::string_view kOthers = "-._~:/?[]@!$&'()*+,;=";
  return kOthers.find(c) != std::string_view::npos;
}

std::size_t schemeLength(std::string_view string) {
  if (string.empty() || !isAlpha(string.front())) {
    return 0;
  }
  std::size_t length = 1;
  while (length < string.size()) {
    const char c = string[length];
    if (!(isAlpha(c) || isDigit(c) || c == '+' || c == '-' || c == '.')) {
      break;
    }
    ++length;
  }
  return length;
}

}  // namespace

std::optional<URL> URL::fromString(std::string_view string) {
  const std::size_t scheme = schemeLength(string);
  if (scheme == 0 || scheme >= string.size() || string[scheme] != ':') {
    return std::nullopt;
  }
  bool seenFragment = false;
  for (std::size_t i = scheme + 1; i < string.size(); ++i) {
    const char c = string[i];
    if (c == '%') {
      if (i + 2 >= string.size() || !isHexDigit(string[i + 1]) || !isHexDigit(string[i + 2])) {
        return std::nullopt;
      }
      i += 2;
    } else if (c == '#') {
      if (seenFragment) {
        return std::nullopt;
      }
      seenFragment = true;
    } else if (!isUriCharacter(c)) {
      return std::nullopt;
    }
  }
  return URL(std::string(string));
}

std::string_view URL::scheme() const {
  return std::string_view(string_).substr(0, string_.find(':'));
}

}  // namespace platform::ui
