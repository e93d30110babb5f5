#pragma once

// For the tests: a later launch in a process of its own, run while this
// process's default main context goes on serving the session.

#include <string>
#include <vector>

#include <gio/gio.h>

#include "tests/support/run_loop.hpp"

namespace velto::host::session::testing {

/// The probe, claiming the session in a process of its own.
class Probe {
 public:
  explicit Probe(const std::vector<std::string>& arguments) {
    std::vector<const char*> argv{VELTO_SESSION_CLAIM_PROBE};
    for (const std::string& argument : arguments) {
      argv.push_back(argument.c_str());
    }
    argv.push_back(nullptr);
    process_ = g_subprocess_newv(argv.data(), G_SUBPROCESS_FLAGS_STDOUT_PIPE, nullptr);
    if (process_ == nullptr) {
      ended_ = true;
      return;
    }
    g_subprocess_communicate_utf8_async(process_, nullptr, nullptr, &Probe::communicated, this);
  }
  ~Probe() {
    if (!ended_) {
      g_subprocess_force_exit(process_);
      live::testing::runUntil(g_main_context_default(), [this] { return ended_; });
    }
    if (process_ != nullptr) {
      g_object_unref(process_);
    }
  }
  Probe(const Probe&) = delete;
  Probe& operator=(const Probe&) = delete;

  bool ended() const { return ended_; }
  /// What it printed ("told session-bus\n", …), once ended.
  const std::string& out() const { return out_; }

 private:
  static void communicated(GObject* source, GAsyncResult* result, gpointer self) {
    auto* probe = static_cast<Probe*>(self);
    char* out = nullptr;
    if (g_subprocess_communicate_utf8_finish(G_SUBPROCESS(source), result, &out, nullptr, nullptr)
        && out != nullptr) {
      probe->out_ = out;
    }
    g_free(out);
    probe->ended_ = true;
  }

  GSubprocess* process_ = nullptr;
  bool ended_ = false;
  std::string out_;
};

/// What the probe printed, or "" when it did not end; this process's default
/// main context runs meanwhile.
inline std::string runProbe(const std::vector<std::string>& arguments) {
  const Probe probe(arguments);
  live::testing::runUntil(g_main_context_default(), [&] { return probe.ended(); });
  return probe.ended() ? probe.out() : "";
}

/// Sets or unsets one environment variable for a scope.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const char* value) : name_(name) {
    if (const char* old = g_getenv(name)) {
      old_ = old;
      hadOld_ = true;
    }
    if (value != nullptr) {
      g_setenv(name, value, TRUE);
    } else {
      g_unsetenv(name);
    }
  }
  ~ScopedEnvironment() {
    if (hadOld_) {
      g_setenv(name_, old_.c_str(), TRUE);
    } else {
      g_unsetenv(name_);
    }
  }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  const char* name_;
  std::string old_;
  bool hadOld_ = false;
};

}  // namespace velto::host::session::testing
