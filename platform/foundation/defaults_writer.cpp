#include "platform/foundation/defaults_writer.hpp"

#include <string>

#include "platform/foundation/internal/property_list_file.hpp"

namespace platform::foundation {

namespace {

using Code = DefaultsError::Code;

Unexpected<DefaultsError> failure(Code code, std::string message) {
  return Unexpected(DefaultsError{code, std::move(message)});
}

enum class WhenMissing : std::uint8_t { startEmpty, fail };

// Read, change and write one domain under its lock:
// 1. check the names and create the folders (mode 0700), unless a removal finds
//    no domain to remove from;
// 2. take the lock, then read the file strictly: a missing file is an empty
//    dictionary (or a failure, for a removal), any other failure ends here;
// 3. let `change` edit the dictionary;
// 4. serialise to the binary form and check it against the readers' cap and
//    bounds, so that no write leaves a file that reads as an empty domain;
// 5. replace the file atomically, still under the lock.
template <class Change>
Expected<void, DefaultsError> modifyDomain(std::string_view domain, std::string_view key,
                                           WhenMissing whenMissing, Change change) {
  if (key.empty() || key.find('\0') != std::string_view::npos) {
    return failure(Code::invalidArgument, "invalid key " + quotedForMessage(key));
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
  auto existing = file->read();
  internal::PlistNode root;
  if (existing) {
    root = std::move(*existing);
  } else if (existing.error().code == Code::noSuchDomain
             && whenMissing == WhenMissing::startEmpty) {
    root.reset(plist_new_dict());
  } else {
    return Unexpected(existing.error());
  }
  const std::string keyText(key);
  if (auto changed = change(root.get(), keyText); !changed) {
    return changed;
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
  return file->replace(contents);
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
      domain, key, WhenMissing::startEmpty, [bytes](plist_t dictionary, const std::string& name) {
        plist_dict_set_item(
            dictionary, name.c_str(),
            plist_new_data(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
        return Expected<void, DefaultsError>();
      });
}

Expected<void, DefaultsError> writeDefaultsString(std::string_view domain, std::string_view key,
                                                  std::string_view text) {
  if (text.find('\0') != std::string_view::npos) {
    return failure(Code::invalidArgument, "a string value cannot hold a NUL character");
  }
  if (text.size() > kMaxDomainFileSize) {
    return failure(Code::tooLarge, "a string value of " + std::to_string(text.size())
                                       + " bytes does not fit a domain of at most "
                                       + std::to_string(kMaxDomainFileSize) + " bytes");
  }
  return modifyDomain(domain, key, WhenMissing::startEmpty,
                      [value = std::string(text)](plist_t dictionary, const std::string& name) {
                        plist_dict_set_item(dictionary, name.c_str(),
                                            plist_new_string(value.c_str()));
                        return Expected<void, DefaultsError>();
                      });
}

Expected<void, DefaultsError> deleteDefaultsKey(std::string_view domain, std::string_view key) {
  return modifyDomain(
      domain, key, WhenMissing::fail,
      [domain](plist_t dictionary, const std::string& name) -> Expected<void, DefaultsError> {
        if (plist_dict_get_item(dictionary, name.c_str()) == nullptr) {
          return failure(Code::noSuchKey, "no value for key " + quotedForMessage(name)
                                              + " in domain " + quotedForMessage(domain));
        }
        plist_dict_remove_item(dictionary, name.c_str());
        return {};
      });
}

}  // namespace platform::foundation
