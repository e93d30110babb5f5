#include "host/app/render_command.hpp"

#include <span>

#include <sysexits.h>

#include "host/app/pending_output.hpp"
#include "host/live/extension_query.hpp"
#include "host/scheduler/entry_on_display.hpp"

namespace velto::host {

using platform::widgets::WidgetFamily;

std::string shortFamilyName(WidgetFamily family) {
  std::string name(platform::widgets::rawValue(family));
  // "systemSmall" → "small", "accessoryInline" → "inline"
  for (const char* prefix : {"system", "accessory"}) {
    const std::string_view p(prefix);
    if (name.starts_with(p)) {
      name.erase(0, p.size());
      break;
    }
  }
  if (!name.empty()) {
    name[0] = static_cast<char>(name[0] - 'A' + 'a');
  }
  return name;
}

std::filesystem::path outputPathFor(const RenderRequest& request, WidgetFamily family) {
  if (!request.oneFilePerFamily) {
    return request.out;
  }
  std::filesystem::path path = request.out;
  path.replace_filename(request.out.stem().string() + "-" + shortFamilyName(family)
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
  auto session = live::ExtensionQuery::start(request.extension);
  if (!session) {
    return RenderFailure{EX_UNAVAILABLE, session.error()};
  }
  for (auto& [family, output] : outputs) {
    const auto& supported = session->widget().supportedFamilies;
    if (std::find(supported.begin(), supported.end(), family) == supported.end()) {
      return RenderFailure{EX_USAGE, "the widget '" + session->widget().kind
                                         + "' does not come in the size '" + shortFamilyName(family)
                                         + "'"};
    }
    std::optional<ViewEntry> shown;
    if (request.placeholder) {
      auto entry = session->placeholder(family);
      if (!entry) {
        return RenderFailure{EX_PROTOCOL, entry.error()};
      }
      shown = std::move(*entry);
    } else {
      auto timeline = session->timeline(family);
      if (!timeline) {
        return RenderFailure{EX_PROTOCOL, timeline.error()};
      }
      const auto index =
          entryOnDisplay(std::span<const ViewEntry>(timeline->entries), request.instant);
      if (!index) {
        return RenderFailure{EX_PROTOCOL, "the extension's timeline holds no entry to draw"};
      }
      shown = std::move(timeline->entries[*index]);
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
