#include "host/backends/terminal/cell_painter.hpp"

#include <string>

#include <gtest/gtest.h>

#include "host/backends/terminal/cell_measurer.hpp"
#include "host/layout/laid_out_widget.hpp"
#include "host/layout/layout.hpp"
#include "host/render/metrics.hpp"
#include "tests/support/terminal_scenes.hpp"

namespace velto::host::terminal {
namespace {

using platform::foundation::Date;
using render::Appearance;
using testing::SceneSetup;
using testing::TimerState;

constexpr layout::Size kSmall{170, 170};
constexpr layout::Size kMedium{364, 170};
constexpr double kNow = 1000;

CellGrid paintTree(const platform::ui::View& tree, layout::Size size, PaintOptions options = {}) {
  const CellMeasurer measurer;
  const auto list = layout::layoutWidget(
      tree, {size, render::kContentMargin, render::kWidgetCornerRadius, Date(kNow)}, measurer);
  EXPECT_TRUE(list.has_value());
  return list ? paintCells(*list, options) : CellGrid();
}

SceneSetup running() {
  return {TimerState::running, "Deep Work", "", Date(kNow - 754), "1h 30m", 24};
}

SceneSetup paused() {
  return {TimerState::paused, "Client review", "01:01:01", Date(0), "2h 30m", 30};
}

/// The luminance-free "how orange" of a colour: red above blue.
int warmth(Rgb color) {
  return color.red - color.blue;
}

TEST(PaintCells, RunningSmallWidget) {
  EXPECT_EQ(
      "                        \n"
      "  ◔ VELTO            ●  \n"
      "                        \n"
      "                        \n"
      "                        \n"
      "  Deep Work             \n"
      "  00:12:34              \n"
      "                        \n"
      "                        \n"
      "                        \n"
      "  ☀ 1h 30m     ‖    ■   \n"
      "                        \n",
      toText(paintTree(testing::widgetTree(running()), kSmall)));
}

TEST(PaintCells, PausedMediumWidget) {
  EXPECT_EQ(
      "                                                    \n"
      "  ◔ VELTO                                        ●  \n"
      "                                                    \n"
      "                                                    \n"
      "                                                    \n"
      "  Client review                                     \n"
      "  01:01:01                                          \n"
      "                                                    \n"
      "                                                    \n"
      "                                                    \n"
      "  ☀ 2h 30m                                 ▶    ■   \n"
      "                                                    \n",
      toText(paintTree(testing::widgetTree(paused()), kMedium)));
}

TEST(PaintCells, RedactedPlaceholderShowsTextsAsBlocks) {
  const SceneSetup empty{TimerState::stopped, std::nullopt, "00:00:00", Date(0), "0m", 24};
  EXPECT_EQ(
      "                        \n"
      "  ◔ ▆▆▆▆▆            ●  \n"
      "                        \n"
      "                        \n"
      "                        \n"
      "  ▆▆▆▆▆▆▆▆▆▆▆▆▆▆        \n"
      "  ▆▆▆▆▆▆▆▆              \n"
      "                        \n"
      "                        \n"
      "                        \n"
      "  ☀ ▆▆                  \n"
      "                        \n",
      toText(paintTree(testing::widgetTree(empty), kSmall, {Appearance::dark, true})));
}

TEST(PaintCells, TheRunningDotIsGreenAndTheStoppedOneGrey) {
  const CellGrid run = paintTree(testing::widgetTree(running()), kSmall);
  SceneSetup stoppedSpec = running();
  stoppedSpec.state = TimerState::stopped;
  const CellGrid stop = paintTree(testing::widgetTree(stoppedSpec), kSmall);
  const Rgb green = *run.at(21, 1).foreground;
  const Rgb grey = *stop.at(21, 1).foreground;
  EXPECT_GT(green.green, green.red + 80);
  EXPECT_LT(grey.green - grey.red, 20);
}

TEST(PaintCells, RoundedCornersLeaveTheCornerCellsUnpainted) {
  const CellGrid grid = paintTree(testing::widgetTree(running()), kSmall);
  for (const auto& [column, row] :
       {std::pair{0, 0}, std::pair{23, 0}, std::pair{0, 11}, std::pair{23, 11}}) {
    EXPECT_FALSE(grid.at(column, row).background.has_value()) << column << "," << row;
  }
  for (const auto& [column, row] :
       {std::pair{1, 0}, std::pair{0, 1}, std::pair{22, 11}, std::pair{23, 10}}) {
    EXPECT_TRUE(grid.at(column, row).background.has_value()) << column << "," << row;
  }
}

TEST(PaintCells, TheGlowWarmsTheTopTrailingCorner) {
  const CellGrid grid = paintTree(testing::widgetTree(running()), kSmall);
  const Rgb corner = *grid.at(22, 0).background;
  const Rgb far = *grid.at(1, 11).background;
  EXPECT_GT(warmth(corner), 10);
  EXPECT_GT(warmth(corner), warmth(far));
  EXPECT_GE(warmth(far), 0);
}

TEST(PaintCells, TextsAreBlendedOverTheirBackgroundByAppearance) {
  for (const Appearance look : {Appearance::dark, Appearance::light}) {
    const CellGrid grid = paintTree(testing::widgetTree(running()), kSmall, {look, false});
    const Cell& readout = grid.at(2, 6);
    const Cell& project = grid.at(2, 5);
    const int background = readout.background->green;
    // The readout is primary, the project line secondary: further from the background.
    EXPECT_GT(std::abs(readout.foreground->green - background),
              std::abs(project.foreground->green - background));
    EXPECT_EQ(look == Appearance::dark, readout.foreground->green > background);
    EXPECT_TRUE(readout.bold);
  }
}

TEST(PaintCells, ButtonsAreLinksOnTheirOwnCells) {
  const CellGrid grid = paintTree(testing::widgetTree(running()), kSmall);
  EXPECT_EQ((std::vector<std::string>{"velto://toggle", "velto://stop"}), grid.linkedUrls());
  EXPECT_EQ("velto://toggle", grid.linkOf(grid.at(16, 10)));
  EXPECT_EQ("velto://stop", grid.linkOf(grid.at(20, 10)));
  EXPECT_EQ("", grid.linkOf(grid.at(18, 10)));
  EXPECT_EQ("", grid.linkOf(grid.at(20, 6)));
  // The button's backdrop lightens its row only.
  const auto lift = [&](int row) {
    return grid.at(20, row).background->green - grid.at(18, row).background->green;
  };
  EXPECT_GT(lift(10), 10);
  EXPECT_LT(std::abs(lift(9)), 3);
}

TEST(PaintCells, ALongProjectNameIsCutWithinTheContent) {
  SceneSetup setup = running();
  setup.project = "An extraordinarily long project name";
  const CellGrid grid = paintTree(testing::widgetTree(setup), kSmall);
  std::string line;
  for (int column = 0; column < 24; ++column) {
    line += grid.at(column, 5).glyph;
  }
  EXPECT_EQ("  An extraordinarily…   ", line);
}

TEST(PaintCells, AProjectNameCannotSmuggleEscapeSequences) {
  SceneSetup setup = running();
  setup.project = "\x1b]8;;evil\x1b\\x\x9b";
  const CellGrid grid = paintTree(testing::widgetTree(setup), kSmall);
  for (int row = 0; row < grid.size().rows; ++row) {
    for (int column = 0; column < grid.size().columns; ++column) {
      const std::string& glyph = grid.at(column, row).glyph;
      EXPECT_EQ(std::string::npos, glyph.find('\x1b'));
      EXPECT_EQ(std::string::npos, glyph.find("\xc2\x9b"));
    }
  }
}

TEST(PaintCells, AWideGlyphThatDoesNotFitIsNotHalved) {
  SceneSetup setup = running();
  setup.project = "\u4E2D\u4E2D\u4E2D\u4E2D\u4E2D\u4E2D\u4E2D\u4E2D\u4E2D\u4E2D\u4E2D";
  const CellGrid grid = paintTree(testing::widgetTree(setup), kSmall);
  // 20 cells of content: nine ideographs (18 cells) and the ellipsis.
  EXPECT_EQ("\u2026", grid.at(20, 5).glyph);
  EXPECT_TRUE(grid.at(19, 5).continuation());
  EXPECT_EQ(" ", grid.at(21, 5).glyph);
}

TEST(Blend, MixesByAlpha) {
  EXPECT_EQ((Rgb{128, 128, 128}), blend({0, 0, 0}, {1, 1, 1, 0.5}));
  EXPECT_EQ((Rgb{10, 20, 30}), blend({10, 20, 30}, {1, 1, 1, 0}));
  EXPECT_EQ((Rgb{255, 0, 0}), blend({10, 20, 30}, {1, 0, 0, 1}));
}

}  // namespace
}  // namespace velto::host::terminal

