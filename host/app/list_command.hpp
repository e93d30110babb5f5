#pragma once

#include <optional>
#include <string>

namespace CLI {
class App;
}

namespace velto::host {

/// `velto-widget-host list [--json]`: what the extension declares for a gallery.
class ListCommand {
 public:
  explicit ListCommand(CLI::App& program);
  ListCommand(const ListCommand&) = delete;
  ListCommand& operator=(const ListCommand&) = delete;

  /// Whether the command line chose this command.
  bool chosen() const;

  /// Asks the extension and prints its widgets; returns the exit status.
  int run() const;

 private:
  CLI::App* command_;
  bool json_ = false;
  std::optional<std::string> extension_;
};

}  // namespace velto::host
