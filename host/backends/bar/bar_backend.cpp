#include "host/backends/bar/bar_backend.hpp"

#include <utility>

#include "platform/foundation/printable_text.hpp"

namespace velto::host::bar {

BarBackend::BarBackend(BarFormat format, bool shortForm, Write write, Closed closed)
    : format_(format),
      shortForm_(shortForm),
      write_(std::move(write)),
      closed_(std::move(closed)) {}

void BarBackend::show(const live::Scene& scene, platform::foundation::Date instant) {
  // A bar has no place for a placeholder: it stays empty until the widget answers.
  if (scene.redacted) {
    return;
  }
  reading_ = readTree(scene.view);
  instant_ = instant;
  shown_ = true;
  emit();
}

void BarBackend::tick(platform::foundation::Date instant) {
  instant_ = instant;
  emit();
}

void BarBackend::status(std::string_view message) {
  // A status can quote what a bar sent us (a click's instance): never raw.
  status_ = message.empty() ? std::string() : platform::foundation::printableText(message);
  emit();
}

void BarBackend::emit() {
  if (gone_ || !shown_) {
    return;
  }
  // A transient message reads as one more group after the widget's own.
  BarReading shown = reading_;
  if (!status_.empty()) {
    shown.items.push_back(BarItem{{std::string(kStatusGlyph) + " " + status_}, {}});
  }
  std::string line = format_ == BarFormat::waybar
                         ? waybarLine(shown, instant_, shortForm_)
                         : i3barLine(shown, instant_, shortForm_, /*first=*/true);
  if (line == lastLine_) {
    return;
  }
  std::string out;
  if (format_ == BarFormat::i3bar) {
    if (!headerWritten_) {
      out = i3barHeader();
    } else {
      out = ",";
    }
  }
  out += line;
  if (!write_(out)) {
    gone_ = true;
    closed_();
    return;
  }
  headerWritten_ = true;
  lastLine_ = std::move(line);
}

}  // namespace velto::host::bar
