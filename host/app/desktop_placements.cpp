#include "host/app/desktop_placements.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "host/app/desktop_arguments.hpp"
#include "host/placements/settings_file.hpp"

namespace velto::host {

DesktopPlacements::DesktopPlacements(DesktopWidgets& widgets,
                                     std::optional<placements::Placement> only, gtk::Log note)
    : widgets_(widgets), note_(std::move(note)) {
  if (only) {
    base_.push_back(std::move(*only));
    return;
  }
  const auto file =
      placements::settingsFilePath(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
  if (!file) {
    base_.emplace_back();  // nowhere to keep settings: the default widget
    return;
  }
  follower_ = std::make_unique<SettingsFollower>(
      nullptr, *file,
      [this](std::vector<placements::Placement> placements) {
        base_ = std::move(placements);
        showAll();
      },
      [](std::string_view line) {
        std::fprintf(stderr, "velto-widget-host: %.*s\n", static_cast<int>(line.size()),
                     line.data());
      });
}

void DesktopPlacements::start() {
  if (follower_) {
    follower_->read();  // shows what it reads
  } else {
    showAll();
  }
}

void DesktopPlacements::asked(const session::HostRequest& request) {
  auto placement = placementFromArguments(request.placementArguments);
  if (!placement) {
    note_("another launch asked for a placement that cannot be read: " + placement.error());
  } else if (*placement) {
    const bool known = std::any_of(added_.begin(), added_.end(), [&](const auto& shown) {
      return shown.name == (*placement)->name;
    });
    if (!known) {
      note_("another launch asked to show " + (*placement)->name);
      added_.push_back(std::move(**placement));
    }
  } else {
    note_("another launch asked to read the settings again");
  }
  // A file that changed shows the added placement along with its own.
  if (!follower_ || !follower_->read()) {
    showAll();
  }
}

void DesktopPlacements::showAll() {
  std::vector<placements::Placement> all = base_;
  all.insert(all.end(), added_.begin(), added_.end());
  widgets_.show(std::move(all));
}

}  // namespace velto::host
