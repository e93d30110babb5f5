#include "host/app/render_command.hpp"

#include <algorithm>
#include <span>

#include <sysexits.h>

#include "host/client/replies.hpp"
#include "host/live/blocking_extension.hpp"
#include "host/output/pending_output.hpp"
#include "host/scheduler/entry_on_display.hpp"

namespace velto::host {

using platform::widgets::protocol::EntryMessage;

using platform::foundation::Expected;
using platform::foundation::Unexpected;
using platform::widgets::WidgetFamily;

namespace {

/// The first widget the extension declares, asked with `initialize`.
Expected<WidgetDescription, std::string> firstWidget(live::BlockingExtension& extension) {
  const auto hello = extension.ask("initialize", initializeParams());
  if (!hello) {
    return Unexpected(hello.error());
  }
  auto declared = decodeInitialize(*hello);
  if (!declared) {
    return Unexpected(declared.error());
  }
  if (declared->widgets.empty()) {
    return Unexpected(std::string("the extension declares no widget"));
  }
  return std::move(declared->widgets.front());
}

/// The entry to draw for `family`: the placeholder, or the timeline's entry on
/// display at `instant`.
Expected<EntryMessage, std::string> entryToDraw(live::BlockingExtension& extension,
                                                const WidgetDescription& widget,
                                                WidgetFamily family, const RenderRequest& request) {
  const auto params = widgetParams(widget.kind, family);
  if (request.placeholder) {
    const auto result = extension.ask("placeholder", params);
    if (!result) {
      return Unexpected(result.error());
    }
    return decodeEntryResult(*result);
  }
  const auto result = extension.ask("timeline", params);
  if (!result) {
    return Unexpected(result.error());
  }
  auto timeline = decodeTimeline(*result);
  if (!timeline) {
    return Unexpected(timeline.error());
  }
  const auto index =
      entryOnDisplay(std::span<const EntryMessage>(timeline->entries), request.instant);
  if (!index) {
    return Unexpected(std::string("the extension's timeline holds no entry to draw"));
  }
  return std::move(timeline->entries[*index]);
}

}  // namespace

std::filesystem::path outputPathFor(const RenderRequest& request, WidgetFamily family) {
  if (!request.oneFilePerFamily) {
    return request.out;
  }
  std::filesystem::path path = request.out;
  path.replace_filename(request.out.stem().string() + "-"
                        + std::string(platform::widgets::familyName(family))
                        + request.out.extension().string());
  return path;
}

std::optional<RenderFailure> runRender(const RenderRequest& request) {
  // Every output is reserved before the extension starts, so a bad path fails
  // at once and a failure later leaves none of the files behind.
  std::vector<std::pair<WidgetFamily, PendingOutput>> outputs;
  for (WidgetFamily family : request.families) {
    auto pending = PendingOutput::create(outputPathFor(request, family));
    if (!pending) {
      return RenderFailure{pending.error().status, pending.error().message};
    }
    outputs.emplace_back(family, std::move(*pending));
  }

  std::vector<std::string> images;
  auto extension = live::BlockingExtension::start(request.extension);
  if (!extension) {
    return RenderFailure{EX_UNAVAILABLE, extension.error()};
  }
  const auto widget = firstWidget(*extension);
  if (!widget) {
    return RenderFailure{EX_UNAVAILABLE, widget.error()};
  }
  for (auto& [family, output] : outputs) {
    const auto& supported = widget->supportedFamilies;
    if (std::find(supported.begin(), supported.end(), family) == supported.end()) {
      return RenderFailure{EX_USAGE, "the widget '" + widget->kind + "' does not come in the size '"
                                         + std::string(platform::widgets::familyName(family))
                                         + "'"};
    }
    const auto shown = entryToDraw(*extension, *widget, family, request);
    if (!shown) {
      return RenderFailure{EX_PROTOCOL, shown.error()};
    }

    const cairo::DrawOptions options{family, request.scale, request.appearance, request.instant};
    auto drawn = cairo::encodeWidget(shown->view, options, request.format);
    if (!drawn) {
      return RenderFailure{EX_SOFTWARE, drawn.error().message};
    }
    images.push_back(std::move(*drawn));
  }
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    if (auto committed = outputs[i].second.commit(images[i]); !committed) {
      return RenderFailure{committed.error().status, committed.error().message};
    }
  }
  return std::nullopt;
}

}  // namespace velto::host
