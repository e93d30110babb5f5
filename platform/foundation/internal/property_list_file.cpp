#include "platform/foundation/internal/property_list_file.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/foundation/atomic_file_replacement.hpp"
#include "platform/foundation/internal/xml_duplicate_keys.hpp"
#include "platform/foundation/user_defaults.hpp"

namespace platform::foundation::internal {

namespace {

using Code = DefaultsError::Code;

Unexpected<DefaultsError> failure(Code code, std::string message) {
  return Unexpected(DefaultsError{code, std::move(message)});
}

std::string quoted(const std::filesystem::path& path) {
  return quotedForMessage(path.native());
}

std::string systemError(int error) {
  return std::strerror(error);
}

// Whether some dictionary in the tree holds one key twice. libplist keeps every
// entry it parses, so a hand-made file can hold two; the walk is bounded by the
// node cap of binary lists and by the size cap of XML ones.
bool hasDuplicateKey(plist_t root) {
  std::vector<plist_t> pending{root};
  while (!pending.empty()) {
    const plist_t node = pending.back();
    pending.pop_back();
    const plist_type type = plist_get_node_type(node);
    if (type == PLIST_DICT) {
      std::vector<std::string> keys;
      PlistDictIterator iterator(node);
      MallocString key;
      for (plist_t value = iterator.next(key); value != nullptr; value = iterator.next(key)) {
        keys.emplace_back(key ? key.get() : "");
        pending.push_back(value);
      }
      std::sort(keys.begin(), keys.end());
      if (std::adjacent_find(keys.begin(), keys.end()) != keys.end()) {
        return true;
      }
    } else if (type == PLIST_ARRAY) {
      // An iterator, since plist_array_get_item walks the list from its start.
      plist_array_iter rawIterator = nullptr;
      plist_array_new_iter(node, &rawIterator);
      const std::unique_ptr<void, void (*)(void*)> iterator(rawIterator, &std::free);
      plist_t item = nullptr;
      for (plist_array_next_item(node, rawIterator, &item); item != nullptr;
           plist_array_next_item(node, rawIterator, &item)) {
        pending.push_back(item);
      }
    }
  }
  return false;
}

}  // namespace

Expected<PlistNode, DefaultsError> parseDomainContents(const std::string& contents) {
  if (contents.size() > kMaxDomainFileSize) {
    return failure(Code::tooLarge, "larger than " + std::to_string(kMaxDomainFileSize) + " bytes");
  }
  // Anything that starts like a binary list is measured, whichever version it claims,
  // so that no input reaches libplist's binary parser unmeasured.
  if (contents.starts_with("bplist")) {
    const auto bytes = std::as_bytes(std::span(contents));
    const std::span unsignedBytes(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                  bytes.size());
    if (auto shape = measureBinaryPlist(unsignedBytes, kBinaryDomainLimits); !shape) {
      return failure(Code::malformed, shape.error());
    }
  }
  // std::string keeps a NUL after its bytes, so a parser that reads number text
  // up to a terminator stops inside the buffer.
  plist_t raw = nullptr;
  plist_from_memory(contents.data(), static_cast<std::uint32_t>(contents.size()), &raw);
  PlistNode root(raw);
  if (!root) {
    return failure(Code::malformed, "not a property list");
  }
  if (plist_get_node_type(root.get()) != PLIST_DICT) {
    return failure(Code::malformed, "its root is not a dictionary");
  }
  if (hasDuplicateKey(root.get())
      || (!contents.starts_with("bplist") && xmlPlistHasDuplicateKey(contents))) {
    return failure(Code::malformed, "a dictionary holds the same key twice");
  }
  return root;
}

namespace {

Unexpected<DefaultsError> tooLarge(const std::filesystem::path& path) {
  return failure(DefaultsError::Code::tooLarge, "cannot read " + quoted(path) + ": larger than "
                                                    + std::to_string(kMaxDomainFileSize)
                                                    + " bytes");
}

}  // namespace

Expected<std::string, DefaultsError> PropertyListFile::readContents() const {
  // Non-blocking, so that a FIFO or a device at the path cannot stall the open or the read.
  const UniqueFd fd(::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (!fd) {
    const int error = errno;
    const Code code = error == ENOENT || error == ENOTDIR ? Code::noSuchDomain : Code::unreadable;
    return failure(code, "cannot read " + quoted(path_) + ": " + systemError(error));
  }
  struct stat status {};
  if (::fstat(fd.get(), &status) != 0) {
    const int error = errno;
    return failure(Code::unreadable, "cannot read " + quoted(path_) + ": " + systemError(error));
  }
  if (!S_ISREG(status.st_mode)) {
    return failure(Code::unreadable, "cannot read " + quoted(path_) + ": not a regular file");
  }
  // The buffer holds the size fstat saw and one byte more, so one read normally
  // ends it: a short read of a regular file is its end. Only a file that grew
  // since fstat fills the buffer, and then reading goes on to one byte past the
  // cap, which tells an oversized file apart.
  if (status.st_size > static_cast<off_t>(kMaxDomainFileSize)) {
    return tooLarge(path_);
  }
  std::string contents(static_cast<std::size_t>(status.st_size) + 1, '\0');
  std::size_t total = 0;
  for (;;) {
    const ssize_t count = ::read(fd.get(), contents.data() + total, contents.size() - total);
    if (count < 0) {
      const int error = errno;
      if (error == EINTR) {
        continue;
      }
      return failure(Code::unreadable, "cannot read " + quoted(path_) + ": " + systemError(error));
    }
    total += static_cast<std::size_t>(count);
    if (count == 0 || total < contents.size()) {
      break;
    }
    if (contents.size() > kMaxDomainFileSize) {
      return tooLarge(path_);
    }
    contents.resize(kMaxDomainFileSize + 1);
  }
  contents.resize(total);
  return contents;
}

Expected<PlistNode, DefaultsError> PropertyListFile::read() const {
  auto contents = readContents();
  if (!contents) {
    return Unexpected(std::move(contents).error());
  }
  auto root = parseDomainContents(*contents);
  if (!root) {
    return failure(root.error().code, "cannot read " + quoted(path_) + ": " + root.error().message);
  }
  return std::move(*root);
}

Expected<void, DefaultsError> PropertyListFile::replace(std::span<const char> contents) const {
  using Step = ReplacementError::Step;
  const auto written =
      replaceFileAtomically(path_, {contents.data(), contents.size()}, {.lockTemporary = true});
  if (written) {
    return {};
  }
  const ReplacementError& error = written.error();
  const std::string reason = systemError(error.error);
  switch (error.step) {
    case Step::create:
      return failure(Code::cannotCreate,
                     "cannot create a temporary file for " + quoted(path_) + ": " + reason);
    case Step::write:
      return failure(Code::writeFailed, "cannot write " + quoted(error.temporary) + ": " + reason);
    case Step::rename:
      return failure(Code::writeFailed, "cannot replace " + quoted(path_) + ": " + reason);
    case Step::syncFolder:
      break;
  }
  return failure(Code::writeFailed, quoted(path_) + " was replaced, but its folder could not "
                                        "be flushed to disk: " + reason);
}

namespace {

// Polls rather than blocks: flock has no timeout, and a signal to end a blocked
// call would be process-wide state.
Expected<void, DefaultsError> lockBefore(int fd, std::chrono::steady_clock::time_point deadline,
                                         std::chrono::milliseconds wait,
                                         const std::string& lockPath) {
  constexpr std::chrono::milliseconds kLongestPause{50};
  std::chrono::milliseconds pause{1};
  for (;;) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
      return {};
    }
    const int error = errno;
    if (error == EINTR) {
      continue;
    }
    if (error != EWOULDBLOCK) {
      return failure(Code::writeFailed,
                     "cannot lock " + quotedForMessage(lockPath) + ": " + systemError(error));
    }
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) {
      return failure(Code::busy, "another program holds the lock " + quotedForMessage(lockPath)
                                     + "; gave up after " + std::to_string(wait.count())
                                     + " ms, nothing written");
    }
    std::this_thread::sleep_for(
        std::min<std::chrono::steady_clock::duration>(pause, deadline - now));
    pause = std::min(pause * 2, kLongestPause);
  }
}

}  // namespace

