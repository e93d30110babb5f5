// Every program decides the defaults folder alike, whatever the environment
// leaves out: velto-timer writes the snapshot, velto-defaults names the file,
// the host watches the folder and the extension (run by the host) reads it.
// Environments without an absolute XDG_CONFIG_HOME or HOME fall back to the
// password database's home; a private mount namespace lays a scratch folder
// over it, so the user's own settings are never touched.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include "tests/support/polling.hpp"
#include "tests/support/program_run.hpp"

namespace {

namespace fs = std::filesystem;
using velto::test_support::ProgramRun;
using velto::test_support::readFile;
using velto::test_support::runProgram;
using velto::test_support::shellQuoted;

// Runs every program once under `environment` (and nothing else), in the
// scratch folder as working directory: velto-timer starts Alpha, the bar host
// comes up showing it, velto-timer starts Delta and the bar follows; bar.out,
// bar.err and path (what velto-defaults names) are left in `scratch`.
constexpr const char* kScenario = R"(
cd "$SCRATCH" || exit 90
E="env -i $ENVIRONMENT"
waitfor() { n=0; until tail -n 1 bar.out | grep -q "$1"; do
  n=$((n + 1)); [ $n -gt 1500 ] && return 1; sleep 0.02; done; }
$E "$DEFAULTS" path group.app.velto > path || exit 91
$E "$TIMER" start Alpha || exit 92
$E "$HOST" bar --verbose --extension "$EXTENSION" > bar.out 2> bar.err &
host=$!
waitfor Alpha || { kill $host; exit 93; }
$E "$TIMER" start Delta || { kill $host; exit 94; }
waitfor Delta || { kill $host; exit 95; }
kill $host; wait $host
exit 0
)";

class DefaultsFolderAgreement : public ::testing::Test {
 protected:
  DefaultsFolderAgreement() {
    char folder[] = "/tmp/velto-agree-e2e-XXXXXX";
    scratch_ = ::mkdtemp(folder);
    fs::create_directories(scratch_ / "fakehome");
    fs::create_directories(scratch_ / "home");
    fs::permissions(scratch_, fs::perms::all);
  }
  ~DefaultsFolderAgreement() override { fs::remove_all(scratch_); }

  // The scenario under `environment`, with a scratch folder laid over the
  // password database's home for the length of it.
  ProgramRun scenario(const std::string& environment, const fs::path& passwordHome) const {
    const std::string script = "mount --bind " + shellQuoted((scratch_ / "fakehome").string()) + " "
                               + shellQuoted(passwordHome.string()) + " || exit 89\n" + kScenario;
    return runProgram(
        "/usr/bin/env",
        {"SCRATCH=" + scratch_.string(), "ENVIRONMENT=" + environment,
         std::string("DEFAULTS=") + VELTO_DEFAULTS_TOOL, std::string("TIMER=") + VELTO_TIMER_TOOL,
         std::string("HOST=") + VELTO_WIDGET_HOST,
         std::string("EXTENSION=") + VELTO_WIDGET_EXTENSION, "/usr/bin/unshare", "--mount",
         "--propagation", "private", "/bin/sh", "-c", script});
  }

  fs::path scratch_;
};

TEST_F(DefaultsFolderAgreement, EveryProgramUsesTheSameFolder) {
  const passwd* user = ::getpwuid(::getuid());
  if (::geteuid() != 0 || user == nullptr || user->pw_dir == nullptr || user->pw_dir[0] != '/'
      || !fs::is_directory(user->pw_dir)) {
    GTEST_SKIP() << "needs root, to lay a scratch folder over the home folder";
  }
  const fs::path passwordHome = user->pw_dir;
  struct Case {
    const char* name;
    std::string environment;
    fs::path folder;  // where the snapshot must land, as the programs see it
    fs::path stored;  // the same folder, as this test sees it
  };
  const fs::path viaPasswordHome = passwordHome / ".config/velto/defaults";
  const fs::path storedUnderFake = scratch_ / "fakehome/.config/velto/defaults";
  const std::vector<Case> cases = {
      {"empty environment", "", viaPasswordHome, storedUnderFake},
      {"relative HOME", "HOME=home", viaPasswordHome, storedUnderFake},
      {"relative XDG_CONFIG_HOME, relative HOME", "XDG_CONFIG_HOME=cfg HOME=home", viaPasswordHome,
       storedUnderFake},
      {"relative XDG_CONFIG_HOME, absolute HOME",
       "XDG_CONFIG_HOME=cfg HOME=" + (scratch_ / "home").string(),
       scratch_ / "home/.config/velto/defaults", scratch_ / "home/.config/velto/defaults"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(scratch_ / "fakehome/.config");
    fs::remove_all(scratch_ / "home/.config");
    const ProgramRun run = scenario(c.environment, passwordHome);
    const std::string log = readFile(scratch_ / "bar.err");
    EXPECT_EQ(0, run.status) << run.err << readFile(scratch_ / "bar.out") << log;
    EXPECT_EQ((c.folder / "group.app.velto.plist").string() + "\n", readFile(scratch_ / "path"));
    EXPECT_TRUE(fs::exists(c.stored / "group.app.velto.plist"));
    EXPECT_NE(std::string::npos, log.find("following the defaults folder " + c.folder.string()))
        << log;
    // Delta came through the watch, not a later scheduled reload.
    EXPECT_NE(std::string::npos, log.find("the defaults changed")) << log;
    // Nothing landed in a folder relative to the working directory.
    EXPECT_FALSE(fs::exists(scratch_ / "cfg"));
    EXPECT_FALSE(fs::exists(scratch_ / ".config"));
  }
}

// A user the password database does not know, with no usable HOME: there is no
// folder, and every program says so in one line and ends with 78.
TEST_F(DefaultsFolderAgreement, NoFolderEndsEveryProgramWithConfigError) {
  constexpr uid_t kStranger = 64'999;
  if (::geteuid() != 0 || ::getpwuid(kStranger) != nullptr || !fs::exists("/usr/bin/setpriv")) {
    GTEST_SKIP() << "needs root and setpriv, to run as a user without a home";
  }
  const std::vector<std::vector<std::string>> programs = {
      {VELTO_TIMER_TOOL, "start", "Alpha"},
      {VELTO_DEFAULTS_TOOL, "path", "group.app.velto"},
      {VELTO_WIDGET_HOST, "bar", "--extension", VELTO_WIDGET_EXTENSION},
  };
  for (const char* environment : {"", "HOME=home", "XDG_CONFIG_HOME=cfg"}) {
    for (const auto& program : programs) {
      SCOPED_TRACE(program.front() + " with '" + environment + "'");
      std::vector<std::string> words{"--reuid=" + std::to_string(kStranger),
                                     "--regid=" + std::to_string(kStranger), "--clear-groups",
                                     "/usr/bin/env", "-i"};
      if (environment[0] != '\0') {
        words.emplace_back(environment);
      }
      words.insert(words.end(), program.begin(), program.end());
      const ProgramRun run = runProgram("/usr/bin/setpriv", words);
      EXPECT_EQ(78, run.status) << run.out << run.err;
      EXPECT_TRUE(run.out.empty()) << run.out;
      EXPECT_EQ(1, std::count(run.err.begin(), run.err.end(), '\n')) << run.err;
      EXPECT_NE(std::string::npos, run.err.find("no defaults folder")) << run.err;
    }
  }
}

}  // namespace
