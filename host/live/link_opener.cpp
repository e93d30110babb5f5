#include "host/live/link_opener.hpp"

#include <algorithm>
#include <variant>

#include <gio/gio.h>

namespace velto::host::live {

namespace {

using platform::ui::View;

void collect(const View& view, std::vector<std::string>& into);

void collectChildren(const std::vector<View>& children, std::vector<std::string>& into) {
  for (const View& child : children) {
    collect(child, into);
  }
}

void collect(const View& view, std::vector<std::string>& into) {
  std::visit(
      [&into](const auto& element) {
        using E = std::decay_t<decltype(element)>;
        if constexpr (std::is_same_v<E, platform::ui::Link>) {
          into.push_back(element.destination.absoluteString());
          collect(*element.label, into);
        } else if constexpr (requires { element.children; }) {
          collectChildren(element.children, into);
        }
      },
      view.element);
  // Backgrounds are trees too; a link there is as visible as any other.
  for (const auto& modifier : view.modifiers) {
    if (const auto* background = std::get_if<platform::ui::BackgroundModifier>(&modifier)) {
      collect(*background->content, into);
    } else if (const auto* container =
                   std::get_if<platform::ui::ContainerBackgroundModifier>(&modifier)) {
      collect(*container->content, into);
    }
  }
}

}  // namespace

std::vector<std::string> linkDestinations(const View& view) {
  std::vector<std::string> links;
  collect(view, links);
  return links;
}

std::optional<std::string> launchWithDesktop(const std::string& url) {
  GError* error = nullptr;
  if (g_app_info_launch_default_for_uri(url.c_str(), nullptr, &error)) {
    return std::nullopt;
  }
  std::string reason = error != nullptr ? error->message : "no handler";
  g_clear_error(&error);
  return reason;
}

LinkOpener::LinkOpener(GMainContext* context, Backend& backend, LaunchUri launch,
                       std::chrono::milliseconds statusFor)
    : backend_(backend), launch_(std::move(launch)), statusFor_(statusFor), clearStatus_(context) {}

bool LinkOpener::offers(std::string_view url) const {
  return std::find(offered_.begin(), offered_.end(), url) != offered_.end();
}

bool LinkOpener::open(std::string_view url) {
  if (!offers(url)) {
    say("not on display: " + std::string(url));
    return false;
  }
  if (const auto failure = launch_(std::string(url))) {
    say("cannot open " + std::string(url) + ": " + *failure);
    return false;
  }
  return true;
}

void LinkOpener::say(std::string message) {
  for (char& c : message) {
    c = (c == '\n' || c == '\r') ? ' ' : c;
  }
  backend_.status(message);
  clearStatus_.start(statusFor_, [this] { backend_.status({}); });
}

}  // namespace velto::host::live
