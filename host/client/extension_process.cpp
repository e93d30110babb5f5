#include "host/client/extension_process.hpp"

#include <array>
#include <cerrno>
#include <cstring>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace velto::host {

using platform::foundation::Expected;
using platform::foundation::Unexpected;

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
  if (this != &other) {
    reset();
    fd_ = other.release();
  }
  return *this;
}

void UniqueFd::reset() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

namespace {

struct Pipe {
  UniqueFd read;
  UniqueFd write;
};

std::optional<Pipe> makePipe() {
  std::array<int, 2> fds{};
  if (::pipe2(fds.data(), O_CLOEXEC) != 0) {
    return std::nullopt;
  }
  return Pipe{UniqueFd(fds[0]), UniqueFd(fds[1])};
}

std::string describeStatus(int status) {
  if (WIFEXITED(status)) {
    return "exited with status " + std::to_string(WEXITSTATUS(status));
  }
  if (WIFSIGNALED(status)) {
    const char* name = ::sigdescr_np(WTERMSIG(status));
    return std::string("was killed by signal ") + std::to_string(WTERMSIG(status))
           + (name ? std::string(" (") + name + ")" : std::string());
  }
  return "ended";
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

}  // namespace

Expected<ExtensionProcess, HostError> ExtensionProcess::launch(
    const std::filesystem::path& executable) {
  const std::string path = executable.string();
  if (::access(path.c_str(), X_OK) != 0) {
    return Unexpected(HostError{"cannot run extension '" + path + "': " + std::strerror(errno)});
  }
  auto toChild = makePipe();
  auto fromChild = makePipe();
  if (!toChild || !fromChild) {
    return Unexpected(HostError{std::string("cannot make pipes: ") + std::strerror(errno)});
  }

  SpawnSetup setup;
  posix_spawn_file_actions_adddup2(&setup.actions, toChild->read.get(), STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&setup.actions, fromChild->write.get(), STDOUT_FILENO);
  // The child starts with default signal handling even if the host ignores SIGPIPE.
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigdefault(&setup.attributes, &defaults);
  posix_spawnattr_setflags(&setup.attributes, POSIX_SPAWN_SETSIGDEF);

  std::vector<char> argv0(path.begin(), path.end());
  argv0.push_back('\0');
  std::array<char*, 2> argv{argv0.data(), nullptr};
  pid_t pid = -1;
  const int error =
      ::posix_spawn(&pid, path.c_str(), &setup.actions, &setup.attributes, argv.data(), environ);
  if (error != 0) {
    return Unexpected(HostError{"cannot start extension '" + path + "': " + std::strerror(error)});
  }
  return ExtensionProcess(pid, std::move(toChild->write), std::move(fromChild->read));
}

ExtensionProcess::ExtensionProcess(ExtensionProcess&& other) noexcept
    : pid_(std::exchange(other.pid_, -1)),
      requests_(std::move(other.requests_)),
      replies_(std::move(other.replies_)),
      waitStatus_(other.waitStatus_) {}

ExtensionProcess::~ExtensionProcess() {
  end();
}

std::optional<std::string> ExtensionProcess::exitDescription() {
  if (!waitStatus_ && pid_ > 0) {
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      waitStatus_ = status;
    }
  }
  if (!waitStatus_) {
    return std::nullopt;
  }
  return describeStatus(*waitStatus_);
}

void ExtensionProcess::end(std::chrono::milliseconds grace) {
  if (pid_ <= 0) {
    return;
  }
  requests_.reset();
  const auto deadline = std::chrono::steady_clock::now() + grace;
  while (!exitDescription() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  if (!waitStatus_) {
    ::kill(pid_, SIGKILL);
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    waitStatus_ = status;
  }
  replies_.reset();
  pid_ = -1;
}

}  // namespace velto::host
