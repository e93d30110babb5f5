#include "platform/foundation/defaults_writer.hpp"

#include <string>

#include <sys/stat.h>

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

// Steps 2 to 5 of modifyDomain, under the lock.
template <class Change>
Expected<void, DefaultsError> changeLocked(const internal::PropertyListFile& file,
                                           std::string_view domain, const std::string& key,
                                           WhenMissing whenMissing, Change& change) {
  file.removeStaleTemporaryFiles();
  auto existing = file.read();
  internal::PlistNode root;
  if (existing) {
    root = std::move(*existing);
  } else if (existing.error().code == Code::noSuchDomain
             && whenMissing == WhenMissing::startEmpty) {
    root.reset(plist_new_dict());
  } else {
    return Unexpected(existing.error());
  }
  const Expected<Outcome, DefaultsError> changed = change(root.get(), key);
  if (!changed) {
    return Unexpected(changed.error());
  }
  if (*changed == Outcome::unchanged) {
    return {};
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
  return file.replace(contents);
}

// Read, change and write one domain under its lock:
// 1. check the names and create the folders (mode 0700), unless a removal finds
//    no domain to remove from;
// 2. take the lock, remove stale temporary files, then read the file strictly: a
//    missing file is an empty dictionary (or a failure, for a removal), any other
//    failure ends here;
// 3. let `change` edit the dictionary;
// 4. serialise to the binary form and check it against the readers' cap and
//    bounds, so that no write leaves a file that reads as an empty domain;
// 5. replace the file atomically, still under the lock; when no domain file
//    exists in the end, remove the lock file too, so that nothing is left behind.
template <class Change>
Expected<void, DefaultsError> modifyDomain(std::string_view domain, std::string_view key,
                                           WhenMissing whenMissing, Change change) {
  if (key.empty()) {
    return failure(Code::invalidArgument, "invalid key " + quotedForMessage(key));
  }
  if (auto valid = checkText(key, "the key " + quotedForMessage(key)); !valid) {
    return valid;
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
    return created;
  }
  const auto lock = file->lock();
  if (!lock) {
    return Unexpected(lock.error());
  }
  auto result = changeLocked(*file, domain, std::string(key), whenMissing, change);
  if (!pathExists(file->path())) {
    lock->removeFile();
  }
  return result;
}

}  // namespace

Expected<void, DefaultsError> writeDefaultsData(std::string_view domain, std::string_view key,
                                                std::span<const std::uint8_t> bytes) {
  if (bytes.size() > kMaxDomainFileSize) {
    return failure(Code::tooLarge, "a data value of " + std::to_string(bytes.size())
                                       + " bytes does not fit a domain of at most "
                                       + std::to_string(kMaxDomainFileSize) + " bytes");
  }
  return modifyDomain(
      domain, key, WhenMissing::startEmpty,
      [bytes](plist_t dictionary, const std::string& name) -> Expected<Outcome, DefaultsError> {
        plist_dict_set_item(
            dictionary, name.c_str(),
            plist_new_data(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
        return Outcome::changed;
      });
}

Expected<void, DefaultsError> writeDefaultsString(std::string_view domain, std::string_view key,
                                                  std::string_view text) {
  if (auto valid = checkText(text, "a string value"); !valid) {
    return valid;
  }
  if (text.size() > kMaxDomainFileSize) {
    return failure(Code::tooLarge, "a string value of " + std::to_string(text.size())
                                       + " bytes does not fit a domain of at most "
                                       + std::to_string(kMaxDomainFileSize) + " bytes");
  }
  return modifyDomain(
      domain, key, WhenMissing::startEmpty,
      [value = std::string(text)](plist_t dictionary,
                                  const std::string& name) -> Expected<Outcome, DefaultsError> {
        plist_dict_set_item(dictionary, name.c_str(), plist_new_string(value.c_str()));
        return Outcome::changed;
      });
}

Expected<void, DefaultsError> deleteDefaultsKey(std::string_view domain, std::string_view key) {
  return modifyDomain(
      domain, key, WhenMissing::fail,
      [domain](plist_t dictionary, const std::string& name) -> Expected<Outcome, DefaultsError> {
        if (plist_dict_get_item(dictionary, name.c_str()) == nullptr) {
          return failure(Code::noSuchKey, "no value for key " + quotedForMessage(name)
                                              + " in domain " + quotedForMessage(domain));
        }
        plist_dict_remove_item(dictionary, name.c_str());
        return Outcome::changed;
      });
}

Expected<void, DefaultsError> updateDefaultsValue(std::string_view domain, std::string_view key,
                                                  const DefaultsChange& change) {
  return modifyDomain(
      domain, key, WhenMissing::startEmpty,
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
