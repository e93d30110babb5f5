#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include <glib.h>
#include <sys/types.h>

#include "host/live/glib_source.hpp"
#include "platform/foundation/expected.hpp"
#include "platform/foundation/unique_fd.hpp"

namespace velto::host::live {

/// What a running child tells its owner, always on the owner's main context.
struct ChildEvents {
  /// Bytes the child wrote on its stdout, in order, in chunks of any size. The
  /// owner may destroy the ChildProcess from `exited` only.
  std::function<void(std::string_view bytes)> output;
  /// The child's stdout closed (it ended, or closed it early).
  std::function<void()> outputClosed;
  /// The child ended and was reaped; `waitStatus` as waitpid gives it.
  std::function<void(int waitStatus)> exited;
};

/// Why a child could not be started.
struct SpawnFailure {
  /// One line naming the program and the cause.
  std::string reason;
  /// The program itself cannot run (missing, not executable, not a program), so
  /// trying again cannot help; otherwise the failure may pass (no pipes left).
  bool cannotRun = false;
};

/// Whether `error` from starting a program says the program itself cannot run.
bool programCannotRun(int error);

/// A child program in its own process group, talking over non-blocking pipes on
/// stdin and stdout that a GLib main context watches; its stderr is the host's.
/// Nothing blocks while it runs. Destroying it ends the whole group and reaps
/// the child, so no zombie and no orphaned grandchild stays behind.
class ChildProcess {
 public:
  /// Starts `executable` directly (no shell, no arguments).
  static platform::foundation::Expected<std::unique_ptr<ChildProcess>, SpawnFailure> spawn(
      GMainContext* context, const std::filesystem::path& executable, ChildEvents events);

  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  /// Closes stdin so a well-behaved child ends by itself; a child still running
  /// after a short grace is killed with its group.
  ~ChildProcess();

  /// Queues `bytes` for the child's stdin. False when stdin is closed or the
  /// child has left more than a bounded amount unread.
  bool send(std::string_view bytes);

  /// Closes stdin, dropping what is still queued, so a well-behaved child ends
  /// by itself; `exited` follows from the main loop.
  void closeInput();

  /// Kills the whole process group now; `exited` follows from the main loop.
  void kill();

  pid_t pid() const { return pid_; }
  bool running() const { return !reaped_; }
  /// Bytes queued for stdin that the child has not taken yet.
  std::size_t unsent() const { return outgoing_.size(); }

 private:
  ChildProcess(GMainContext* context, pid_t pid, platform::foundation::UniqueFd input,
               platform::foundation::UniqueFd output, ChildEvents events);
  enum class ReadOutcome : unsigned char { bytes, nothing, closed };
  ReadOutcome readOnce();
  static gboolean readable(gint fd, GIOCondition condition, gpointer self);
  static gboolean writable(gint fd, GIOCondition condition, gpointer self);
  static void reaped(GPid pid, gint status, gpointer self);
  void flush();

  GMainContext* context_;
  pid_t pid_;
  platform::foundation::UniqueFd input_;
  platform::foundation::UniqueFd output_;
  ChildEvents events_;
  std::string outgoing_;
  AttachedSource readWatch_;
  AttachedSource writeWatch_;
  AttachedSource childWatch_;
  bool reaped_ = false;
};

/// Says how a child ended, from its wait status: "exited with status 3".
std::string describeWaitStatus(int waitStatus);

/// Reads at most this many bytes per wake-up, so a flooding child cannot keep
/// the loop from its timers.
inline constexpr std::size_t kChildReadChunk = 64 * 1024;
/// A child that leaves more than this unread on its stdin is not reading.
inline constexpr std::size_t kChildUnsentLimit = 4 * 1024 * 1024;

}  // namespace velto::host::live
