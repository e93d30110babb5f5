#include "host/placements/settings_writer.hpp"

#include <algorithm>
#include <cstring>
#include <optional>

#include <glib.h>
#include <sys/stat.h>

#include "host/placements/internal/widget_group.hpp"
#include "host/placements/settings_file.hpp"
#include "platform/foundation/atomic_file_replacement.hpp"
#include "platform/foundation/printable_text.hpp"
#include "platform/gobject/glib_owners.hpp"

namespace velto::host::placements {

using platform::foundation::Expected;
using platform::foundation::ReplacementError;
using platform::foundation::Unexpected;
using platform::gobject::CharsOwner;
using platform::gobject::ErrorOwner;
using platform::gobject::KeyFileOwner;
using platform::gobject::StrvOwner;

namespace {

constexpr mode_t kNewFileMode = 0644;

/// The file a write replaces: the target of a symbolic link, so that a link
/// into a folder of dotfiles stays a link.
std::filesystem::path writtenFile(const std::filesystem::path& file) {
  std::error_code error;
  if (!std::filesystem::is_symlink(file, error)) {
    return file;
  }
  const auto target = std::filesystem::weakly_canonical(file, error);
  return error ? file : target;
}

/// The group that holds the placement named `name`, however its header spaces
/// the name; nothing when there is none.
std::optional<std::string> existingGroup(GKeyFile* keyFile, std::string_view name) {
  const StrvOwner groups(g_key_file_get_groups(keyFile, nullptr));
  for (gchar** group = groups.get(); *group != nullptr; ++group) {
    if (internal::widgetGroupName(*group) == name) {
      return std::string(*group);
    }
  }
  return std::nullopt;
}

void setOptional(GKeyFile* keyFile, const std::string& group, const char* key,
                 const std::optional<std::string_view>& value) {
  if (value) {
    g_key_file_set_string(keyFile, group.c_str(), key, std::string(*value).c_str());
  } else {
    g_key_file_remove_key(keyFile, group.c_str(), key, nullptr);
  }
}

std::string replacementFailure(const ReplacementError& error, const std::filesystem::path& file) {
  std::string step;
  switch (error.step) {
    case ReplacementError::Step::create:
      step = "cannot create a file beside '" + file.string() + "'";
      break;
    case ReplacementError::Step::write:
      step = "cannot write '" + error.temporary.string() + "'";
      break;
    case ReplacementError::Step::rename:
      step = "cannot put the new file in place of '" + file.string() + "'";
      break;
    case ReplacementError::Step::syncFolder:
      step = "wrote '" + file.string() + "' but cannot flush its folder to disk";
      break;
  }
  return step + ": " + std::strerror(error.error);
}

}  // namespace

Expected<void, std::string> writePlacement(const std::filesystem::path& file,
                                           const Placement& placement) {
  if (const auto problem = placementNameProblem(placement.name)) {
    return Unexpected("cannot name a widget '" + platform::foundation::printableText(placement.name)
                      + "': " + *problem);
  }
  const auto target = writtenFile(file);
  const auto existing = readSettingsFile(target);
  if (!existing) {
    return Unexpected(existing.error().describe(file.string()));
  }
  const std::string text = existing->value_or("");
  // Whatever GKeyFile would make of a file with mistakes, the person's own file
  // is worth more than this placement.
  if (const auto parsed = parseSettings(text); !parsed) {
    return Unexpected(parsed.error().describe(file.string())
                      + " (left as it is; mend it and try again)");
  }

  const KeyFileOwner keyFile(g_key_file_new());
  GError* rawError = nullptr;
  const auto flags =
      static_cast<GKeyFileFlags>(G_KEY_FILE_KEEP_COMMENTS | G_KEY_FILE_KEEP_TRANSLATIONS);
  if (!g_key_file_load_from_data(keyFile.get(), text.data(), text.size(), flags, &rawError)) {
    const ErrorOwner error(rawError);
    return Unexpected(file.string() + ": " + error->message);
  }
  const std::string group =
      existingGroup(keyFile.get(), placement.name).value_or(internal::widgetGroup(placement.name));
  const auto set = [&](const char* key, std::string_view value) {
    g_key_file_set_string(keyFile.get(), group.c_str(), key, std::string(value).c_str());
  };
  set("family", platform::widgets::familyName(placement.family));
  set("position", cornerName(placement.corner));
  g_key_file_set_integer(keyFile.get(), group.c_str(), "margin", placement.margin);
  setOptional(keyFile.get(), group, "output", placement.output);
  setOptional(
      keyFile.get(), group, "appearance",
      placement.appearance ? std::optional(appearanceName(*placement.appearance)) : std::nullopt);

  gsize size = 0;
  const CharsOwner data(g_key_file_to_data(keyFile.get(), &size, nullptr));
  const std::string_view written(data.get(), size);
  // What is written must read back as this placement, or it is not written.
  const auto reread = parseSettings(written);
  if (!reread) {
    return Unexpected("cannot write this placement: " + reread.error().describe(file.string()));
  }
  if (std::ranges::find(*reread, placement) == reread->end()) {
    return Unexpected("cannot write this placement: it would not read back the same");
  }

  std::error_code folderError;
  if (target.has_parent_path()) {
    std::filesystem::create_directories(target.parent_path(), folderError);
  }
  if (folderError) {
    return Unexpected("cannot create '" + target.parent_path().string()
                      + "': " + folderError.message());
  }
  struct stat status {};
  const mode_t mode =
      ::stat(target.c_str(), &status) == 0 ? (status.st_mode & 07777) : kNewFileMode;
  const auto replaced = platform::foundation::replaceFileAtomically(
      target, written, {.mode = mode, .hiddenTemporary = true});
  if (!replaced) {
    return Unexpected(replacementFailure(replaced.error(), target));
  }
  return {};
}

}  // namespace velto::host::placements
