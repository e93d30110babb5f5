#include "host/app/gallery.hpp"

#include <sysexits.h>

#include "host/app/render_command.hpp"
#include "host/output/pending_output.hpp"
#include "platform/ui/archive.hpp"
#include "platform/widgets/protocol/messages.hpp"

namespace velto::host {

using platform::widgets::protocol::EntryMessage;

using platform::foundation::Date;
using platform::foundation::Expected;
using platform::foundation::Unexpected;
using platform::widgets::WidgetFamily;
using Json = nlohmann::json;

namespace {

Unexpected<std::string> malformed(std::string_view method, const std::string& what) {
  return Unexpected("the extension's reply to '" + std::string(method) + "' is malformed: " + what);
}

Expected<WidgetDescription, std::string> widgetOf(const Json& value) {
  if (!value.is_object()) {
    return malformed("initialize", "a widget is not an object");
  }
  WidgetDescription widget;
  for (auto [field, target] :
       {std::pair{"kind", &widget.kind}, std::pair{"displayName", &widget.displayName},
        std::pair{"description", &widget.description}}) {
    const auto found = value.find(field);
    if (found == value.end() || !found->is_string()) {
      return malformed("initialize", std::string("a widget has no string '") + field + "'");
    }
    *target = found->get<std::string>();
  }
  const auto families = value.find("supportedFamilies");
  if (families == value.end() || !families->is_array()) {
    return malformed("initialize", "the widget '" + widget.kind + "' lists no families");
  }
  for (const Json& name : *families) {
    const auto family = name.is_string()
                            ? platform::widgets::widgetFamilyFromRawValue(name.get<std::string>())
                            : std::nullopt;
    if (!family) {
      return malformed("initialize", "the widget '" + widget.kind + "' names an unknown family");
    }
    widget.supportedFamilies.push_back(*family);
  }
  return widget;
}

}  // namespace

Expected<std::vector<WidgetDescription>, std::string> declaredWidgets(const Json& result) {
  const auto widgets = result.is_object() ? result.find("widgets") : result.end();
  if (!result.is_object() || widgets == result.end() || !widgets->is_array()) {
    return malformed("initialize", "it holds no widget list");
  }
  std::vector<WidgetDescription> declared;
  for (const Json& value : *widgets) {
    auto widget = widgetOf(value);
    if (!widget) {
      return Unexpected(widget.error());
    }
    declared.push_back(std::move(*widget));
  }
  return declared;
}

std::string widgetListing(std::span<const WidgetDescription> widgets, bool json) {
  if (json) {
    Json list = Json::array();
    for (const auto& widget : widgets) {
      Json families = Json::array();
      for (const WidgetFamily family : widget.supportedFamilies) {
        families.push_back(platform::widgets::rawValue(family));
      }
      list.push_back({{"kind", widget.kind},
                      {"displayName", widget.displayName},
                      {"description", widget.description},
                      {"supportedFamilies", families}});
    }
    // Replacing bad UTF-8 keeps one odd byte from the extension from aborting the dump.
    return list.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
  }
  std::string text;
  for (const auto& widget : widgets) {
    std::string sizes;
    for (const WidgetFamily family : widget.supportedFamilies) {
      sizes += (sizes.empty() ? "" : ", ") + std::string(platform::widgets::familyName(family));
    }
    text += (text.empty() ? "" : "\n") + widget.kind + "\n  name:        " + widget.displayName
            + "\n  description: " + widget.description + "\n  sizes:       " + sizes + "\n";
  }
  return text;
}

std::string galleryFileName(std::string_view kind, WidgetFamily family, cairo::ImageFormat format) {
  std::string name;
  for (const char c : kind) {
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')
                       || c == '.' || c == '_' || c == '-';
    name += plain ? c : '_';
  }
  if (name.empty() || name.front() == '.') {
    name.insert(0, "_");
  }
  return name + "-" + std::string(platform::widgets::familyName(family))
         + (format == cairo::ImageFormat::svg ? ".svg" : ".png");
}

Expected<GallerySession, std::string> GallerySession::start(
    const std::filesystem::path& extension) {
  auto started = live::BlockingExtension::start(extension);
  if (!started) {
    return Unexpected(started.error());
  }
  const auto hello = started->ask("initialize", initializeParams());
  if (!hello) {
    return Unexpected(hello.error());
  }
  auto widgets = declaredWidgets(*hello);
  if (!widgets) {
    return Unexpected(widgets.error());
  }
  return GallerySession(std::move(*started), std::move(*widgets));
}

Expected<EntryMessage, std::string> GallerySession::entry(std::string_view method, Json params) {
  const auto result = extension_.ask(method, std::move(params));
  if (!result) {
    return Unexpected(result.error());
  }
  const Json* entry =
      result->is_object() && result->contains("entry") ? &(*result)["entry"] : nullptr;
  if (entry == nullptr || !entry->is_object() || !entry->contains("date")
      || !entry->at("date").is_number() || !entry->contains("view")) {
    return malformed(method, "it holds no entry {\"date\", \"view\"}");
  }
  auto view = platform::ui::unarchive(entry->at("view"));
  if (!view) {
    return malformed(method, "its view tree does not parse (" + view.error().message + ")");
  }
  return EntryMessage{Date(entry->at("date").get<double>()), std::move(*view)};
}

Expected<EntryMessage, std::string> GallerySession::placeholder(const WidgetDescription& widget,
                                                                WidgetFamily family) {
  return entry("placeholder",
               {{"kind", widget.kind}, {"family", platform::widgets::rawValue(family)}});
}

Expected<EntryMessage, std::string> GallerySession::preview(const WidgetDescription& widget,
                                                            WidgetFamily family) {
  return entry("snapshot", {{"kind", widget.kind},
                            {"family", platform::widgets::rawValue(family)},
                            {"isPreview", true}});
}

GalleryOutcome runGallery(const GalleryRequest& request) {
  std::error_code error;
  if (!std::filesystem::is_directory(request.folder, error)) {
    return {
        EX_CANTCREAT, "the gallery folder '" + request.folder.string() + "' is not a folder", {}};
  }
  auto session = GallerySession::start(request.extension);
  if (!session) {
    return {EX_UNAVAILABLE, session.error(), {}};
  }
  // 1. Ask for everything first: the placeholder of each picture, then its preview.
  //    A preview that does not come (late, malformed) ends the connection, so the
  //    placeholders of the pictures after it still stand.
  struct Planned {
    std::filesystem::path file;
    WidgetFamily family;
    std::optional<EntryMessage> shown;
    bool placeholder = false;
  };
  std::vector<Planned> planned;
  for (const auto& widget : session->widgets()) {
    for (const WidgetFamily family : widget.supportedFamilies) {
      planned.push_back(
          {request.folder / galleryFileName(widget.kind, family, request.format), family, {}, {}});
      auto shown = session->placeholder(widget, family);
      if (!shown) {
        return {EX_PROTOCOL, shown.error(), {}};
      }
      planned.back().shown = std::move(*shown);
      planned.back().placeholder = true;
    }
  }
  std::size_t next = 0;
  for (const auto& widget : session->widgets()) {
    for (const WidgetFamily family : widget.supportedFamilies) {
      auto preview = session->preview(widget, family);
      if (preview) {
        planned[next].shown = std::move(*preview);
        planned[next].placeholder = false;
      }
      ++next;
    }
  }
  // 2. Draw each picture under a temporary name and put it in place whole.
  GalleryOutcome outcome;
  for (const auto& picture : planned) {
    auto output = PendingOutput::create(picture.file);
    if (!output) {
      return {output.error().status, output.error().message, std::move(outcome.pictures)};
    }
    const cairo::DrawOptions options{picture.family, request.scale, request.appearance,
                                     request.instant};
    const auto drawn = cairo::encodeWidget(picture.shown->view, options, request.format);
    if (!drawn) {
      return {EX_SOFTWARE, drawn.error().message, std::move(outcome.pictures)};
    }
    if (auto committed = output->commit(*drawn); !committed) {
      return {committed.error().status, committed.error().message, std::move(outcome.pictures)};
    }
    outcome.pictures.push_back({picture.file, picture.placeholder});
  }
  return outcome;
}

}  // namespace velto::host
