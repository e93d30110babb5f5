// The live widget as a person sees it: velto-widget-host terminal inside tmux,
// with a private tmux server, home and defaults folder, and a `velto:` handler
// registered the desktop's way. Every wait polls with short sleeps up to a
// generous bound; nothing asserts on how fast anything happens.

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <signal.h>

#include "tests/support/drawing_libraries.hpp"
#include "tests/support/polling.hpp"
#include "tests/support/program_run.hpp"

namespace {

namespace fs = std::filesystem;
using velto::test_support::drawingLibrariesMapped;
using velto::test_support::eventually;
using velto::test_support::readFile;
using velto::test_support::runProgram;
using velto::test_support::secondsSince2001;
using velto::test_support::shellQuoted;

const std::regex kReadout(R"((\d\d):(\d\d):(\d\d))");

class LiveTerminal : public ::testing::Test {
 protected:
  LiveTerminal() {
    char folder[] = "/tmp/velto-e2e-XXXXXX";
    root_ = ::mkdtemp(folder);
    for (const char* sub : {"home", "config", "data/applications"}) {
      fs::create_directories(root_ / sub);
    }
    // A `velto:` handler that writes down every URL it is given.
    const fs::path handler = root_ / "handler";
    std::ofstream(handler) << "#!/bin/sh\nprintf '%s\\n' \"$1\" >> "
                           << shellQuoted(opened().string()) << "\n";
    fs::permissions(handler, fs::perms::owner_all);
    std::ofstream(root_ / "data/applications/velto-handler.desktop")
        << "[Desktop Entry]\nType=Application\nName=Velto handler\nExec=" << handler.string()
        << " %u\nMimeType=x-scheme-handler/velto;\nNoDisplay=true\n";
    std::ofstream(root_ / "config/mimeapps.list")
        << "[Default Applications]\nx-scheme-handler/velto=velto-handler.desktop\n";
  }
  ~LiveTerminal() override {
    tmux({"kill-server"});
    fs::remove_all(root_);
  }

  fs::path opened() const { return root_ / "opened"; }
  fs::path hostLog() const { return root_ / "host.log"; }

  std::vector<std::string> environment() const {
    return {"HOME=" + (root_ / "home").string(),
            "XDG_CONFIG_HOME=" + (root_ / "config").string(),
            "XDG_DATA_HOME=" + (root_ / "data").string(),
            "TERM=" + term_,
            "GTK_THEME=",
            "NO_COLOR="};
  }

  velto::test_support::ProgramRun tmux(std::vector<std::string> arguments) const {
    arguments.insert(arguments.begin(), {"-S", (root_ / "tmux.sock").string(), "-f", "/dev/null"});
    return runProgram("/usr/bin/tmux", arguments);
  }

  void writeSnapshot(const std::string& state, const std::string& project, double elapsed) {
    const std::string json =
        "{\"state\":\"" + state + "\",\"projectName\":\"" + project
        + "\",\"elapsedSeconds\":" + std::to_string(elapsed)
        + ",\"todaySeconds\":600,\"updatedAt\":" + std::to_string(secondsSince2001()) + "}";
    std::vector<std::string> command = environment();
    command.insert(command.end(), {VELTO_DEFAULTS_TOOL, "write", "group.app.velto",
                                   "velto.sharedTimerSnapshot", "--data", json});
    const auto run = runProgram("/usr/bin/env", command);
    ASSERT_EQ(0, run.status) << run.err;
  }

  // Starts the host in tmux with `options` after "terminal", its stdout where `redirect` says.
  void startHost(const std::string& options = "--appearance dark",
                 const std::string& redirect = "") {
    std::string command = "exec env";
    for (const auto& variable : environment()) {
      command += " " + shellQuoted(variable);
    }
    command += " " + shellQuoted(VELTO_WIDGET_HOST) + " terminal " + options + " --verbose 2>"
               + shellQuoted(hostLog().string()) + redirect;
    const auto run = tmux({"new-session", "-d", "-x", "80", "-y", "24", "-s", "widget", command});
    ASSERT_EQ(0, run.status) << run.err;
  }

