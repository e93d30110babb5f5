#include "host/backends/terminal/terminal_backend.hpp"

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/terminal_scenes.hpp"
#include "tests/support/virtual_terminal.hpp"

namespace velto::host::terminal {
namespace {

using platform::foundation::Date;
using platform::widgets::WidgetFamily;
using testing::SceneSetup;
using testing::TimerState;

constexpr double kNow = 10'000;
constexpr Capabilities kColor{ColorMode::trueColor, true, false};

/// Everything the backend wrote, frame by frame, and what a terminal shows of it.
struct Recorder {
  explicit Recorder(GridSize size = {80, 24}) : terminal(size) {}

  std::vector<std::string> frames;
  testing::VirtualTerminal terminal;
  bool accept = true;

  ByteSink sink() {
    return [this](std::string_view bytes) {
      frames.emplace_back(bytes);
      EXPECT_TRUE(terminal.apply(bytes));
      return accept;
    };
  }

  /// The row's text without the spaces around it.
  std::string row(int index) const {
    const std::string text = terminal.row(index);
    const std::size_t first = text.find_first_not_of(' ');
    return first == std::string::npos ? ""
                                      : text.substr(first, text.find_last_not_of(' ') - first + 1);
  }
};

live::Scene scene(TimerState state, WidgetFamily family = WidgetFamily::systemSmall,
                  bool redacted = false) {
  const SceneSetup setup{state, "Deep Work", "00:05:00", Date(kNow - 754), "1h 30m", 24};
  return {family, testing::widgetTree(setup), redacted};
}

TEST(TerminalBackend, WritesNothingBeforeItHasSomethingToShow) {
  Recorder recorder;
  TerminalBackend backend(recorder.sink(), {80, 24}, {render::Appearance::dark, kColor});
  backend.tick(Date(kNow));
  EXPECT_TRUE(recorder.frames.empty());
}

TEST(TerminalBackend, ShowDrawsTheWidgetCentred) {
  Recorder recorder;
  TerminalBackend backend(recorder.sink(), {80, 24}, {render::Appearance::dark, kColor});
  backend.show(scene(TimerState::running), Date(kNow));
  ASSERT_EQ(1U, recorder.frames.size());
  EXPECT_TRUE(recorder.frames[0].starts_with("\x1b[0m\x1b[2J"));
  // 24 × 12 cells centred on 80 × 24, with a row for the status: columns 28…51, rows 5…16.
  EXPECT_EQ("", recorder.row(4));
  EXPECT_EQ("◔ VELTO            ●", recorder.row(6));
  EXPECT_EQ("Deep Work", recorder.row(10));
  EXPECT_EQ("00:12:34", recorder.row(11));
  EXPECT_EQ("☀ 1h 30m     ‖    ■", recorder.row(15));
  EXPECT_EQ(" ", recorder.terminal.screen().at(27, 6).glyph);
  EXPECT_FALSE(recorder.terminal.screen().at(27, 6).background.has_value());
  EXPECT_TRUE(recorder.terminal.screen().at(29, 5).background.has_value());
  EXPECT_EQ("", recorder.row(17));
}

TEST(TerminalBackend, ATickRewritesOnlyTheDigitsThatChanged) {
  Recorder recorder;
  TerminalBackend backend(recorder.sink(), {80, 24}, {render::Appearance::dark, kColor});
  backend.show(scene(TimerState::running), Date(kNow));
  backend.tick(Date(kNow + 0.4));  // the same second: nothing to write
  EXPECT_EQ(1U, recorder.frames.size());
  backend.tick(Date(kNow + 1));
  ASSERT_EQ(2U, recorder.frames.size());
  // 00:12:34 → 00:12:35: one move, one colour, one glyph.
  const std::string& frame = recorder.frames[1];
  EXPECT_TRUE(frame.starts_with("\x1b[12;38H\x1b[1;38;2;")) << frame;
  EXPECT_TRUE(frame.ends_with("m5\x1b[0m")) << frame;
  EXPECT_EQ("00:12:35", recorder.row(11));
  backend.tick(Date(kNow + 26));
  EXPECT_EQ("00:13:00", recorder.row(11));
  EXPECT_EQ("Deep Work", recorder.row(10));
}

/// Where two screens differ, as "column,row"; empty when they look the same.
std::string firstDifference(const CellGrid& a, const CellGrid& b) {
  if (a.size() != b.size()) {
    return "size";
  }
  for (int row = 0; row < a.size().rows; ++row) {
    for (int column = 0; column < a.size().columns; ++column) {
      if (!a.sameCell(a.at(column, row), b, b.at(column, row))) {
        return std::to_string(column) + "," + std::to_string(row);
      }
    }
  }
  return "";
}

TEST(TerminalBackend, TicksLeaveTheScreenAsAFreshPaintAtTheSameInstant) {
  struct Case {
    const char* name;
    WidgetFamily family;
    GridSize terminal;
    double elapsed;  // when shown; then ticked a second at a time
    const char* status;
    bool redacted;
    const char* readoutAfter;  // the readout once the ticks are done
  };
  const Case cases[] = {
      {"the hour turns", WidgetFamily::systemSmall, {80, 24}, 3590, "", false, "01:00:10"},
      {"ten hours", WidgetFamily::systemMedium, {80, 24}, 35990, "", false, "10:00:10"},
      {"the readout grows", WidgetFamily::systemSmall, {80, 24}, 359990, "", false, "100:00:10"},
      {"a status on the last row",
       WidgetFamily::systemSmall,
       {24, 12},
       3590,
       "link failed",
       false,
       "01:00:10"},
      {"the placeholder", WidgetFamily::systemMedium, {60, 14}, 359990, "", true, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const SceneSetup setup{TimerState::running, "Deep Work", "", Date(kNow - c.elapsed), "1h", 24};
    const live::Scene running{c.family, testing::widgetTree(setup), c.redacted};
    Recorder ticked(c.terminal);
    TerminalBackend backend(ticked.sink(), c.terminal, {render::Appearance::dark, kColor});
    backend.show(running, Date(kNow));
    if (*c.status != '\0') {
      backend.status(c.status);
    }
    for (int second = 1; second <= 20; ++second) {
      const std::size_t written = ticked.frames.size();
      const Date instant(kNow + second + 0.25);
      backend.tick(instant);
      ASSERT_LE(ticked.frames.size(), written + 1) << second;  // the placeholder may stay the same
      if (ticked.frames.size() > written) {
        EXPECT_EQ(std::string::npos, ticked.frames.back().find("\x1b[2J")) << second;
      }

      Recorder fresh(c.terminal);
      TerminalBackend painted(fresh.sink(), c.terminal, {render::Appearance::dark, kColor});
      painted.show(running, instant);
      if (*c.status != '\0') {
        painted.status(c.status);
      }
      ASSERT_EQ("", firstDifference(fresh.terminal.screen(), ticked.terminal.screen()))
          << second << "\n"
          << toText(fresh.terminal.screen()) << toText(ticked.terminal.screen());
      EXPECT_EQ(painted.shownLinks(), backend.shownLinks()) << second;
    }
    if (*c.readoutAfter != '\0') {
      const std::string screen = toText(ticked.terminal.screen());
      EXPECT_NE(std::string::npos, screen.find(c.readoutAfter)) << screen;
    }
  }
}

TEST(TerminalBackend, KeysOpenOnlyTheLinksOnScreen) {
  Recorder recorder;
  TerminalBackend backend(recorder.sink(), {80, 24}, {render::Appearance::dark, kColor});
  EXPECT_EQ(std::nullopt, backend.linkForKey(Key::toggle));
  backend.show(scene(TimerState::paused), Date(kNow));
  EXPECT_EQ("velto://toggle", backend.linkForKey(Key::toggle));
  EXPECT_EQ("velto://stop", backend.linkForKey(Key::stop));
  EXPECT_EQ(std::nullopt, backend.linkForKey(Key::quit));
  EXPECT_EQ((std::vector<std::string>{"velto://toggle", "velto://stop"}), backend.shownLinks());
  backend.show(scene(TimerState::stopped), Date(kNow));
  EXPECT_EQ(std::nullopt, backend.linkForKey(Key::toggle));
  EXPECT_EQ(std::nullopt, backend.linkForKey(Key::stop));
}

TEST(TerminalBackend, KeysOpenTheScenesOwnLinksInTheirOrder) {
  using platform::ui::HStack;
  using platform::ui::View;
  Recorder recorder;
  TerminalBackend backend(recorder.sink(), {80, 24}, {render::Appearance::dark, kColor});
  const std::vector<View> buttons{testing::button("velto://resume", "play.fill"),
                                  testing::button("velto://end", "stop.fill")};
  backend.show({WidgetFamily::systemSmall, HStack(buttons)}, Date(kNow));
  EXPECT_EQ("velto://resume", backend.linkForKey(Key::toggle));
  EXPECT_EQ("velto://end", backend.linkForKey(Key::stop));
  backend.show({WidgetFamily::systemSmall, HStack({buttons[0]})}, Date(kNow));
  EXPECT_EQ("velto://resume", backend.linkForKey(Key::toggle));
  EXPECT_EQ(std::nullopt, backend.linkForKey(Key::stop));
}

TEST(TerminalBackend, ATooSmallTerminalGetsOneLineAndNoLinks) {
  Recorder recorder;
  TerminalBackend backend(recorder.sink(), {80, 24}, {render::Appearance::dark, kColor});
  backend.show(scene(TimerState::running, WidgetFamily::systemMedium), Date(kNow));
  backend.resize({40, 10});
  recorder.terminal = testing::VirtualTerminal({40, 10});
  backend.resize({40, 10});
  EXPECT_EQ("Too small: needs 52×12", recorder.row(5));
  for (const int row : {0, 1, 2, 3, 4, 6, 7, 8, 9}) {
    EXPECT_EQ("", recorder.row(row)) << row;
  }
  EXPECT_EQ(std::nullopt, backend.linkForKey(Key::stop));
  recorder.terminal = testing::VirtualTerminal({52, 12});
  backend.resize({52, 12});
  EXPECT_EQ("◔ VELTO                                        ●", recorder.row(1));
  EXPECT_EQ("velto://stop", backend.linkForKey(Key::stop));
}

TEST(TerminalBackend, TheStatusLineComesAndGoes) {
  Recorder recorder({40, 16});
  TerminalBackend backend(recorder.sink(), {40, 16}, {render::Appearance::dark, kColor});
  backend.show(scene(TimerState::running), Date(kNow));
  backend.status("cannot open velto://toggle");
  // Widget rows 1…12, the status on row 13.
  EXPECT_EQ("cannot open velto://toggle", recorder.row(13));
  EXPECT_EQ("☀ 1h 30m     ‖    ■", recorder.row(11));
  backend.status("");
  EXPECT_EQ("", recorder.row(13));
}

TEST(TerminalBackend, ThePlaceholderShowsBlocksAndItsLinksStayInert) {
  Recorder recorder;
  TerminalBackend backend(recorder.sink(), {80, 24}, {render::Appearance::dark, kColor});
  backend.show(scene(TimerState::stopped, WidgetFamily::systemSmall, true), Date(kNow));
  EXPECT_EQ("▆▆▆▆▆▆▆▆▆", recorder.row(10));
  EXPECT_EQ("▆▆▆▆▆▆▆▆", recorder.row(11));
  // Its buttons are painted, but lead nowhere yet.
  backend.show(scene(TimerState::running, WidgetFamily::systemSmall, true), Date(kNow));
  EXPECT_EQ(std::nullopt, backend.linkForKey(Key::toggle));
  EXPECT_EQ(std::nullopt, backend.linkForKey(Key::stop));
}

TEST(TerminalBackend, ANewAppearanceRepaintsTheColours) {
  Recorder recorder;
  TerminalBackend backend(recorder.sink(), {80, 24}, {render::Appearance::dark, kColor});
  backend.show(scene(TimerState::running), Date(kNow));
  backend.setAppearance(render::Appearance::dark);
  EXPECT_EQ(1U, recorder.frames.size());
  backend.setAppearance(render::Appearance::light);
  ASSERT_EQ(2U, recorder.frames.size());
  const Cell& inside = recorder.terminal.screen().at(30, 16);  // bottom left, far from the glow
  ASSERT_TRUE(inside.background.has_value());
  EXPECT_GT(inside.background->green, 200);
}

TEST(TerminalBackend, ATreeThatCannotBeLaidOutSaysSo) {
  platform::ui::View deep = platform::ui::Spacer();
  for (int i = 0; i < 200; ++i) {
    deep = platform::ui::VStack({deep});
  }
  Recorder recorder;
  TerminalBackend backend(recorder.sink(), {80, 24}, {render::Appearance::dark, kColor});
  backend.show({WidgetFamily::systemMedium, deep, false}, Date(kNow));
  EXPECT_EQ("cannot lay out the widget: the view tree is nested…", recorder.row(11));
}

TEST(TerminalBackend, ARefusedWriteMarksTheTerminalGone) {
  Recorder recorder;
  recorder.accept = false;
  TerminalBackend backend(recorder.sink(), {80, 24}, {render::Appearance::dark, kColor});
  EXPECT_TRUE(backend.healthy());
  backend.show(scene(TimerState::running), Date(kNow));
  EXPECT_FALSE(backend.healthy());
  backend.tick(Date(kNow + 1));
  EXPECT_EQ(1U, recorder.frames.size());
}

TEST(TerminalBackend, RedrawWritesTheWholeScreenAgain) {
  Recorder recorder;
  TerminalBackend backend(recorder.sink(), {80, 24}, {render::Appearance::dark, kColor});
  backend.show(scene(TimerState::running), Date(kNow));
  backend.redraw();
  ASSERT_EQ(2U, recorder.frames.size());
  EXPECT_EQ(recorder.frames[0], recorder.frames[1]);
}

TEST(TerminalBackend, ADumbTerminalGetsOnePlainLinePerChangeAndNoEscapes) {
  std::vector<std::string> written;
  const ByteSink sink = [&written](std::string_view bytes) {
    written.emplace_back(bytes);
    return true;
  };
  const Capabilities dumb = detectCapabilities({{"TERM", "dumb"}});
  TerminalBackend backend(sink, {80, 24}, {render::Appearance::dark, dumb});
  backend.show(scene(TimerState::running), Date(kNow));
  backend.tick(Date(kNow + 0.4));  // the same second: the same line
  backend.tick(Date(kNow + 1));
  backend.resize({40, 10});
  backend.status("cannot open velto://toggle");
  backend.redraw();
  ASSERT_EQ(4U, written.size());
  for (const std::string& line : written) {
    EXPECT_EQ(std::string::npos, line.find('\x1b')) << line;
    EXPECT_EQ(1, std::count(line.begin(), line.end(), '\n')) << line;
    EXPECT_TRUE(line.ends_with('\n')) << line;
  }
  EXPECT_NE(std::string::npos, written[0].find("Deep Work | 00:12:34 |")) << written[0];
  EXPECT_NE(std::string::npos, written[1].find("Deep Work | 00:12:35 |")) << written[1];
  EXPECT_TRUE(written[2].ends_with(" - cannot open velto://toggle\n")) << written[2];
  EXPECT_EQ(written[2], written[3]);
  EXPECT_EQ("velto://stop", backend.linkForKey(Key::stop));
}

}  // namespace
}  // namespace velto::host::terminal
