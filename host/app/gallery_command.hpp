#pragma once

#include <optional>
#include <string>

namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace velto::host {

/// `render --gallery DIR`: the gallery instead of one picture. It adds its option
/// to the program's `render` command and reads that command's other options.
class GalleryCommand {
 public:
  explicit GalleryCommand(CLI::App& program);
  GalleryCommand(const GalleryCommand&) = delete;
  GalleryCommand& operator=(const GalleryCommand&) = delete;

  /// Whether the command line asked for the gallery.
  bool chosen() const;

  /// Draws the gallery and says what it drew; returns the exit status.
  int run() const;

 private:
  CLI::App* render_;
  CLI::Option* option_;
  std::string folder_;
};

}  // namespace velto::host
