// Each program links only the libraries its commands draw with: the host that
// runs `terminal` and `bar` none that draw pixels, the one that draws files no
// GTK, and each command reaches its program from velto-widget-host.

#include <set>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/drawing_libraries.hpp"
#include "tests/support/program_run.hpp"

namespace {

using velto::test_support::drawingLibrariesIn;
using velto::test_support::runProgram;

std::set<std::string> drawingLibrariesLoadedBy(const char* program) {
  const auto run = runProgram("/usr/bin/ldd", {program});
  EXPECT_EQ(0, run.status) << run.err;
  return drawingLibrariesIn(run.out);
}

bool anyStartsWith(const std::set<std::string>& files, const std::string& prefix) {
  for (const auto& file : files) {
    if (file.starts_with(prefix)) {
      return true;
    }
  }
  return false;
}

TEST(ProgramLibraries, EachProgramLoadsOnlyWhatItDrawsWith) {
  EXPECT_EQ(std::set<std::string>{}, drawingLibrariesLoadedBy(VELTO_WIDGET_HOST));

  const auto render = drawingLibrariesLoadedBy(VELTO_WIDGET_RENDER);
  EXPECT_TRUE(anyStartsWith(render, "libcairo"));
  for (const char* gtk : {"libgtk-", "libgdk-", "libatk-"}) {
    EXPECT_FALSE(anyStartsWith(render, gtk)) << gtk;
  }

  EXPECT_TRUE(anyStartsWith(drawingLibrariesLoadedBy(VELTO_WIDGET_DESKTOP), "libgtk-3"));
}

TEST(ProgramLibraries, TheHostHandsDrawingCommandsToTheirPrograms) {
  // Usage errors come from the program that runs the command, through the host.
  const auto render = runProgram(VELTO_WIDGET_HOST, {"render", "--out", "x.bmp"});
  EXPECT_EQ(64, render.status);
  EXPECT_NE(std::string::npos, render.err.find("cannot tell the format from 'x.bmp'"))
      << render.err;

  const auto desktopOnly = runProgram(VELTO_WIDGET_DESKTOP, {"render", "--out", "x.png"});
  EXPECT_EQ(64, desktopOnly.status);
  EXPECT_NE(std::string::npos, desktopOnly.err.find("run velto-widget-host render"))
      << desktopOnly.err;
}

}  // namespace
