#include "host/app/render_arguments.hpp"

#include "host/render/metrics.hpp"

namespace velto::host {

CLI::App* addRenderCommand(CLI::App& app, RenderArguments& arguments) {
  CLI::App* render = app.add_subcommand(
      "render", "Draw the widget as it shows now (or at --at) to a PNG or SVG file");
  render->add_option("--family", arguments.family, "Size to draw: small, medium or all")
      ->check(CLI::IsMember({"small", "medium", "all"}))
      ->capture_default_str();
  render->add_option("--scale", arguments.scale, "Pixels per point of a PNG")
      ->check(CLI::Range(kMinScale, render::kMaxScale))
      ->capture_default_str();
  render
      ->add_option("--appearance", arguments.appearance,
                   "light or dark; by default the desktop's preference, else light")
      ->check(CLI::IsMember({"light", "dark"}));
  render->add_option("--format", arguments.format, "png or svg; by default from --out's name")
      ->check(CLI::IsMember({"png", "svg"}));
  render
      ->add_option("--out", arguments.out,
                   "File to write, - for standard output (PNG unless --format svg); with "
                   "--family all, NAME-small.EXT and NAME-medium.EXT beside it")
      ->required();
  render->add_option("--at", arguments.at,
                     "Instant to draw: ISO-8601 (2026-12-06T21:30:00Z), seconds since 2001, or "
                     "@UNIX-SECONDS; default now");
  render->add_flag("--placeholder", arguments.placeholder, "Draw the placeholder entry");
  render->add_option("--extension", arguments.extension,
                     "The widget extension to run (default: velto-widget-extension beside this "
                     "program)");
  return render;
}

}  // namespace velto::host
