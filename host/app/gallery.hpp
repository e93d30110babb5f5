#pragma once

// What the extension declares for a widget gallery, and the gallery drawn from it:
// each widget at each of its sizes, from a snapshot made for a preview.

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/backends/cairo/renderer.hpp"
#include "host/client/replies.hpp"
#include "host/live/blocking_extension.hpp"
#include "platform/foundation/date.hpp"
#include "platform/foundation/expected.hpp"
#include "platform/widgets/protocol/messages.hpp"
#include "platform/widgets/widget_family.hpp"

namespace velto::host {

/// Every widget of an `initialize` result, in the order declared; one line naming
/// the first fault otherwise.
platform::foundation::Expected<std::vector<WidgetDescription>, std::string> declaredWidgets(
    const nlohmann::json& initializeResult);

/// The `list` text: one block per widget; or with `json`, one JSON array.
std::string widgetListing(std::span<const WidgetDescription> widgets, bool json);

/// `KIND-SIZE.EXT`, with any character that cannot be in a plain file name as '_'.
std::string galleryFileName(std::string_view kind, platform::widgets::WidgetFamily family,
                            cairo::ImageFormat format);

/// A connection to the extension that asks what a gallery needs, for any widget.
class GallerySession {
 public:
  /// Starts the extension and reads its widgets.
  static platform::foundation::Expected<GallerySession, std::string> start(
      const std::filesystem::path& extension);

  const std::vector<WidgetDescription>& widgets() const { return widgets_; }

  /// The entry a gallery shows before the preview has come.
  platform::foundation::Expected<platform::widgets::protocol::EntryMessage, std::string>
  placeholder(const WidgetDescription& widget, platform::widgets::WidgetFamily family);

  /// The entry of a `snapshot` request made for a preview (`isPreview`).
  platform::foundation::Expected<platform::widgets::protocol::EntryMessage, std::string> preview(
      const WidgetDescription& widget, platform::widgets::WidgetFamily family);

 private:
  GallerySession(live::BlockingExtension extension, std::vector<WidgetDescription> widgets)
      : extension_(std::move(extension)), widgets_(std::move(widgets)) {}

  platform::foundation::Expected<platform::widgets::protocol::EntryMessage, std::string> entry(
      std::string_view method, nlohmann::json params);

  live::BlockingExtension extension_;
  std::vector<WidgetDescription> widgets_;
};

/// What `render --gallery` was asked for.
struct GalleryRequest {
  std::filesystem::path folder;
  std::filesystem::path extension;
  double scale = 2.0;
  render::Appearance appearance = render::Appearance::light;
  cairo::ImageFormat format = cairo::ImageFormat::png;
  platform::foundation::Date instant;
};

/// One drawn picture: its file, and whether the placeholder stands in for a
/// preview that never came.
struct GalleryPicture {
  std::filesystem::path file;
  bool placeholder = false;
};

/// How a gallery run ended: the pictures, or the status and line of its failure.
struct GalleryOutcome {
  int status = 0;
  std::string message;
  std::vector<GalleryPicture> pictures;
};

/// Draws the whole gallery into `request.folder`, each file put in place whole.
GalleryOutcome runGallery(const GalleryRequest& request);

}  // namespace velto::host
