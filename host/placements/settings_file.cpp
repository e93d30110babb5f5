#include "host/placements/settings_file.hpp"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <span>
#include <unordered_map>

#include <fcntl.h>
#include <glib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "host/placements/internal/key_file_lines.hpp"
#include "host/placements/internal/widget_group.hpp"
#include "platform/foundation/printable_text.hpp"
#include "platform/foundation/unique_fd.hpp"
#include "platform/foundation/user_defaults.hpp"
#include "platform/foundation/utf8.hpp"
#include "platform/gobject/glib_owners.hpp"

namespace velto::host::placements {

using internal::KeyFileLine;
using platform::foundation::Expected;
using platform::foundation::printableText;
using platform::foundation::Unexpected;
using platform::gobject::CharsOwner;
using platform::gobject::ErrorOwner;
using platform::gobject::KeyFileOwner;

namespace {

constexpr std::string_view kBlank = " \t";

constexpr std::array<std::string_view, 5> kKeys{"family", "position", "margin", "output",
                                                "appearance"};
constexpr std::string_view kUnknownKey =
    "unknown key; a widget takes family, position, margin, output and appearance";

std::string_view trimmed(std::string_view text) {
  const auto start = text.find_first_not_of(kBlank);
  if (start == std::string_view::npos) {
    return {};
  }
  return text.substr(start, text.find_last_not_of(kBlank) - start + 1);
}

std::string quoted(std::string_view value) {
  return "\"" + printableText(value) + "\"";
}

Unexpected<SettingsError> failure(const KeyFileLine& line, std::string_view group,
                                  std::string_view key, std::string message) {
  return Unexpected(
      SettingsError{std::string(group), std::string(key), line.number, std::move(message)});
}

/// The first line with a NUL byte or with bytes that are no UTF-8: GKeyFile
/// would cut a line at a NUL and hand the others on to whoever prints them.
std::optional<SettingsError> encodingError(std::string_view text) {
  int number = 1;
  std::size_t start = 0;
  while (start <= text.size()) {
    const auto end = std::min(text.find('\n', start), text.size());
    const std::string_view line = text.substr(start, end - start);
    if (line.find('\0') != std::string_view::npos) {
      return SettingsError{{}, {}, number, "the line holds a NUL byte"};
    }
    if (!platform::foundation::isValidUtf8(line)) {
      return SettingsError{{}, {}, number, "the line is not UTF-8 text"};
    }
    start = end + 1;
    ++number;
  }
  return std::nullopt;
}

/// Whether GKeyFile reads `lines` inside a group of their own.
bool loadsInAGroup(std::span<const KeyFileLine> lines) {
  std::string text = "[group]\n";
  for (const auto& line : lines) {
    text.append(line.text).push_back('\n');
  }
  const KeyFileOwner keyFile(g_key_file_new());
  return g_key_file_load_from_data(keyFile.get(), text.data(), text.size(), G_KEY_FILE_NONE,
                                   nullptr);
}

/// The first line that GKeyFile refuses, found by trying lines alone: a whole
/// chunk at a time, and one by one only in the chunk that fails, so that the
/// search costs about one more reading of the file. Nothing when no line alone
/// explains the refusal.
std::optional<SettingsError> refusedLine(std::span<const KeyFileLine> lines,
                                         std::string_view message) {
  constexpr std::size_t kChunk = 256;
  bool inGroup = false;
  for (std::size_t start = 0; start < lines.size(); start += kChunk) {
    const auto chunk = lines.subspan(start, std::min(kChunk, lines.size() - start));
    const bool suspect = !inGroup || !loadsInAGroup(chunk)
                         || std::ranges::any_of(chunk, [](const KeyFileLine& line) {
                              return line.kind == KeyFileLine::Kind::unreadable;
                            });
    for (const auto& line : chunk) {
      switch (line.kind) {
        case KeyFileLine::Kind::unreadable:
          return SettingsError{
              {}, {}, line.number, "neither a [group], a KEY = VALUE line nor a # comment"};
        case KeyFileLine::Kind::key:
          if (!inGroup) {
            return SettingsError{{},
                                 {},
                                 line.number,
                                 "a key before the first group; each widget's keys follow its "
                                 "[widget NAME]"};
          }
          break;
        case KeyFileLine::Kind::group:
          inGroup = true;
          break;
      }
      if (suspect && !loadsInAGroup({&line, 1})) {
        return SettingsError{{}, {}, line.number, printableText(message)};
      }
    }
  }
  return std::nullopt;
}

/// The first group that is unknown, nameless or repeated, or key that is
/// unknown or repeated. Checked over the whole file before any value: GKeyFile
/// has merged what repeats, so a value read early could be another group's.
std::optional<SettingsError> shapeError(std::span<const KeyFileLine> lines) {
  std::unordered_map<std::string_view, int> names;
  std::unordered_map<std::string_view, int> keys;
  std::string_view group;
  for (const auto& line : lines) {
    if (line.kind == KeyFileLine::Kind::group) {
      group = line.name;
      keys.clear();
      const auto name = internal::widgetGroupName(group);
      if (!name) {
        return SettingsError{std::string(group),
                             {},
                             line.number,
                             "unknown group; each widget has a group [widget NAME]"};
      }
      if (const auto problem = placementNameProblem(*name)) {
        return SettingsError{std::string(group), {}, line.number, *problem};
      }
      if (const auto [first, added] = names.emplace(*name, line.number); !added) {
        return SettingsError{std::string(group),
                             {},
                             line.number,
                             "the name '" + std::string(*name) + "' is taken by line "
                                 + std::to_string(first->second) + "; each widget needs its own"};
      }
    } else if (std::ranges::find(kKeys, line.name) == kKeys.end()) {
      return SettingsError{std::string(group), std::string(line.name), line.number,
                           std::string(kUnknownKey)};
    } else if (const auto [first, added] = keys.emplace(line.name, line.number); !added) {
      return SettingsError{
          std::string(group), std::string(line.name), line.number,
          "given twice in this group (first on line " + std::to_string(first->second) + ")"};
    }
  }
  return std::nullopt;
}

/// Sets `key` of `placement` to `value`, or says why it cannot.
Expected<void, std::string> applyValue(Placement& placement, std::string_view key,
                                       std::string_view value) {
  if (key == "family") {
    const auto family = platform::widgets::familyFromName(value);
    if (family != platform::widgets::WidgetFamily::systemSmall
        && family != platform::widgets::WidgetFamily::systemMedium) {
      return Unexpected(quoted(value) + " is not small or medium");
    }
    placement.family = *family;
  } else if (key == "position") {
    const auto corner = parseCorner(value);
    if (!corner) {
      return Unexpected(quoted(value) + " is not top-right, top-left, bottom-right or bottom-left");
    }
    placement.corner = *corner;
  } else if (key == "margin") {
    int margin = -1;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), margin);
    if (error != std::errc() || end != value.data() + value.size() || margin < 0
        || margin > kMaxMargin) {
      return Unexpected(quoted(value) + " is not a whole number from 0 to "
                        + std::to_string(kMaxMargin));
    }
    placement.margin = margin;
  } else if (key == "output") {
    if (value.empty()) {
      return Unexpected(std::string("is empty; name a monitor, or * for every monitor"));
    }
    for (const char c : value) {
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
        return Unexpected(quoted(value) + " holds a control character");
      }
    }
    placement.output = std::string(value);
  } else if (key == "appearance") {
    const auto appearance = parseAppearance(value);
    if (!appearance) {
      return Unexpected(quoted(value) + " is not light or dark");
    }
    placement.appearance = appearance;
  } else {
    return Unexpected(std::string(kUnknownKey));
  }
  return {};
}

}  // namespace