  std::string screen() const { return tmux({"capture-pane", "-p", "-t", "widget"}).out; }

  // Whether the screen now equals the host's full repaint of the same frame:
  // a resize there and back makes it forget what it showed and draw anew.
  ::testing::AssertionResult equalsFullRepaint() const {
    const std::string incremental = screen();
    const auto offset = [](const std::string& text) { return text.find("VELTO"); };
    tmux({"resize-window", "-t", "widget", "-x", "70", "-y", "24"});
    if (!eventually([&] { return offset(screen()) != offset(incremental); })) {
      return ::testing::AssertionFailure() << "no repaint at 70 columns:\n" << screen();
    }
    tmux({"resize-window", "-t", "widget", "-x", "80", "-y", "24"});
    // A fault shows as no match until the patience runs out.
    eventually([&] { return screen() == incremental; });
    const std::string repainted = screen();
    if (repainted != incremental) {
      return ::testing::AssertionFailure() << "incremental:\n"
                                           << incremental << "\nrepainted:\n"
                                           << repainted;
    }
    return ::testing::AssertionSuccess();
  }

  // The trimmed row of the screen that holds `part`.
  std::string rowWith(const std::string& part) const {
    std::istringstream lines(screen());
    for (std::string line; std::getline(lines, line);) {
      if (line.find(part) != std::string::npos) {
        const std::size_t first = line.find_first_not_of(' ');
        return line.substr(first, line.find_last_not_of(' ') - first + 1);
      }
    }
    return {};
  }

  // The readout on screen, as seconds, if one shows.
  std::optional<int> readout() const {
    const std::string text = screen();
    std::smatch match;
    if (!std::regex_search(text, match, kReadout)) {
      return std::nullopt;
    }
    return std::stoi(match[1]) * 3600 + std::stoi(match[2]) * 60 + std::stoi(match[3]);
  }

  bool readoutAdvancesFrom(int from) {
    return eventually([&] {
      const auto now = readout();
      return now && *now > from;
    });
  }

  // The extension's pid from the last start the host logged.
  std::optional<pid_t> extensionPid() const {
    const std::string log = readFile(hostLog());
    const std::regex started(R"(started the extension \(pid (\d+)\))");
    std::optional<pid_t> pid;
    for (auto it = std::sregex_iterator(log.begin(), log.end(), started);
         it != std::sregex_iterator(); ++it) {
      pid = std::stoi((*it)[1]);
    }
    return pid;
  }

