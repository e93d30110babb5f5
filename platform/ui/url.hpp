#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <string_view>

namespace platform::ui {

/// An absolute URL: a scheme, a colon and the rest, as RFC 3986 allows it.
class URL {
 public:
  /// The URL spelled by `string`, or nothing when it is not an absolute URL:
  /// the scheme must be a letter followed by letters, digits, '+', '-' or '.',
  /// and the rest may hold only RFC 3986's unreserved and reserved characters,
  /// '%' followed by two hex digits, and at most one '#'. Spaces, control
  /// characters and non-ASCII bytes are refused.
  static std::optional<URL> fromString(std::string_view string);

  /// The URL as given.
  const std::string& absoluteString() const { return string_; }
  /// The part before the first ':', as written (not case-folded).
  std::string_view scheme() const;

  friend bool operator==(const URL&, const URL&) = default;
  friend std::ostream& operator<<(std::ostream& out, const URL& url) { return out << url.string_; }

 private:
  explicit URL(std::string string) : string_(std::move(string)) {}

  std::string string_;
};

}  // namespace platform::ui
