#pragma once

#include <optional>
#include <string>

namespace CLI {
class App;
}

namespace velto::host {

/// `velto-widget-host bar --format waybar|i3bar`: the live widget as the lines a
/// status bar reads, until the bar closes the pipe or a signal ends it.
class BarCommand {
 public:
  explicit BarCommand(CLI::App& program);
  BarCommand(const BarCommand&) = delete;
  BarCommand& operator=(const BarCommand&) = delete;

  /// Whether the command line chose this command.
  bool chosen() const;

  /// Runs until the bar is gone; returns the exit status. Refuses to start
  /// when standard output was closed at start (it now leads to /dev/null).
  int run(bool outputWasClosed) const;

 private:
  CLI::App* command_;
  std::string format_ = "waybar";
  std::string family_ = "small";
  bool short_ = false;
  bool verbose_ = false;
  std::optional<std::string> extension_;
};

}  // namespace velto::host
