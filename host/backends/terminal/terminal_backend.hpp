#pragma once

// The live widget in a terminal's cell grid: a scene is laid out in cells once,
// painted, centred on the screen, and each frame writes only the cells that
// changed since the last; a tick repaints just the cells of the timer texts
// that moved on, unless one of them grew and the widget was laid out anew. A terminal without cell
// addressing gets a plain line instead, each time what it would show changes.
//
// A program drives it like this (the system calls stay in terminal_io.hpp):
//
//   auto raw = RawMode::enter(STDIN_FILENO);            // keys, Ctrl-C as a byte
//   AlternateScreen screen(fdSink(STDOUT_FILENO));       // restored when it ends
//   TerminalBackend backend(fdSink(STDOUT_FILENO), *windowSize(STDOUT_FILENO),
//                           {appearance, detectCapabilities(terminalEnvironment())});
//   backend.show(scene, now);  backend.tick(now);        // from the live core
//   for (InputEvent e : decoder.feed(bytes)) …           // on stdin readable
//     backend.linkForKey(key) → the URL to open, while its button is shown
//   backend.resize(*windowSize(STDOUT_FILENO));          // on SIGWINCH

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/backends/terminal/cell_measurer.hpp"
#include "host/backends/terminal/cell_painter.hpp"
#include "host/backends/terminal/key_decoder.hpp"
#include "host/backends/terminal/screen_layout.hpp"
#include "host/backends/terminal/screen_writer.hpp"
#include "host/backends/terminal/terminal_capabilities.hpp"
#include "host/backends/terminal/terminal_io.hpp"
#include "host/layout/laid_out_widget.hpp"
#include "host/render/palette.hpp"
#include "host/scene/backend.hpp"
#include "platform/foundation/date.hpp"

namespace velto::host::terminal {

struct TerminalOptions {
  render::Appearance appearance = render::Appearance::dark;
  Capabilities capabilities;
};

class TerminalBackend final : public live::Backend {
 public:
  /// Draws into `sink` for a terminal of `size` cells. Nothing is written
  /// before the first show or status.
  TerminalBackend(ByteSink sink, GridSize size, TerminalOptions options);

  void show(const live::Scene& scene, platform::foundation::Date instant) override;
  void tick(platform::foundation::Date instant) override;
  void status(std::string_view message) override;

  /// The terminal now has `size` cells: everything is drawn anew.
  void resize(GridSize size);
  /// Colours for `appearance` from now on (the terminal's background answered late).
  void setAppearance(render::Appearance appearance);
  /// Draws everything anew, for a terminal whose contents were lost.
  void redraw();

  /// The link URLs painted on screen now, in the order first painted.
  const std::vector<std::string>& shownLinks() const { return links_; }
  bool showsLink(std::string_view url) const;
  /// The URL that `key` opens now: t the scene's first link (the toggle
  /// button's), s its second (the stop button's), each only while its button
  /// is on screen; nothing for any other key.
  std::optional<std::string> linkForKey(Key key) const;

  /// False once the sink refused a frame (the terminal went away).
  bool healthy() const { return healthy_; }

 private:
  /// Lays the scene out and paints it anew, then composes the whole screen.
  void render();
  /// Composes the whole screen from the widget's cells and writes what changed on it.
  void compose();
  /// Lays the scene out as of instant_ into laidOut_ and paints widget_.
  void layOut();
  /// Puts `changed` of widget_ on the screen, in place, and writes those cells.
  void showWidgetCells(const CellRect& changed);
  /// Prints the widget as a plain line when that line differs from the last.
  void printLine(const CellGrid& widget);
  void write(const std::string& bytes);

  ByteSink sink_;
  GridSize size_;
  TerminalOptions options_;
  ScreenWriter writer_;
  CellMeasurer measurer_;
  CellPainter painter_;
  std::optional<live::Scene> scene_;
  std::optional<layout::LaidOutWidget> laidOut_;  // none when the scene cannot be laid out
  CellGrid widget_;                               // the widget's cells as last painted
  platform::foundation::Date instant_;
  std::string status_;
  std::vector<std::string> links_;
  CellGrid screen_;                     // the last screen composed
  std::optional<Placement> placement_;  // where the widget sits on it, when it fits
  std::optional<std::string> printed_;  // the last plain line, without cell addressing
  bool healthy_ = true;
};

}  // namespace velto::host::terminal
