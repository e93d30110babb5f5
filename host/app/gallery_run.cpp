// What `render --gallery` does, in the program that draws with Cairo.

#include <cstdio>

#include <CLI/CLI.hpp>
#include <sysexits.h>

#include "host/app/desktop_appearance.hpp"
#include "host/app/extension_location.hpp"
#include "host/app/gallery.hpp"
#include "host/app/gallery_command.hpp"
#include "host/app/instant_argument.hpp"
#include "platform/foundation/clock.hpp"

namespace velto::host {

namespace {

int fail(int status, const std::string& message) {
  std::fprintf(stderr, "velto-widget-host: %s\n", message.c_str());
  return status;
}

}  // namespace

int GalleryCommand::run() const {
  GalleryRequest request;
  request.folder = folder_;
  request.scale = render_->get_option("--scale")->as<double>();
  const CLI::Option* appearance = render_->get_option("--appearance");
  const bool dark = appearance->count() > 0 ? appearance->as<std::string>() == "dark"
                                            : desktopPrefersDark().value_or(false);
  request.appearance = dark ? render::Appearance::dark : render::Appearance::light;
  const CLI::Option* format = render_->get_option("--format");
  request.format = format->count() > 0 && format->as<std::string>() == "svg"
                       ? cairo::ImageFormat::svg
                       : cairo::ImageFormat::png;
  const CLI::Option* at = render_->get_option("--at");
  if (at->count() > 0) {
    const auto instant = parseInstant(at->as<std::string>());
    if (!instant) {
      return fail(EX_USAGE, "--at: " + instant.error());
    }
    request.instant = *instant;
  } else {
    request.instant = platform::foundation::SystemClock::shared().now();
  }
  const CLI::Option* extensionOption = render_->get_option("--extension");
  const auto extension =
      locateExtension(extensionOption->count() > 0
                          ? std::optional<std::filesystem::path>(extensionOption->as<std::string>())
                          : std::nullopt);
  if (!extension) {
    return fail(EX_UNAVAILABLE, extension.error());
  }
  request.extension = *extension;

  const auto outcome = runGallery(request);
  for (const auto& picture : outcome.pictures) {
    std::printf("%s%s\n", picture.file.c_str(),
                picture.placeholder ? " (placeholder: the preview did not come)" : "");
  }
  if (outcome.status != EX_OK) {
    return fail(outcome.status, outcome.message);
  }
  return EX_OK;
}

}  // namespace velto::host