std::string SettingsError::describe(std::string_view fileName) const {
  std::string text(fileName);
  if (line > 0) {
    text += ":" + std::to_string(line);
  }
  text += ": ";
  if (!group.empty()) {
    text += "[" + printableText(group) + "] ";
  }
  if (!key.empty()) {
    text += printableText(key) + ": ";
  }
  return text + message;
}

// 1. The bytes: not too many, no NUL, all UTF-8.
// 2. GKeyFile reads the text; when it refuses it, find the line it refused.
// 3. The shape: known groups and keys, each once.
// 4. Each value, read through GKeyFile for its escapes (`\s`, `\t`, …).
Expected<std::vector<Placement>, SettingsError> parseSettings(std::string_view text) {
  if (text.size() > kMaxSettingsFileSize) {
    return Unexpected(SettingsError{{}, {}, 0, "larger than 1 MiB; not read"});
  }
  if (auto error = encodingError(text)) {
    return Unexpected(std::move(*error));
  }
  const auto lines = internal::keyFileLines(text);
  const KeyFileOwner keyFile(g_key_file_new());
  GError* rawError = nullptr;
  if (!g_key_file_load_from_data(keyFile.get(), text.data(), text.size(), G_KEY_FILE_NONE,
                                 &rawError)) {
    const ErrorOwner error(rawError);
    return Unexpected(refusedLine(lines, error->message)
                          .value_or(SettingsError{{}, {}, 0, printableText(error->message)}));
  }
  if (auto error = shapeError(lines)) {
    return Unexpected(std::move(*error));
  }
  std::vector<Placement> placements;
  std::string group;
  for (const auto& line : lines) {
    if (line.kind == KeyFileLine::Kind::group) {
      group = line.name;
      placements.push_back({.name = std::string(*internal::widgetGroupName(group))});
      continue;
    }
    const std::string key(line.name);
    if (placements.empty()) {
      return failure(line, group, key, "a key before any group");
    }
    const CharsOwner value(
        g_key_file_get_string(keyFile.get(), group.c_str(), key.c_str(), &rawError));
    if (!value) {
      const ErrorOwner error(rawError);
      return failure(line, group, key, printableText(error->message));
    }
    if (const auto applied = applyValue(placements.back(), key, trimmed(value.get())); !applied) {
      return failure(line, group, key, applied.error());
    }
  }
  return placements;
}