Expected<FileLock, DefaultsError> PropertyListFile::lock(std::chrono::milliseconds wait) const {
  const std::string lockPath = path_.native() + ".lock";
  const auto deadline = std::chrono::steady_clock::now() + wait;
  // A holder may remove the lock file (see FileLock::removeFile), so a lock taken
  // on a file that is no longer at the path guards nothing: take it again.
  for (;;) {
    UniqueFd fd(
        ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW, 0600));
    if (!fd) {
      const int error = errno;
      return failure(Code::cannotCreate, "cannot open lock file " + quotedForMessage(lockPath)
                                             + ": " + systemError(error));
    }
    if (auto locked = lockBefore(fd.get(), deadline, wait, lockPath); !locked) {
      return Unexpected(locked.error());
    }
    struct stat held {};
    struct stat current {};
    if (::fstat(fd.get(), &held) == 0 && ::stat(lockPath.c_str(), &current) == 0
        && held.st_dev == current.st_dev && held.st_ino == current.st_ino) {
      return FileLock(std::move(fd), lockPath);
    }
  }
}

void FileLock::removeFile() const {
  ::unlink(path_.c_str());
}

void PropertyListFile::removeStaleTemporaryFiles() const {
  const std::string folder = path_.parent_path().native();
  const UniqueFd folderFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!folderFd) {
    return;
  }
  // fdopendir takes over the duplicate it is given, and closedir closes it.
  UniqueFd listFd(::dup(folderFd.get()));
  const std::unique_ptr<DIR, int (*)(DIR*)> listing(listFd ? ::fdopendir(listFd.get()) : nullptr,
                                                    &::closedir);
  if (!listing) {
    return;
  }
  listFd.release();
  std::vector<std::string> stale;
  while (const dirent* entry = ::readdir(listing.get())) {
    const std::string_view name = entry->d_name;
    if (AtomicFileReplacement::isTemporaryName(name, path_.filename().native(), false)) {
      stale.emplace_back(name);
    }
  }
  for (const std::string& name : stale) {
    const UniqueFd fd(::openat(folderFd.get(), name.c_str(),
                               O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY));
    struct stat status {};
    if (!fd || ::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode)
        || ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
      continue;
    }
    ::unlinkat(folderFd.get(), name.c_str(), 0);
  }
}