  fs::path root_;
  std::string term_ = "xterm-256color";
};

TEST_F(LiveTerminal, FollowsTheSnapshotSurvivesAKilledExtensionAndOpensLinks) {
  writeSnapshot("running", "Deep Work", 100);
  startHost();

  // It ticks.
  ASSERT_TRUE(eventually([&] { return screen().find("Deep Work") != std::string::npos; }))
      << screen() << readFile(hostLog());
  ASSERT_TRUE(eventually([&] { return readout() && *readout() >= 100; })) << screen();
  const int first = *readout();
  ASSERT_TRUE(readoutAdvancesFrom(first)) << screen();
  // The terminal measures cells: no drawing library is loaded for it.
  const std::string pane = tmux({"display-message", "-p", "-t", "widget", "#{pane_pid}"}).out;
  ASSERT_FALSE(pane.empty());
  EXPECT_EQ(std::set<std::string>{}, drawingLibrariesMapped(std::stoi(pane)));

  // A new snapshot shows up without waiting for the reload date.
  writeSnapshot("paused", "Paused Work", 3661);
  ASSERT_TRUE(eventually([&] {
    const std::string text = screen();
    return text.find("Paused Work") != std::string::npos
           && text.find("01:01:01") != std::string::npos;
  })) << screen();

  // Running again; then the extension is killed and the readout goes on.
  writeSnapshot("running", "Again", 200);
  ASSERT_TRUE(eventually([&] { return screen().find("Again") != std::string::npos; })) << screen();
  const auto victim = extensionPid();
  ASSERT_TRUE(victim.has_value()) << readFile(hostLog());
  ASSERT_EQ(0, ::kill(*victim, SIGKILL));
  ASSERT_TRUE(eventually([&] { return extensionPid() != victim; })) << readFile(hostLog());
  const int beforeRestart = readout().value_or(0);
  ASSERT_TRUE(readoutAdvancesFrom(beforeRestart)) << screen();
  EXPECT_NE(std::string::npos, screen().find("Again"));

  // t presses the toggle button: the desktop's handler receives its URL.
  tmux({"send-keys", "-t", "widget", "t"});
  ASSERT_TRUE(eventually([&] { return readFile(opened()) == "velto://toggle\n"; }))
      << readFile(opened()) << readFile(hostLog());

  // q ends the host, and with it the extension.
  const auto last = extensionPid();
  tmux({"send-keys", "-t", "widget", "q"});
  EXPECT_TRUE(eventually([&] { return tmux({"has-session", "-t", "widget"}).status != 0; }));
  EXPECT_TRUE(eventually([&] { return last && ::kill(*last, 0) != 0; }));
}

TEST_F(LiveTerminal, NamesOfDisputedWidthLeaveNoStaleCells) {
  writeSnapshot("paused", "ABCDEFGHIJKLMNOPQRS", 100);
  startHost();
  ASSERT_TRUE(eventually([&] { return screen().find("ABCDEFGHIJ") != std::string::npos; }))
      << screen() << readFile(hostLog());
  const struct {
    std::string json;  // the name as the snapshot's JSON spells it
    std::string shown;
  } names[] = {
      {R"(\u2028\u2029\ufffe\uffffZ)", "\uFFFD\uFFFDZ"},
      {R"(\ud83d\udc69\u200d\ud83d\udc69\u200d\ud83d\udc67\u200d\ud83d\udc66Z)",
       "\U0001F469\U0001F469\U0001F467\U0001F466Z"},
  };
  for (const auto& name : names) {
    writeSnapshot("paused", "ABCDEFGHIJKLMNOPQRS", 100);
    ASSERT_TRUE(eventually([&] { return screen().find("ABCDEFGHIJ") != std::string::npos; }))
        << screen();
    writeSnapshot("paused", name.json, 100);
    ASSERT_TRUE(eventually([&] { return rowWith("Z").ends_with("Z"); })) << screen();
    EXPECT_EQ(name.shown, rowWith("Z")) << screen();
    EXPECT_TRUE(equalsFullRepaint()) << name.json;
  }
}

TEST_F(LiveTerminal, ADumbTerminalGetsPlainLinesAndQStillQuits) {
  term_ = "dumb";
  writeSnapshot("running", "Plain Work", 100);
  const fs::path output = root_ / "output";
  // No appearance given, so nothing keeps the host from asking the terminal its colour.
  startHost("", " >" + shellQuoted(output.string()));
  // The placeholder may come first; then the timer, a line each second.
  const auto timerLines = [&output] {
    std::istringstream lines(readFile(output));
    int count = 0;
    for (std::string line; std::getline(lines, line);) {
      count += line.find("Plain Work | ") != std::string::npos && std::regex_search(line, kReadout);
    }
    return count;
  };
  ASSERT_TRUE(eventually([&] { return timerLines() >= 2; }))
      << readFile(output) << readFile(hostLog());
  tmux({"send-keys", "-t", "widget", "q"});
  EXPECT_TRUE(eventually([&] { return tmux({"has-session", "-t", "widget"}).status != 0; }));
  const std::string text = readFile(output);
  EXPECT_EQ(std::string::npos, text.find('\x1b')) << text;
  std::istringstream lines(text);
  std::string previous;
  for (std::string line; std::getline(lines, line);) {
    EXPECT_NE(previous, line);  // a line only for a change
    previous = line;
  }
}

}  // namespace