std::optional<std::filesystem::path> settingsFilePath(const char* xdgConfigHome, const char* home) {
  const auto config = platform::foundation::configHome(xdgConfigHome, home);
  if (!config) {
    return std::nullopt;
  }
  return *config / "velto" / "widget.ini";
}

Expected<std::optional<std::string>, SettingsError> readSettingsFile(
    const std::filesystem::path& file) {
  const auto failed = [](std::string message) {
    return Unexpected(SettingsError{{}, {}, 0, std::move(message)});
  };
  // Non-blocking, so that a FIFO in the file's place cannot stall the open.
  const platform::foundation::UniqueFd fd(
      ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (!fd) {
    if (errno == ENOENT) {
      return std::optional<std::string>();
    }
    return failed(std::string("cannot open it: ") + std::strerror(errno));
  }
  struct stat status {};
  if (::fstat(fd.get(), &status) != 0) {
    return failed(std::string("cannot read it: ") + std::strerror(errno));
  }
  if (!S_ISREG(status.st_mode)) {
    return failed("not a regular file; not read");
  }
  const auto tooLarge = [&] { return failed("larger than 1 MiB; not read"); };
  if (static_cast<std::uintmax_t>(status.st_size) > kMaxSettingsFileSize) {
    return tooLarge();
  }
  // One byte more than the limit tells a file that grew since fstat.
  std::string text(kMaxSettingsFileSize + 1, '\0');
  std::size_t size = 0;
  while (size < text.size()) {
    const ssize_t count = ::read(fd.get(), text.data() + size, text.size() - size);
    if (count < 0 && errno == EINTR) {
      continue;
    }
    if (count < 0) {
      return failed(std::string("cannot read it: ") + std::strerror(errno));
    }
    if (count == 0) {
      break;
    }
    size += static_cast<std::size_t>(count);
  }
  if (size > kMaxSettingsFileSize) {
    return tooLarge();
  }
  text.resize(size);
  return std::optional<std::string>(std::move(text));
}

}  // namespace velto::host::placements
