#include "platform/foundation/defaults_writer.hpp"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include "platform/foundation/internal/property_list_file.hpp"
#include "platform/foundation/limits.hpp"
#include "platform/foundation/utf8.hpp"

namespace platform::foundation {

namespace {

using Code = DefaultsError::Code;

Unexpected<DefaultsError> failure(Code code, std::string message) {
  return Unexpected(DefaultsError{code, std::move(message)});
}

enum class WhenMissing : std::uint8_t { startEmpty, fail };

bool isDamaged(const DefaultsError& error) {
  return error.code == Code::malformed || error.code == Code::tooLarge;
}

/// What a change did to the dictionary: whether there is anything to write.
enum class Outcome : std::uint8_t { changed, unchanged };

Expected<void, DefaultsError> checkText(std::string_view text, std::string_view what) {
  if (text.find('\0') != std::string_view::npos) {
    return failure(Code::invalidArgument, std::string(what) + " cannot hold a NUL character");
  }
  if (!isValidUtf8(text)) {
    return failure(Code::invalidText, std::string(what) + " is not valid UTF-8");
  }
  return {};
}

bool pathExists(const std::filesystem::path& path) {
  struct stat status {};
  return ::lstat(path.c_str(), &status) == 0;
}

// A second name for the damaged file, so that the rename that replaces it loses
// nothing; an earlier copy is never overwritten.
Expected<std::filesystem::path, DefaultsError> keepDamagedCopy(const std::filesystem::path& file) {
  constexpr int kMostCopies = 100;
  for (int number = 1; number <= kMostCopies; ++number) {
    std::string copy = file.native() + ".damaged";
    if (number > 1) {
      copy += "." + std::to_string(number);
    }
    if (::link(file.c_str(), copy.c_str()) == 0) {
      return std::filesystem::path(copy);
    }
    if (errno != EEXIST) {
      const int error = errno;
      return failure(Code::cannotCreate,
                     "cannot keep the damaged " + quotedForMessage(file.native()) + " as "
                         + quotedForMessage(copy) + ": " + std::strerror(error));
    }
  }
  return failure(Code::cannotCreate, "cannot keep the damaged " + quotedForMessage(file.native())
                                         + ": " + std::to_string(kMostCopies)
                                         + " damaged copies are already kept beside it");
}

// Steps 2 to 5 of modifyDomain, under the lock.
template <class Change>
Expected<DefaultsUpdate, DefaultsError> changeLocked(const internal::PropertyListFile& file,
                                                     std::string_view domain,
                                                     const std::string& key,
                                                     WhenMissing whenMissing, bool setAsideDamaged,
                                                     Change& change) {
  file.removeStaleTemporaryFiles();
  auto existing = file.read();
  internal::PlistNode root;
  bool damaged = false;
  if (existing) {
    root = std::move(*existing);
  } else if ((existing.error().code == Code::noSuchDomain
              || (setAsideDamaged && isDamaged(existing.error())))
             && whenMissing == WhenMissing::startEmpty) {
    damaged = existing.error().code != Code::noSuchDomain;
    root.reset(plist_new_dict());
  } else {
    return Unexpected(existing.error());
  }
  const Expected<Outcome, DefaultsError> changed = change(root.get(), key);
  if (!changed) {
    return Unexpected(changed.error());
  }
  if (*changed == Outcome::unchanged) {
    return DefaultsUpdate{};
  }

  char* rawBinary = nullptr;
  std::uint32_t length = 0;
  plist_to_bin(root.get(), &rawBinary, &length);
  const internal::PlistBinary binary(rawBinary);
  if (!binary || length == 0) {
    return failure(Code::writeFailed, "cannot encode domain " + quotedForMessage(domain));
  }
  const std::string contents(binary.get(), length);
  if (auto check = internal::parseDomainContents(contents); !check) {
    return failure(Code::tooLarge, "domain " + quotedForMessage(domain)
                                       + " would become unreadable: " + check.error().message);
  }
  DefaultsUpdate update;
  if (damaged) {
    auto copy = keepDamagedCopy(file.path());
    if (!copy) {
      return Unexpected(copy.error());
    }
    update.damagedCopy = std::move(*copy);
  }
  if (auto replaced = file.replace(contents); !replaced) {
    if (update.damagedCopy) {
      ::unlink(update.damagedCopy->c_str());
    }
    return Unexpected(replaced.error());
  }
  return update;
}

// Read, change and write one domain under its lock:
// 1. check the names and create the folders (mode 0700), unless a removal finds
//    no domain to remove from;
// 2. take the lock within the options' wait, remove stale temporary files, then
//    read the file strictly: a missing file is an empty dictionary (or a failure,
//    for a removal), and so is a damaged one that the options set aside; any
//    other failure ends here;
// 3. let `change` edit the dictionary;
// 4. serialise to the binary form and check it against the readers' cap and
//    bounds, so that no write leaves a file that reads as an empty domain;
// 5. keep a damaged file under a second name, then replace the file atomically,
//    still under the lock; when no domain file exists in the end, remove the
//    lock file too, so that nothing is left behind.
template <class Change>
Expected<DefaultsUpdate, DefaultsError> modifyDomain(std::string_view domain, std::string_view key,
                                                     WhenMissing whenMissing,
                                                     const DefaultsWriteOptions& options,
                                                     Change change) {
  if (key.empty()) {
    return failure(Code::invalidArgument, "invalid key " + quotedForMessage(key));
  }
  if (auto valid = checkText(key, "the key " + quotedForMessage(key)); !valid) {
    return Unexpected(valid.error());
  }
  const auto file = internal::domainFile(domain, Code::cannotCreate);
  if (!file) {
    return Unexpected(file.error());
  }
  if (whenMissing == WhenMissing::fail) {
    // A removal from a domain that does not exist creates neither folders nor a lock file.
    if (auto probe = file->read(); !probe && probe.error().code == Code::noSuchDomain) {
      return Unexpected(probe.error());
    }
  }
  if (auto created = internal::createPrivateDirectories(file->path().parent_path()); !created) {
    return Unexpected(created.error());
  }
  const auto lock = file->lock(options.lockWait);
  if (!lock) {
    return Unexpected(lock.error());
  }
  auto result =
      changeLocked(*file, domain, std::string(key), whenMissing, options.setAsideDamaged, change);
  if (!pathExists(file->path())) {
    lock->removeFile();
  }
  return result;
}

Expected<void, DefaultsError> withoutReport(Expected<DefaultsUpdate, DefaultsError> result) {
  if (!result) {
    return Unexpected(std::move(result).error());
  }
  return {};
}

}  // namespace

Expected<std::chrono::milliseconds, DefaultsError> lockWaitFrom(const char* seconds) {
  constexpr double kLongestWait = 600;
  if (seconds == nullptr) {
    return kDefaultLockWait;
  }
  const std::string_view text(seconds);
  double value = -1;
  const auto [end, error] =
      std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
  // Written so that NaN, which compares false with everything, fails too.
  if (text.empty() || error != std::errc() || end != text.data() + text.size()
      || !(value >= 0 && value <= kLongestWait)) {
    return failure(Code::invalidArgument, std::string(kLockWaitVariable) + "="
                                              + quotedForMessage(text)
                                              + " is not a number of seconds from 0 to 600");
  }
  return std::chrono::milliseconds(static_cast<std::int64_t>(value * 1000));
}

Expected<void, DefaultsError> writeDefaultsData(std::string_view domain, std::string_view key,
                                                std::span<const std::uint8_t> bytes,
                                                const DefaultsWriteOptions& options) {
  if (bytes.size() > kMaxDomainFileSize) {
    return failure(Code::tooLarge, "a data value of " + std::to_string(bytes.size())
                                       + " bytes does not fit a domain of at most "
                                       + std::to_string(kMaxDomainFileSize) + " bytes");
  }
  return withoutReport(modifyDomain(
      domain, key, WhenMissing::startEmpty, options,
      [bytes](plist_t dictionary, const std::string& name) -> Expected<Outcome, DefaultsError> {
        plist_dict_set_item(
            dictionary, name.c_str(),
            plist_new_data(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
        return Outcome::changed;
      }));
}

Expected<void, DefaultsError> writeDefaultsString(std::string_view domain, std::string_view key,
                                                  std::string_view text,
                                                  const DefaultsWriteOptions& options) {
  if (auto valid = checkText(text, "a string value"); !valid) {
    return valid;
  }
  if (text.size() > kMaxDomainFileSize) {
    return failure(Code::tooLarge, "a string value of " + std::to_string(text.size())
                                       + " bytes does not fit a domain of at most "
                                       + std::to_string(kMaxDomainFileSize) + " bytes");
  }
  return withoutReport(modifyDomain(
      domain, key, WhenMissing::startEmpty, options,
      [value = std::string(text)](plist_t dictionary,
                                  const std::string& name) -> Expected<Outcome, DefaultsError> {
        plist_dict_set_item(dictionary, name.c_str(), plist_new_string(value.c_str()));
        return Outcome::changed;
      }));
}

Expected<void, DefaultsError> deleteDefaultsKey(std::string_view domain, std::string_view key,
                                                const DefaultsWriteOptions& options) {
  return withoutReport(modifyDomain(
      domain, key, WhenMissing::fail, DefaultsWriteOptions{options.lockWait, false},
      [domain](plist_t dictionary, const std::string& name) -> Expected<Outcome, DefaultsError> {
        if (plist_dict_get_item(dictionary, name.c_str()) == nullptr) {
          return failure(Code::noSuchKey, "no value for key " + quotedForMessage(name)
                                              + " in domain " + quotedForMessage(domain));
        }
        plist_dict_remove_item(dictionary, name.c_str());
        return Outcome::changed;
      }));
}

Expected<DefaultsUpdate, DefaultsError> updateDefaultsValue(std::string_view domain,
                                                            std::string_view key,
                                                            const DefaultsChange& change,
                                                            const DefaultsWriteOptions& options) {
  return modifyDomain(
      domain, key, WhenMissing::startEmpty, options,
      [&change](plist_t dictionary, const std::string& name) -> Expected<Outcome, DefaultsError> {
        std::optional<DefaultsValue> current;
        if (const plist_t node = plist_dict_get_item(dictionary, name.c_str())) {
          current = internal::defaultsValueOf(node);
        }
        auto next = change(current);
        if (!next) {
          return Unexpected(std::move(next).error());
        }
        if (!next->has_value()) {
          return Outcome::unchanged;
        }
        const DefaultsValue& value = **next;
        if (value.bytes.size() > kMaxDomainFileSize) {
          return failure(Code::tooLarge, "a value of " + std::to_string(value.bytes.size())
                                             + " bytes does not fit a domain");
        }
        const char* bytes = reinterpret_cast<const char*>(value.bytes.data());
        plist_t node = nullptr;
        if (value.type == DefaultsValueType::data) {
          node = plist_new_data(bytes, value.bytes.size());
        } else if (value.type == DefaultsValueType::string) {
          const std::string text(bytes, value.bytes.size());
          if (auto valid = checkText(text, "a string value"); !valid) {
            return Unexpected(valid.error());
          }
          node = plist_new_string(text.c_str());
        } else {
          return failure(Code::invalidArgument, "only data and string values can be stored");
        }
        plist_dict_set_item(dictionary, name.c_str(), node);
        return Outcome::changed;
      });
}

}  // namespace platform::foundation
