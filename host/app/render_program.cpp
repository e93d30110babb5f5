// velto-widget-render: `render`, `render --gallery` and `list`, which draw with
// Cairo and Pango but never open a display.

#include <cmath>
#include <cstdio>
#include <string>
#include <variant>

#include <sysexits.h>

#include "host/app/desktop_appearance.hpp"
#include "host/app/drawing_command.hpp"
#include "host/app/extension_location.hpp"
#include "host/app/gallery_command.hpp"
#include "host/app/instant_argument.hpp"
#include "host/app/list_command.hpp"
#include "host/app/render_arguments.hpp"
#include "host/app/render_command.hpp"
#include "host/output/pending_output.hpp"
#include "host/render/metrics.hpp"
#include "platform/foundation/clock.hpp"

namespace velto::host {
namespace {

using platform::widgets::WidgetFamily;
using render::Appearance;

int fail(int status, const std::string& message) {
  std::fprintf(stderr, "velto-widget-host: %s\n", message.c_str());
  return status;
}

/// Turns the parsed arguments into a request, or the usage error they make.
std::variant<RenderRequest, std::string> renderRequest(const RenderArguments& args) {
  RenderRequest request;
  if (args.family == "all") {
    request.families = {WidgetFamily::systemSmall, WidgetFamily::systemMedium};
    request.oneFilePerFamily = true;
  } else {
    request.families = {
        platform::widgets::familyFromName(args.family).value_or(WidgetFamily::systemSmall)};
  }
  // A range check alone lets "nan" through: no comparison with it is true.
  if (!std::isfinite(args.scale) || args.scale < kMinScale || args.scale > render::kMaxScale) {
    return std::string("--scale: give a number from 0.25 to 16");
  }
  request.scale = args.scale;
  request.out = args.out;
  const bool toStandardOutput = args.out == PendingOutput::kStandardOutput;
  if (toStandardOutput && request.oneFilePerFamily) {
    return std::string("--out -: standard output takes one image; give --family small or medium");
  }

  std::string format = args.format.value_or(toStandardOutput ? "png" : "");
  if (format.empty()) {
    const std::string extension = request.out.extension().string();
    if (extension != ".png" && extension != ".svg") {
      return std::string("cannot tell the format from '" + args.out
                         + "': name it .png or .svg, or give --format");
    }
    format = extension.substr(1);
  }
  request.format = format == "svg" ? cairo::ImageFormat::svg : cairo::ImageFormat::png;

  if (args.appearance) {
    request.appearance = *args.appearance == "dark" ? Appearance::dark : Appearance::light;
  } else {
    request.appearance =
        desktopPrefersDark().value_or(false) ? Appearance::dark : Appearance::light;
  }

  if (args.at) {
    const auto instant = parseInstant(*args.at);
    if (!instant) {
      return "--at: " + instant.error();
    }
    request.instant = *instant;
  } else {
    request.instant = platform::foundation::SystemClock::shared().now();
  }
  request.placeholder = args.placeholder;
  request.extension = extensionPath(
      args.extension ? std::optional<std::filesystem::path>(*args.extension) : std::nullopt);
  return request;
}

int runRenderArguments(const RenderArguments& arguments) {
  auto request = renderRequest(arguments);
  if (const auto* usage = std::get_if<std::string>(&request)) {
    return fail(EX_USAGE, *usage);
  }
  if (const auto failure = runRender(std::get<RenderRequest>(request))) {
    return fail(failure->status, failure->message);
  }
  return EX_OK;
}

}  // namespace

int runDrawingCommand(DrawingCommand command, const DrawingCommandLine& line) {
  switch (command) {
    case DrawingCommand::render:
      return runRenderArguments(line.render);
    case DrawingCommand::gallery:
      return line.gallery.run();
    case DrawingCommand::list:
      return line.list.run();
    case DrawingCommand::desktop:
      break;
  }
  return fail(EX_USAGE, "this program draws files only; run velto-widget-host desktop");
}

}  // namespace velto::host