namespace velto::host::terminal {
namespace {

bool sameGrid(const CellGrid& a, const CellGrid& b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (int row = 0; row < a.size().rows; ++row) {
    for (int column = 0; column < a.size().columns; ++column) {
      if (!a.sameCell(a.at(column, row), b, b.at(column, row))) {
        return false;
      }
    }
  }
  return true;
}

TEST(CellPainter, PaintsWhatPaintCellsPaintsWhateverCameBefore) {
  const CellMeasurer measurer;
  const auto listFor = [&](const SceneSetup& setup, layout::Size size, double instant) {
    return *layout::layoutWidget(
        testing::widgetTree(setup),
        {size, render::kContentMargin, render::kWidgetCornerRadius, Date(instant)}, measurer);
  };
  SceneSetup other = paused();
  other.project = "Other";
  const struct {
    layout::DrawList list;
    PaintOptions options;
  } steps[] = {
      {listFor(running(), kSmall, kNow), {}},
      {listFor(running(), kSmall, kNow + 1), {}},
      {listFor(running(), kSmall, kNow + 2), {Appearance::light, false}},
      {listFor(running(), kSmall, kNow + 3), {Appearance::light, true}},
      {listFor(other, kSmall, kNow), {}},
      {listFor(running(), kMedium, kNow), {}},
      {listFor(running(), kSmall, kNow + 4), {}},
  };
  CellPainter painter;
  for (std::size_t i = 0; i < std::size(steps); ++i) {
    EXPECT_TRUE(sameGrid(paintCells(steps[i].list, steps[i].options),
                         painter.paint(steps[i].list, steps[i].options)))
        << i;
  }
}

TEST(CellPainter, RepaintingTheBoxesATickChangedGivesWhatPaintingEverythingGives) {
  using namespace platform::ui;
  const CellMeasurer measurer;
  // Wide glyphs hard against the readout, and a readout that grows at 100 hours.
  const View crowded = VStack(
      {HStack(VerticalAlignment::center, 0,
              {Text::verbatim("漢字"), Text::timer(Date(kNow - 3595)), Text::verbatim("漢字漢字")}),
       Text::timer(Date(kNow - 359995)).font(Font::system(20))});
  const struct {
    const char* name;
    View tree;
    layout::Size size;
    PaintOptions options;
  } cases[] = {
      {"running", testing::widgetTree(running()), kSmall, {}},
      {"placeholder", testing::widgetTree(running()), kMedium, {Appearance::light, true}},
      {"crowded", crowded, kSmall, {}},
      {"crowded medium", crowded, kMedium, {Appearance::light, false}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto widget = layout::LaidOutWidget::make(
        c.tree, {c.size, render::kContentMargin, render::kWidgetCornerRadius, Date(kNow)},
        measurer);
    ASSERT_TRUE(widget.has_value());
    CellPainter painter;
    CellGrid cells;  // another size at first: repainted whole
    EXPECT_EQ((CellRect{0, 0, cellsFor(c.size).columns, cellsFor(c.size).rows}),
              painter.repaint(cells, widget->drawList(), c.options, {0, 0, 1, 1}));
    for (int second = 1; second <= 10; ++second) {
      for (const layout::Rect& box : widget->advanceTimers(Date(kNow + second), measurer)) {
        const CellRect changed = painter.repaint(cells, widget->drawList(), c.options, box);
        EXPECT_LE(changed.columns * changed.rows,
                  cells.size().columns * cells.size().rows);  // never beyond the grid
      }
      EXPECT_TRUE(sameGrid(paintCells(widget->drawList(), c.options), cells))
          << second << "\n"
          << toText(paintCells(widget->drawList(), c.options)) << toText(cells);
    }
  }
}

}  // namespace
}  // namespace velto::host::terminal
