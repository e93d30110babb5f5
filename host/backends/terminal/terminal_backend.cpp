#include "host/backends/terminal/terminal_backend.hpp"

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

#include "host/backends/terminal/cell_painter.hpp"
#include "host/backends/terminal/plain_line.hpp"
#include "host/backends/terminal/screen_layout.hpp"
#include "host/backends/terminal/text_cells.hpp"
#include "host/layout/layout.hpp"
#include "host/render/metrics.hpp"

namespace velto::host::terminal {

namespace {

CellRect bounding(const CellRect& a, const CellRect& b) {
  const int column = std::min(a.column, b.column);
  const int row = std::min(a.row, b.row);
  return {column, row, std::max(a.column + a.columns, b.column + b.columns) - column,
          std::max(a.row + a.rows, b.row + b.rows) - row};
}

}  // namespace

TerminalBackend::TerminalBackend(ByteSink sink, GridSize size, TerminalOptions options)
    : sink_(std::move(sink)), size_(size), options_(options), writer_(options.capabilities) {}

void TerminalBackend::show(const live::Scene& scene, platform::foundation::Date instant) {
  scene_ = scene;
  instant_ = instant;
  render();
}

void TerminalBackend::tick(platform::foundation::Date instant) {
  if (!scene_) {
    return;
  }
  instant_ = instant;
  if (!laidOut_) {
    return;  // the scene could not be laid out, and what says so stays
  }
  const std::vector<layout::Rect> boxes = laidOut_->advanceTimers(instant, measurer_);
  if (boxes.empty()) {
    return;
  }
  const layout::DrawList& list = laidOut_->drawList();
  const PaintOptions paint{options_.appearance, scene_->redacted};
  const bool relaidOut = std::any_of(boxes.begin(), boxes.end(), [&](const layout::Rect& box) {
    return box.width >= list.size.width && box.height >= list.size.height;
  });
  if (relaidOut) {
    widget_ = painter_.paint(list, paint);
    links_ = widget_.linkedUrls();
    showWidgetCells({0, 0, widget_.size().columns, widget_.size().rows});
    return;
  }
  std::optional<CellRect> changed;
  for (const layout::Rect& box : boxes) {
    const CellRect cells = painter_.repaint(widget_, list, paint, box);
    changed = changed ? bounding(*changed, cells) : cells;
  }
  showWidgetCells(*changed);
}

void TerminalBackend::status(std::string_view message) {
  status_.assign(message);
  compose();
}

void TerminalBackend::resize(GridSize size) {
  size_ = size;
  writer_.invalidate();
  render();
}

void TerminalBackend::setAppearance(render::Appearance appearance) {
  if (appearance == options_.appearance) {
    return;
  }
  options_.appearance = appearance;
  render();
}

void TerminalBackend::redraw() {
  writer_.invalidate();
  printed_.reset();
  render();
}

bool TerminalBackend::showsLink(std::string_view url) const {
  return std::find(links_.begin(), links_.end(), url) != links_.end();
}

std::optional<std::string> TerminalBackend::linkForKey(Key key) const {
  std::size_t position = 0;
  switch (key) {
    case Key::toggle:
      position = 0;
      break;
    case Key::stop:
      position = 1;
      break;
    case Key::quit:
      return std::nullopt;
  }
  if (!scene_ || position >= scene_->links.size() || !showsLink(scene_->links[position])) {
    return std::nullopt;
  }
  return scene_->links[position];
}

void TerminalBackend::layOut() {
  laidOut_.reset();
  widget_ = {};
  if (!scene_) {
    return;
  }
  const layout::WidgetCanvas canvas = render::widgetCanvas(scene_->family, instant_);
  auto made = layout::LaidOutWidget::make(scene_->view, canvas, measurer_);
  if (!made) {
    // The widget's cells still say what went wrong, so the screen is not blank.
    widget_ = CellGrid(cellsFor(canvas.size));
    widget_.putText(
        0, widget_.size().rows / 2,
        fitText("cannot lay out the widget: " + made.error().message, widget_.size().columns),
        widget_.size().columns);
    return;
  }
  laidOut_ = std::move(*made);
  widget_ =
      painter_.paint(laidOut_->drawList(), PaintOptions{options_.appearance, scene_->redacted});
}

void TerminalBackend::render() {
  layOut();
  compose();
}

void TerminalBackend::compose() {
  if (!options_.capabilities.cellAddressing) {
    printLine(widget_);
    return;
  }
  screen_ = composeScreen(widget_, size_, status_);
  placement_ = placeWidget(widget_.size(), size_);
  links_ = screen_.linkedUrls();
  write(writer_.frame(screen_));
}

void TerminalBackend::showWidgetCells(const CellRect& changed) {
  if (!options_.capabilities.cellAddressing) {
    printLine(widget_);
    return;
  }
  if (!placement_) {
    return;  // nothing of the widget is on screen
  }
  screen_.blit(widget_, placement_->column, placement_->row, changed);
  const CellRect onScreen{placement_->column + changed.column, placement_->row + changed.row,
                          changed.columns, changed.rows};
  if (!status_.empty() && placement_->statusRow >= onScreen.row
      && placement_->statusRow < onScreen.row + onScreen.rows) {
    putCentered(screen_, placement_->statusRow, status_);  // it shares the widget's last row
  }
  write(writer_.frame(screen_, onScreen));
}

void TerminalBackend::printLine(const CellGrid& widget) {
  links_ = widget.linkedUrls();
  std::string line = plainLine(widget, status_);
  if (line == printed_) {
    return;
  }
  printed_ = line;
  line += '\n';
  write(line);
}

void TerminalBackend::write(const std::string& bytes) {
  if (!bytes.empty() && healthy_ && !sink_(bytes)) {
    healthy_ = false;
  }
}

}  // namespace velto::host::terminal
