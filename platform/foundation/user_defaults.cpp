#include "platform/foundation/user_defaults.hpp"

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <vector>

#include <pwd.h>
#include <unistd.h>

#include "platform/foundation/internal/property_list_file.hpp"

namespace platform::foundation {

namespace {

std::optional<std::filesystem::path> homeFromPasswordDatabase() {
  const long suggested = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(suggested > 0 ? static_cast<std::size_t>(suggested) : 4096);
  while (true) {
    passwd entry{};
    passwd* result = nullptr;
    const int error = ::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &result);
    if (error == ERANGE && buffer.size() < (std::size_t{1} << 20)) {
      buffer.resize(buffer.size() * 2);
      continue;
    }
    if (error != 0 || result == nullptr || entry.pw_dir == nullptr || entry.pw_dir[0] != '/') {
      return std::nullopt;
    }
    return std::filesystem::path(entry.pw_dir);
  }
}

// Plain ASCII tests, so that the process locale has no say in what a name may hold.
bool isLabelCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
}

// At least two dot-separated labels of letters, digits and '-', none empty.
bool isReverseDnsIdentifier(std::string_view name) {
  std::size_t labels = 1;
  std::size_t labelLength = 0;
  for (const char c : name) {
    if (c == '.') {
      if (labelLength == 0) {
        return false;
      }
      ++labels;
      labelLength = 0;
    } else if (isLabelCharacter(c)) {
      ++labelLength;
    } else {
      return false;
    }
  }
  return labels >= 2 && labelLength > 0;
}

// Reads the domain afresh and hands the value under `key` to `extract` when it has
// type `type`; every failure on the way, an allocation failure included, reads as no value.
template <class Extract>
auto lookUp(std::string_view domain, std::string_view key, plist_type type, Extract extract)
    -> std::optional<decltype(extract(plist_t{}))> {
  try {
    const auto file = internal::domainFile(domain, DefaultsError::Code::unreadable);
    if (!file) {
      return std::nullopt;
    }
    const auto root = file->read();
    if (!root) {
      return std::nullopt;
    }
    const plist_t value = internal::dictionaryItem(root->get(), key);
    if (value == nullptr || plist_get_node_type(value) != type) {
      return std::nullopt;
    }
    return extract(value);
  } catch (...) {
    return std::nullopt;
  }
}

}  // namespace

std::optional<std::filesystem::path> configHome(const char* xdgConfigHome, const char* home) {
  if (xdgConfigHome != nullptr && xdgConfigHome[0] == '/') {
    return std::filesystem::path(xdgConfigHome);
  }
  if (home != nullptr && home[0] == '/') {
    return std::filesystem::path(std::string(home) + "/.config");
  }
  return std::nullopt;
}

std::filesystem::path defaultsDirectory() {
  auto config = configHome(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
  if (!config) {
    if (const auto home = homeFromPasswordDatabase()) {
      config = configHome(nullptr, home->c_str());
    }
  }
  if (!config) {
    return {};
  }
  // Plain concatenation: every load builds this path, and path's operator/ costs more.
  return config->native() + "/velto/defaults";
}

bool isValidDefaultsDomain(std::string_view domain) {
  if (domain.empty() || domain.size() > kMaxDefaultsDomainLength || domain.front() == '.'
      || domain.find("..") != std::string_view::npos) {
    return false;
  }
  for (const char c : domain) {
    if (c <= ' ' || c > '~' || c == '/') {
      return false;
    }
  }
  return true;
}

std::filesystem::path defaultsFilePath(std::string_view domain) {
  if (!isValidDefaultsDomain(domain)) {
    return {};
  }
  std::filesystem::path directory = defaultsDirectory();
  if (directory.empty()) {
    return {};
  }
  std::string file = std::move(directory).native();
  file.append("/").append(domain).append(".plist");
  return file;
}

std::optional<UserDefaults> UserDefaults::withSuiteName(std::string_view suiteName) {
  if (suiteName == kProcessDomain || !isReverseDnsIdentifier(suiteName)) {
    return std::nullopt;
  }
  return UserDefaults(std::string(suiteName));
}

UserDefaults UserDefaults::standard() {
  return UserDefaults(std::string(kProcessDomain));
}

std::optional<Bytes> UserDefaults::dataForKey(std::string_view key) const {
  return lookUp(domain_, key, PLIST_DATA, [](plist_t value) {
    std::uint64_t length = 0;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(plist_get_data_ptr(value, &length));
    return bytes == nullptr ? Bytes() : Bytes(bytes, bytes + length);
  });
}

std::optional<std::string> UserDefaults::stringForKey(std::string_view key) const {
  return lookUp(domain_, key, PLIST_STRING, [](plist_t value) {
    std::uint64_t length = 0;
    const char* text = plist_get_string_ptr(value, &length);
    return text == nullptr ? std::string() : std::string(text, length);
  });
}

}  // namespace platform::foundation
