#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "host/backends/cairo/renderer.hpp"
#include "platform/foundation/date.hpp"
#include "platform/widgets/widget_family.hpp"

namespace velto::host {

/// What `velto-widget-host render` was asked to draw.
struct RenderRequest {
  std::vector<platform::widgets::WidgetFamily> families;
  /// With several families, one file each: NAME-small.png beside `out`.
  bool oneFilePerFamily = false;
  double scale = 2.0;
  render::Appearance appearance = render::Appearance::light;
  cairo::ImageFormat format = cairo::ImageFormat::png;
  std::filesystem::path out;
  /// The instant to draw: the timeline's entry on display then, and its timers.
  platform::foundation::Date instant;
  bool placeholder = false;
  std::filesystem::path extension;
};

/// The file a family is drawn to: `out` itself, or with one file per family the
/// family's short name before the extension ("widget-small.png").
std::filesystem::path outputPathFor(const RenderRequest& request,
                                    platform::widgets::WidgetFamily family);

/// Starts the extension, asks it for what to draw and writes every file; on any
/// failure writes nothing and returns the message and sysexits status.
struct RenderFailure {
  int status;
  std::string message;
};
std::optional<RenderFailure> runRender(const RenderRequest& request);

}  // namespace velto::host
