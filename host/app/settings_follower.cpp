#include "host/app/settings_follower.hpp"

#include <utility>

#include "host/placements/settings_file.hpp"

namespace velto::host {

SettingsFollower::SettingsFollower(GMainContext* context, std::filesystem::path file,
                                   Changed changed, Report report)
    : file_(std::move(file)), changed_(std::move(changed)), report_(std::move(report)) {
  const std::filesystem::path folder = file_.parent_path();
  // From the folder that holds the config home down, so that a config folder
  // made, moved or replaced later is followed as well.
  watch_ = std::make_unique<live::FolderWatch>(context, folder, folder.parent_path().parent_path(),
                                               [this] { read(); });
}

bool SettingsFollower::read() {
  std::vector<placements::Placement> placements;
  auto text = placements::readSettingsFile(file_);
  auto parsed = placements::parseSettings(text ? text->value_or(std::string()) : std::string());
  if (!text || !parsed) {
    const placements::SettingsError& error = text ? parsed.error() : text.error();
    std::string problem = error.describe(file_.string());
    if (problem != lastProblem_) {
      report_(current_ ? problem + "; keeping the widgets on display"
                       : problem + "; showing the default widget");
      lastProblem_ = std::move(problem);
    }
    if (current_) {
      return false;
    }
  } else {
    lastProblem_.clear();
    placements = std::move(*parsed);
  }
  if (placements.empty()) {
    placements.emplace_back();  // no file, or none in it: the one small widget, top-right
  }
  if (current_ == placements) {
    return false;
  }
  current_ = placements;
  changed_(std::move(placements));
  return true;
}

}  // namespace velto::host
