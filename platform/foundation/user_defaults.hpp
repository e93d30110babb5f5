#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform::foundation {

/// Raw bytes of a defaults data value.
using Bytes = std::vector<std::uint8_t>;

/// The domain of this process's own defaults (what `UserDefaults::standard()` reads).
inline constexpr std::string_view kProcessDomain = "app.velto.widget";

/// `${XDG_CONFIG_HOME:-$HOME/.config}`, from the two variables' values (null when
/// unset). Either counts only when it is an absolute path, as the XDG rules say;
/// nothing when neither gives one.
std::optional<std::filesystem::path> configHome(const char* xdgConfigHome, const char* home);

/// The folder that holds one property-list file per defaults domain:
/// `${XDG_CONFIG_HOME:-$HOME/.config}/velto/defaults`. Either variable counts only
/// when set to an absolute path; without both, the user's home folder from the
/// password database stands in for HOME. Empty when no home folder is known.
std::filesystem::path defaultsDirectory();

/// Longest domain name: the longest name made from it, the writer's temporary
/// file `<domain>.plist.XXXXXX`, must still fit a file name (NAME_MAX, 255 bytes).
inline constexpr std::size_t kMaxDefaultsDomainLength =
    255 - std::string_view(".plist.XXXXXX").size();

/// Whether `domain` can name a file in the defaults folder: 1 to
/// kMaxDefaultsDomainLength visible ASCII characters, no '/', no "..", and no
/// leading '.'.
bool isValidDefaultsDomain(std::string_view domain);

/// The property-list file of one domain: `defaultsDirectory()/<domain>.plist`.
/// Empty when the folder is unknown or `domain` is not a valid domain name.
std::filesystem::path defaultsFilePath(std::string_view domain);

/// Read-only access to one defaults domain. Every lookup reads the domain's file
/// afresh; a file that is missing, unreadable, not a regular file, larger than
/// 64 KiB, not a property list (XML or binary; a binary one also within bounds
/// on nesting and sharing) or whose root is not a dictionary reads as an empty
/// domain. Lookups never block, throw or write.
class UserDefaults {
 public:
  /// The defaults of a suite shared between applications, or nothing when the
  /// name is empty, is not a reverse-DNS identifier, holds '/' or NUL, or names
  /// the process's own domain.
  static std::optional<UserDefaults> withSuiteName(std::string_view suiteName);

  /// The process's own defaults (domain `kProcessDomain`).
  static UserDefaults standard();

  /// The bytes stored under `key` when that value is a data value; nothing for a
  /// missing key or a value of another type.
  std::optional<Bytes> dataForKey(std::string_view key) const;

  /// The text stored under `key` when that value is a string value.
  std::optional<std::string> stringForKey(std::string_view key) const;

  const std::string& domain() const { return domain_; }

 private:
  explicit UserDefaults(std::string domain) : domain_(std::move(domain)) {}

  std::string domain_;
};

}  // namespace platform::foundation
