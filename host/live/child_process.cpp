#include "host/live/child_process.hpp"

#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <glib-unix.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/foundation/write_all.hpp"

extern char** environ;

namespace velto::host::live {

using platform::foundation::Expected;
using platform::foundation::Unexpected;
using platform::foundation::UniqueFd;

namespace {

// How long a child whose stdin closed may take to end on its own.
constexpr auto kGrace = std::chrono::milliseconds(500);
// How many chunks of output left behind by an ended child are still read.
constexpr int kDrainChunks = 16;

struct Pipe {
  UniqueFd read;
  UniqueFd write;
};

Expected<Pipe, std::string> makePipe() {
  std::array<int, 2> fds{};
  if (::pipe2(fds.data(), O_CLOEXEC) != 0) {
    return Unexpected(std::string("cannot make a pipe: ") + std::strerror(errno));
  }
  return Pipe{UniqueFd(fds[0]), UniqueFd(fds[1])};
}

void makeNonBlocking(int fd) {
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
}

// Owns posix_spawn's attribute objects for the length of one launch.
struct SpawnSetup {
  posix_spawn_file_actions_t actions{};
  posix_spawnattr_t attributes{};
  SpawnSetup() {
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
  }
  ~SpawnSetup() {
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;
};

/// Blocks SIGPIPE on this thread for its lifetime and swallows one that its own
/// writes raise, so a child that stopped reading ends a write with EPIPE and
/// never the host, whatever the program does with the signal.
class SigpipeGuard {
 public:
  SigpipeGuard() {
    sigemptyset(&pipe_);
    sigaddset(&pipe_, SIGPIPE);
    sigset_t pending;
    sigpending(&pending);
    wasPending_ = sigismember(&pending, SIGPIPE) == 1;
    pthread_sigmask(SIG_BLOCK, &pipe_, &previous_);
  }
  ~SigpipeGuard() {
    const int savedErrno = errno;
    if (!wasPending_) {
      const timespec now{0, 0};
      while (sigtimedwait(&pipe_, nullptr, &now) < 0 && errno == EINTR) {
      }
    }
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
    errno = savedErrno;
  }
  SigpipeGuard(const SigpipeGuard&) = delete;
  SigpipeGuard& operator=(const SigpipeGuard&) = delete;

 private:
  sigset_t pipe_{};
  sigset_t previous_{};
  bool wasPending_ = false;
};

}  // namespace

std::string describeWaitStatus(int waitStatus) {
  if (WIFEXITED(waitStatus)) {
    return "exited with status " + std::to_string(WEXITSTATUS(waitStatus));
  }
  if (WIFSIGNALED(waitStatus)) {
    const char* name = ::sigabbrev_np(WTERMSIG(waitStatus));
    return "was killed by signal " + std::to_string(WTERMSIG(waitStatus))
           + (name != nullptr ? std::string(" (SIG") + name + ")" : std::string());
  }
  return "ended";
}

bool programCannotRun(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ELOOP:
    case ENAMETOOLONG:
    case EACCES:
    case EPERM:
    case ENOEXEC:
    case EISDIR:
      return true;
    default:
      return false;
  }
}

Expected<std::unique_ptr<ChildProcess>, SpawnFailure> ChildProcess::spawn(
    GMainContext* context, const std::filesystem::path& executable, ChildEvents events) {
  const std::string path = executable.string();
  const auto failure = [&path](std::string_view verb, int error) {
    return Unexpected(SpawnFailure{std::string(verb) + " '" + path + "': " + std::strerror(error),
                                   programCannotRun(error)});
  };
  if (::access(path.c_str(), X_OK) != 0) {
    return failure("cannot run", errno);
  }
  auto toChild = makePipe();
  if (!toChild) {
    return Unexpected(SpawnFailure{toChild.error()});
  }
  auto fromChild = makePipe();
  if (!fromChild) {
    return Unexpected(SpawnFailure{fromChild.error()});
  }

  SpawnSetup setup;
  posix_spawn_file_actions_adddup2(&setup.actions, toChild->read.get(), STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&setup.actions, fromChild->write.get(), STDOUT_FILENO);
  // Its own group, so ending it ends whatever it started; default signal
  // handling and no blocked signals, whatever the host does with its own.
  sigset_t all;
  sigfillset(&all);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigdefault(&setup.attributes, &all);
  posix_spawnattr_setsigmask(&setup.attributes, &none);
  posix_spawnattr_setpgroup(&setup.attributes, 0);
  posix_spawnattr_setflags(&setup.attributes,
                           POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETPGROUP);

  std::vector<char> argv0(path.begin(), path.end());
  argv0.push_back('\0');
  std::array<char*, 2> argv{argv0.data(), nullptr};
  pid_t pid = -1;
  const int error =
      ::posix_spawn(&pid, path.c_str(), &setup.actions, &setup.attributes, argv.data(), environ);
  if (error != 0) {
    return failure("cannot start", error);
  }
  makeNonBlocking(toChild->write.get());
  makeNonBlocking(fromChild->read.get());
  return std::unique_ptr<ChildProcess>(new ChildProcess(
      context, pid, std::move(toChild->write), std::move(fromChild->read), std::move(events)));
}

ChildProcess::ChildProcess(GMainContext* context, pid_t pid, UniqueFd input, UniqueFd output,
                           ChildEvents events)
    : context_(context),
      pid_(pid),
      input_(std::move(input)),
      output_(std::move(output)),
      events_(std::move(events)) {
  GSource* read =
      g_unix_fd_source_new(output_.get(), static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR));
  g_source_set_callback(read, G_SOURCE_FUNC(&ChildProcess::readable), this, nullptr);
  readWatch_ = AttachedSource(read, context_);
  GSource* child = g_child_watch_source_new(pid_);
  g_source_set_callback(child, G_SOURCE_FUNC(&ChildProcess::reaped), this, nullptr);
  childWatch_ = AttachedSource(child, context_);
}