Expected<void, DefaultsError> createPrivateDirectories(const std::filesystem::path& directory) {
  struct stat existing {};
  if (::stat(directory.c_str(), &existing) == 0 && S_ISDIR(existing.st_mode)) {
    return {};
  }
  std::filesystem::path prefix;
  for (const auto& part : directory) {
    prefix /= part;
    if (::mkdir(prefix.c_str(), 0700) == 0 || errno == EEXIST) {
      continue;
    }
    const int error = errno;
    struct stat status {};
    // A folder above ours may refuse mkdir (EACCES, EROFS) and still exist.
    if (::stat(prefix.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) {
      continue;
    }
    return failure(Code::cannotCreate,
                   "cannot create " + quoted(prefix) + ": " + systemError(error));
  }
  return {};
}

Expected<PropertyListFile, DefaultsError> domainFile(std::string_view domain, Code noFolder) {
  if (!isValidDefaultsDomain(domain)) {
    return failure(Code::invalidArgument, "invalid domain name " + quotedForMessage(domain));
  }
  std::filesystem::path path = defaultsFilePath(domain);
  if (path.empty()) {
    return failure(noFolder,
                   "no defaults folder: neither XDG_CONFIG_HOME nor HOME is an absolute path, "
                   "and the user has no home folder");
  }
  return PropertyListFile(std::move(path));
}

plist_t dictionaryItem(plist_t dictionary, std::string_view key) {
  if (key.find('\0') != std::string_view::npos) {
    return nullptr;
  }
  return plist_dict_get_item(dictionary, std::string(key).c_str());
}

}  // namespace platform::foundation::internal
