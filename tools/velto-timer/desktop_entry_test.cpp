#include "tools/velto-timer/desktop_entry.hpp"

#include <memory>
#include <string>
#include <vector>

#include <gio/gio.h>
#include <gtest/gtest.h>

namespace velto::timer {
namespace {

// The argument vector a desktop launches for `url`, read from `entry` as GLib
// reads desktop entries: the key file's unescaping, %u and %% expanded, then
// the shell-like word splitting of the Exec key.
std::vector<std::string> launchedArguments(const std::string& entry, const std::string& url) {
  const std::unique_ptr<GKeyFile, void (*)(GKeyFile*)> file(g_key_file_new(), &g_key_file_free);
  EXPECT_TRUE(
      g_key_file_load_from_data(file.get(), entry.data(), entry.size(), G_KEY_FILE_NONE, nullptr));
  const std::unique_ptr<gchar, void (*)(gpointer)> exec(
      g_key_file_get_string(file.get(), "Desktop Entry", "Exec", nullptr), &g_free);
  EXPECT_NE(nullptr, exec);
  if (!exec) {
    return {};
  }
  std::string expanded;
  for (const char* c = exec.get(); *c != '\0'; ++c) {
    if (c[0] == '%' && c[1] == 'u') {
      expanded += url;
      ++c;
    } else if (c[0] == '%' && c[1] == '%') {
      expanded += '%';
      ++c;
    } else {
      expanded += *c;
    }
  }
  gchar** argv = nullptr;
  EXPECT_TRUE(g_shell_parse_argv(expanded.c_str(), nullptr, &argv, nullptr)) << expanded;
  std::vector<std::string> arguments;
  for (gchar** word = argv; word != nullptr && *word != nullptr; ++word) {
    arguments.emplace_back(*word);
  }
  g_strfreev(argv);
  return arguments;
}

TEST(DesktopEntryText, LaunchesTheProgramAtAnyPathWithTheLink) {
  for (const std::string program : {
           "/usr/bin/velto-timer",
           "/home/a b/build/bin/velto-timer",
           "/tmp/it's \"quoted\"/$HOME/`id`/back\\slash/velto-timer",
           "/tmp/caf\xc3\xa9;&|<>*?#()~/velto-timer",
       }) {
    const auto entry = desktopEntryText(program);
    ASSERT_TRUE(entry.has_value()) << program;
    EXPECT_EQ((std::vector<std::string>{program, "open", "velto://toggle"}),
              launchedArguments(*entry, "velto://toggle"))
        << *entry;
    EXPECT_NE(std::string::npos, entry->find("\nMimeType=x-scheme-handler/velto;\n"));
    EXPECT_NE(std::string::npos, entry->find("\nNoDisplay=true\n"));
  }
}

TEST(DesktopEntryText, RefusesPathsThatNoDesktopEntryCanRun) {
  for (const std::string program : {
           "/tmp/a\nb/velto-timer",
           "/tmp/a\x7f"
           "b/velto-timer",
           "/tmp/bad\xff"
           "dir/velto-timer",
           "/tmp/caf\xc3"
           "/velto-timer",
           "/tmp/100%/velto-timer",
       }) {
    const auto entry = desktopEntryText(program);
    ASSERT_FALSE(entry.has_value()) << program;
    EXPECT_EQ(73, entry.error().status);
    EXPECT_EQ(std::string::npos, entry.error().message.find_first_of("\n\x7f\xff\xc3"))
        << entry.error().message;
  }
}

}  // namespace
}  // namespace velto::timer
