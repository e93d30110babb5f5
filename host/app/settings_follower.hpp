#pragma once

// The settings file, followed live: every editor's way of saving (rename over,
// truncate and write, delete) is seen within moments, and only a version that
// reads well replaces the placements on display.

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <glib.h>

#include "host/live/folder_watch.hpp"
#include "host/placements/placement.hpp"

namespace velto::host {

class SettingsFollower {
 public:
  using Changed = std::function<void(std::vector<placements::Placement>)>;
  using Report = std::function<void(std::string_view line)>;

  /// Follows `file` on `context`. `changed` gets the placements of each new good
  /// version (the default one while there is no file or no placement in it);
  /// `report` gets one line per new problem. Nothing is read before read().
  SettingsFollower(GMainContext* context, std::filesystem::path file, Changed changed,
                   Report report);
  SettingsFollower(const SettingsFollower&) = delete;
  SettingsFollower& operator=(const SettingsFollower&) = delete;

  /// Reads the file now and hands over its placements if they differ from the
  /// last ones handed over (always, the first time); says whether it did.
  bool read();

 private:
  std::filesystem::path file_;
  Changed changed_;
  Report report_;
  std::optional<std::vector<placements::Placement>> current_;
  std::string lastProblem_;
  std::unique_ptr<live::FolderWatch> watch_;
};

}  // namespace velto::host