ChildProcess::~ChildProcess() {
  readWatch_.reset();
  writeWatch_.reset();
  childWatch_.reset();
  input_.reset();
  if (reaped_) {
    return;
  }
  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() + kGrace;
  while (::waitpid(pid_, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() >= deadline) {
      ::kill(-pid_, SIGKILL);
      while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
      }
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  // Whatever the child started goes with it.
  ::kill(-pid_, SIGKILL);
}

bool ChildProcess::send(std::string_view bytes) {
  if (!input_ || outgoing_.size() + bytes.size() > kChildUnsentLimit) {
    return false;
  }
  outgoing_.append(bytes);
  flush();
  return static_cast<bool>(input_);
}

void ChildProcess::flush() {
  const SigpipeGuard guard;
  const auto rest = platform::foundation::writeSome(input_.get(), outgoing_);
  if (!rest) {
    // EPIPE and the like: the child is going; its exit tells the rest.
    closeInput();
    return;
  }
  outgoing_.erase(0, outgoing_.size() - rest->size());
  if (outgoing_.empty()) {
    writeWatch_.reset();
  } else if (!writeWatch_) {
    GSource* write =
        g_unix_fd_source_new(input_.get(), static_cast<GIOCondition>(G_IO_OUT | G_IO_ERR));
    g_source_set_callback(write, G_SOURCE_FUNC(&ChildProcess::writable), this, nullptr);
    writeWatch_ = AttachedSource(write, context_);
  }
}

void ChildProcess::closeInput() {
  outgoing_.clear();
  writeWatch_.reset();
  input_.reset();
}

void ChildProcess::kill() {
  if (!reaped_) {
    ::kill(-pid_, SIGKILL);
  }
}

gboolean ChildProcess::readable(gint /*fd*/, GIOCondition /*condition*/, gpointer self) {
  return static_cast<ChildProcess*>(self)->readOnce() == ReadOutcome::closed ? G_SOURCE_REMOVE
                                                                             : G_SOURCE_CONTINUE;
}

ChildProcess::ReadOutcome ChildProcess::readOnce() {
  std::array<char, kChildReadChunk> buffer;
  const ssize_t got = ::read(output_.get(), buffer.data(), buffer.size());
  if (got < 0 && (errno == EAGAIN || errno == EINTR)) {
    return ReadOutcome::nothing;
  }
  if (got <= 0) {
    readWatch_.reset();
    output_.reset();
    if (events_.outputClosed) {
      events_.outputClosed();
    }
    return ReadOutcome::closed;
  }
  // The owner may not destroy this object from `output`, only from `exited`.
  if (events_.output) {
    events_.output(std::string_view(buffer.data(), static_cast<std::size_t>(got)));
  }
  return ReadOutcome::bytes;
}

gboolean ChildProcess::writable(gint /*fd*/, GIOCondition /*condition*/, gpointer self) {
  auto& child = *static_cast<ChildProcess*>(self);
  child.flush();
  return G_SOURCE_CONTINUE;
}

void ChildProcess::reaped(GPid /*pid*/, gint status, gpointer self) {
  auto& child = *static_cast<ChildProcess*>(self);
  child.reaped_ = true;
  child.childWatch_.reset();
  // What it wrote before it ended still counts; a dead writer leaves at most a
  // pipe's worth, and the bound keeps a grandchild that writes on from holding us.
  for (int chunk = 0; chunk < kDrainChunks && child.output_; ++chunk) {
    if (child.readOnce() != ReadOutcome::bytes) {
      break;
    }
  }
  // Grandchildren it left behind end with it.
  ::kill(-child.pid_, SIGKILL);
  if (child.events_.exited) {
    child.events_.exited(status);
  }
}

}  // namespace velto::host::live
