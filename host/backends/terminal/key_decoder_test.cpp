#include "host/backends/terminal/key_decoder.hpp"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace velto::host::terminal {
namespace {

using render::Appearance;

std::vector<InputEvent> decodeAll(std::string_view bytes) {
  return KeyDecoder().feed(bytes);
}

TEST(KeyDecoder, DecodesTheWidgetsKeys) {
  const struct {
    std::string bytes;
    std::vector<InputEvent> events;
  } cases[] = {
      {"q", {Key::quit}},
      {"Q", {Key::quit}},
      {"\x03", {Key::quit}},
      {"t", {Key::toggle}},
      {"T", {Key::toggle}},
      {"s", {Key::stop}},
      {"xyz 1\r\n", {}},
      {"tsq", {Key::toggle, Key::stop, Key::quit}},
      {"\xC3\xA9t", {Key::toggle}},  // other text is skipped
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.events, decodeAll(c.bytes)) << c.bytes;
  }
}

TEST(KeyDecoder, SkipsEscapeSequencesWhole) {
  const struct {
    std::string bytes;
    std::vector<InputEvent> events;
  } cases[] = {
      {"\x1b[A", {}},                   // arrow up
      {"\x1b[1;5Ds", {Key::stop}},      // Ctrl-left, then s
      {"\x1b[15~t", {Key::toggle}},     // F5
      {"\x1bOq", {}},                   // keypad in application mode: SS3 q
      {"\x1bq", {}},                    // Alt-q
      {"\x1b[<0;12;5Mq", {Key::quit}},  // a mouse report with 'M' as final byte
      {"\x1b[200~stq\x1b[201~", {Key::stop, Key::toggle, Key::quit}},  // pasted text counts
      {"\x1bP1$r0m\x1b\\t", {Key::toggle}},                            // a DCS answer
      {"\x1b]52;c;dHQ=\x07s", {Key::stop}},                            // an unrelated OSC
      {"\x1b\x1b[At", {Key::toggle}},
      {"\x1b[1;2\x03", {Key::quit}},  // Ctrl-C ends any sequence
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.events, decodeAll(c.bytes)) << c.bytes;
  }
}

TEST(KeyDecoder, ReportsTheBackgroundColour) {
  const struct {
    std::string bytes;
    std::vector<InputEvent> events;
  } cases[] = {
      {"\x1b]11;rgb:0000/0000/0000\x1b\\", {BackgroundReport{Appearance::dark}}},
      {"\x1b]11;rgb:ffff/ffff/ffff\x07", {BackgroundReport{Appearance::light}}},
      {"\x1b]11;rgb:28/28/28\x07q", {BackgroundReport{Appearance::dark}, Key::quit}},
      {"\x1b]10;rgb:ffff/ffff/ffff\x07", {}},  // the foreground colour, not asked for
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.events, decodeAll(c.bytes)) << c.bytes;
  }
}

TEST(KeyDecoder, KeepsItsPlaceAcrossReads) {
  const std::string reply = "\x1b]11;rgb:fdfd/f6f6/e3e3\x1b\\t";
  for (std::size_t split = 0; split <= reply.size(); ++split) {
    KeyDecoder decoder;
    std::vector<InputEvent> events = decoder.feed(std::string_view(reply).substr(0, split));
    for (InputEvent& event : decoder.feed(std::string_view(reply).substr(split))) {
      events.push_back(event);
    }
    EXPECT_EQ((std::vector<InputEvent>{BackgroundReport{Appearance::light}, Key::toggle}), events)
        << split;
  }
}

TEST(KeyDecoder, SkipsAnOverlongReplyWithoutReportingIt) {
  KeyDecoder decoder;
  std::string reply = "\x1b]11;rgb:ffff/ffff/ffff";
  reply += std::string(10 * kMaxOscBytes, '0');
  reply += "\x07t";
  EXPECT_EQ((std::vector<InputEvent>{Key::toggle}), decoder.feed(reply));
}

TEST(ParseBackgroundReply, TellsLightFromDark) {
  const struct {
    std::string body;
    std::optional<Appearance> appearance;
  } cases[] = {
      {"11;rgb:0000/0000/0000", Appearance::dark},
      {"11;rgb:ffff/ffff/ffff", Appearance::light},
      {"11;rgb:f/f/f", Appearance::light},
      {"11;rgb:2828/2c2c/3434", Appearance::dark},
      {"11;rgb:eeee/e8e8/d5d5", Appearance::light},
      {"11;rgba:ffff/ffff/ffff/ffff", Appearance::light},
      {"11;rgb:0000/ffff/0000", Appearance::light},  // green weighs most
      {"11;rgb:ffff/0000/0000", Appearance::dark},
      {"11;rgb:ffff/ffff", std::nullopt},
      {"11;rgb:fffff/ffff/ffff", std::nullopt},
      {"11;rgb:gggg/ffff/ffff", std::nullopt},
      {"11;rgb://", std::nullopt},
      {"11;?", std::nullopt},
      {"10;rgb:ffff/ffff/ffff", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.appearance, parseBackgroundReply(c.body)) << c.body;
  }
}

}  // namespace
}  // namespace velto::host::terminal
