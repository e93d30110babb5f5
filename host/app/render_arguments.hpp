#pragma once

#include <optional>
#include <string>

#include <CLI/CLI.hpp>

namespace velto::host {

/// The command line of `velto-widget-host render`, as parsed.
struct RenderArguments {
  std::string family = "small";
  double scale = 2.0;
  std::optional<std::string> appearance;
  std::optional<std::string> format;
  std::string out;
  std::optional<std::string> at;
  bool placeholder = false;
  std::optional<std::string> extension;
};

/// The smallest scale accepted; the largest is `render::kMaxScale`.
inline constexpr double kMinScale = 0.25;

/// Adds the `render` subcommand to `app`, filling `arguments`.
CLI::App* addRenderCommand(CLI::App& app, RenderArguments& arguments);

}  // namespace velto::host
