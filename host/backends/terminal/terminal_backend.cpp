#include "host/backends/terminal/terminal_backend.hpp"

#include <algorithm>
#include <utility>

#include "host/backends/terminal/cell_painter.hpp"
#include "host/backends/terminal/plain_line.hpp"
#include "host/backends/terminal/screen_layout.hpp"
#include "host/backends/terminal/text_cells.hpp"
#include "host/layout/layout.hpp"
#include "host/render/metrics.hpp"

namespace velto::host::terminal {

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
  renderWidget();
}

void TerminalBackend::status(std::string_view message) {
  status_.assign(message);
  render();
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
  std::string_view url;
  switch (key) {
    case Key::toggle:
      url = kToggleUrl;
      break;
    case Key::stop:
      url = kStopUrl;
      break;
    case Key::quit:
      return std::nullopt;
  }
  return showsLink(url) ? std::optional<std::string>(url) : std::nullopt;
}

CellGrid TerminalBackend::widgetCells() {
  if (!scene_) {
    return {};
  }
  const layout::WidgetCanvas canvas = render::widgetCanvas(scene_->family, instant_);
  const auto list = layout::layoutWidget(scene_->view, canvas, measurer_);
  if (!list) {
    // The widget's cells still say what went wrong, so the screen is not blank.
    CellGrid grid(cellsFor(canvas.size));
    grid.putText(0, grid.size().rows / 2,
                 fitText("cannot lay out the widget: " + list.error().message, grid.size().columns),
                 grid.size().columns);
    return grid;
  }
  return painter_.paint(*list, PaintOptions{options_.appearance, scene_->redacted});
}

void TerminalBackend::render() {
  const CellGrid widget = widgetCells();
  if (!options_.capabilities.cellAddressing) {
    printLine(widget);
    return;
  }
  screen_ = composeScreen(widget, size_, status_);
  widgetSize_ = widget.size();
  placement_ = placeWidget(widget.size(), size_);
  links_ = screen_.linkedUrls();
  write(writer_.frame(screen_));
}

void TerminalBackend::renderWidget() {
  if (!options_.capabilities.cellAddressing) {
    printLine(widgetCells());
    return;
  }
  if (!placement_) {
    return;  // nothing of the widget is on screen
  }
  const CellGrid widget = widgetCells();
  if (widget.size() != widgetSize_) {
    render();
    return;
  }
  screen_.blit(widget, placement_->column, placement_->row);
  const CellRect changed{placement_->column, placement_->row, widgetSize_.columns,
                         widgetSize_.rows};
  if (!status_.empty() && placement_->statusRow < changed.row + changed.rows) {
    putCentered(screen_, placement_->statusRow, status_);  // it shares the widget's last row
  }
  links_ = widget.linkedUrls();
  write(writer_.frame(screen_, changed));
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
