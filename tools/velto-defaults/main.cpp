// velto-defaults: reads, writes and deletes values of a Velto defaults domain,
// as a companion application or a script does to feed the widget.

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <iostream>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include <CLI/CLI.hpp>
#include <fcntl.h>
#include <sysexits.h>
#include <unistd.h>

#include "platform/foundation/defaults_domain.hpp"
#include "platform/foundation/defaults_writer.hpp"
#include "platform/foundation/limits.hpp"
#include "platform/foundation/tool_exit.hpp"
#include "platform/foundation/unique_fd.hpp"
#include "platform/foundation/user_defaults.hpp"
#include "platform/foundation/write_all.hpp"
#include "velto/version.hpp"

namespace {

using platform::foundation::Bytes;
using platform::foundation::DefaultsError;
using platform::foundation::DefaultsValueType;
using platform::foundation::quotedForMessage;

// Larger data could never fit a domain file.
constexpr std::size_t kMaxInputSize = platform::foundation::kMaxDomainFileSize;

constexpr std::string_view kExitStatuses =
    "Exit status: 0 on success; 64 for bad arguments; 65 for a malformed domain file, a value\n"
    "too large for a domain, or a value that read cannot print; 66 for a missing domain, key\n"
    "or input file, or an unreadable domain file; 73 when a folder, lock or temporary file\n"
    "cannot be created; 74 when writing fails; 75 when another program holds the domain's\n"
    "lock for longer than VELTO_LOCK_WAIT seconds (5 unless set); 78 when no defaults folder\n"
    "is known (neither XDG_CONFIG_HOME nor HOME is an absolute path) or VELTO_LOCK_WAIT is\n"
    "not a number of seconds from 0 to 600. Every failure prints one line on stderr and\n"
    "leaves what is stored unchanged.";

constexpr std::string_view kWriteNotes =
    "Exactly one of --data-file, --data and --string is needed; give a value that begins\n"
    "with '-' as --data=TEXT. The domain file is written in the binary form.\n\n";

constexpr std::string_view kReadNotes =
    "A data value is printed as its raw bytes and a string value as its UTF-8 text, exactly\n"
    "as stored and with no newline added, so that\n"
    "  velto-defaults read group.app.velto velto.sharedTimerSnapshot | jq\n"
    "sees the stored JSON. A value of another type is not printed: read fails with status\n"
    "65. Without KEY, read lists the keys sorted by their bytes, one KEY<TAB>TYPE line each,\n"
    "TYPE being data, string, integer, real, boolean, date, array, dictionary or uid.\n\n";

using Failure = platform::foundation::ToolFailure;

int report(const Failure& failure) {
  return platform::foundation::reportToolFailure("velto-defaults", failure);
}

Failure failureFor(const DefaultsError& error) {
  return {platform::foundation::sysexitsStatus(error.code), error.message};
}

// The bytes of FILE, or of standard input for "-", refusing more than kMaxInputSize.
platform::foundation::Expected<Bytes, Failure> readInput(const std::string& name) {
  const bool standardInput = name == "-";
  const std::string shown = standardInput ? "standard input" : quotedForMessage(name);
  // Standard input is borrowed, never closed.
  platform::foundation::UniqueFd owned;
  if (!standardInput) {
    owned.reset(::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
  }
  const int fd = standardInput ? STDIN_FILENO : owned.get();
  if (fd < 0) {
    const int error = errno;
    return platform::foundation::Unexpected(
        Failure{EX_NOINPUT, "cannot read " + shown + ": " + std::strerror(error)});
  }
  // One byte past the limit tells an oversized input from one that just fits.
  Bytes bytes(kMaxInputSize + 1);
  std::size_t total = 0;
  while (total < bytes.size()) {
    const ssize_t count = ::read(fd, bytes.data() + total, bytes.size() - total);
    if (count < 0) {
      const int error = errno;
      if (error == EINTR) {
        continue;
      }
      return platform::foundation::Unexpected(
          Failure{EX_NOINPUT, "cannot read " + shown + ": " + std::strerror(error)});
    }
    if (count == 0) {
      break;
    }
    total += static_cast<std::size_t>(count);
  }
  if (total > kMaxInputSize) {
    return platform::foundation::Unexpected(
        Failure{EX_DATAERR, shown + " is larger than " + std::to_string(kMaxInputSize) + " bytes"});
  }
  bytes.resize(total);
  return bytes;
}

std::optional<Failure> writeOut(std::string_view text) {
  if (auto written = platform::foundation::writeAll(STDOUT_FILENO, text); !written) {
    return Failure{EX_IOERR, std::string("cannot write to standard output: ")
                                 + std::strerror(written.error())};
  }
  return std::nullopt;
}

std::optional<Failure> writeOut(std::span<const std::uint8_t> bytes) {
  return writeOut(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

std::optional<Failure> checkNames(const std::string& domain, const std::string* key) {
  if (!platform::foundation::isValidDefaultsDomain(domain)) {
    return Failure{EX_USAGE, "invalid domain name " + quotedForMessage(domain)
                                 + ": use 1 to "
                                 + std::to_string(platform::foundation::kMaxDefaultsDomainLength)
                                 + " visible ASCII characters with no '/', no \"..\" and no "
                                   "leading '.'"};
  }
  if (key != nullptr && key->empty()) {
    return Failure{EX_USAGE, "the key must not be empty"};
  }
  if (platform::foundation::defaultsDirectory().empty()) {
    return Failure{EX_CONFIG,
                   "no defaults folder: neither XDG_CONFIG_HOME nor HOME is an absolute path, and "
                   "the user has no home folder"};
  }
  return std::nullopt;
}

struct Arguments {
  platform::foundation::DefaultsWriteOptions writeOptions;
  std::string domain;
  std::string key;
  std::string dataFile;
  std::string data;
  std::string text;
};

enum class ValueSource : std::uint8_t { dataFile, data, string };

std::optional<Failure> writeValue(const Arguments& arguments, ValueSource source) {
  if (auto failure = checkNames(arguments.domain, &arguments.key)) {
    return failure;
  }
  platform::foundation::Expected<void, DefaultsError> written;
  if (source == ValueSource::string) {
    written = platform::foundation::writeDefaultsString(arguments.domain, arguments.key,
                                                        arguments.text, arguments.writeOptions);
  } else {
    Bytes bytes(arguments.data.begin(), arguments.data.end());
    if (source == ValueSource::dataFile) {
      auto input = readInput(arguments.dataFile);
      if (!input) {
        return input.error();
      }
      bytes = std::move(*input);
    }
    written = platform::foundation::writeDefaultsData(arguments.domain, arguments.key, bytes,
                                                      arguments.writeOptions);
  }
  if (!written) {
    return failureFor(written.error());
  }
  return std::nullopt;
}

std::optional<Failure> readValue(const Arguments& arguments) {
  if (auto failure = checkNames(arguments.domain, &arguments.key)) {
    return failure;
  }
  const auto value = platform::foundation::readDefaultsValue(arguments.domain, arguments.key);
  if (!value) {
    return failureFor(value.error());
  }
  if (value->type != DefaultsValueType::data && value->type != DefaultsValueType::string) {
    return Failure{EX_DATAERR, "the value under " + quotedForMessage(arguments.key) + " in domain "
                                   + quotedForMessage(arguments.domain) + " has type "
                                   + std::string(defaultsValueTypeName(value->type))
                                   + "; read prints only data and string values"};
  }
  return writeOut(value->bytes);
}

std::optional<Failure> listKeys(const Arguments& arguments) {
  if (auto failure = checkNames(arguments.domain, nullptr)) {
    return failure;
  }
  const auto entries = platform::foundation::listDefaultsKeys(arguments.domain);
  if (!entries) {
    return failureFor(entries.error());
  }
  std::string listing;
  for (const auto& entry : *entries) {
    listing += entry.key;
    listing += '\t';
    listing += defaultsValueTypeName(entry.type);
    listing += '\n';
  }
  return writeOut(listing);
}

std::optional<Failure> deleteValue(const Arguments& arguments) {
  if (auto failure = checkNames(arguments.domain, &arguments.key)) {
    return failure;
  }
  if (auto removed = platform::foundation::deleteDefaultsKey(arguments.domain, arguments.key,
                                                             arguments.writeOptions);
      !removed) {
    return failureFor(removed.error());
  }
  return std::nullopt;
}

std::optional<Failure> printPath(const Arguments& arguments) {
  if (auto failure = checkNames(arguments.domain, nullptr)) {
    return failure;
  }
  return writeOut(platform::foundation::defaultsFilePath(arguments.domain).native() + "\n");
}

int run(int argc, char** argv) {
  CLI::App app(
      "Reads, writes and deletes values of a Velto defaults domain, the property-list "
      "file that the widget reads.",
      "velto-defaults");
  app.require_subcommand(1);
  app.set_version_flag("--version", std::string(velto::kVersion), "Print the version and exit");
  app.footer(std::string(kExitStatuses));
  Arguments arguments;

  CLI::App* write = app.add_subcommand("write", "Store a value under KEY in DOMAIN");
  write->add_option("DOMAIN", arguments.domain, "Domain, such as group.app.velto")->required();
  write->add_option("KEY", arguments.key, "Key of the value")->required();
  CLI::Option* dataFile =
      write
          ->add_option("--data-file", arguments.dataFile,
                       "Store the bytes of FILE, at most 64 KiB, as a data value ('-' reads "
                       "standard input)")
          ->type_name("FILE");
  CLI::Option* data =
      write->add_option("--data", arguments.data, "Store the bytes of TEXT as a data value")
          ->type_name("TEXT");
  CLI::Option* text = write->add_option("--string", arguments.text, "Store TEXT as a string value")
                          ->type_name("TEXT");
  dataFile->excludes(data)->excludes(text);
  data->excludes(text);
  write->footer(std::string(kWriteNotes) + std::string(kExitStatuses));

  CLI::App* read =
      app.add_subcommand("read", "Print the value under KEY in DOMAIN, or list DOMAIN's keys");
  read->footer(std::string(kReadNotes) + std::string(kExitStatuses));
  read->add_option("DOMAIN", arguments.domain, "Domain, such as group.app.velto")->required();
  CLI::Option* readKey = read->add_option("KEY", arguments.key, "Key of the value");

  CLI::App* remove = app.add_subcommand("delete", "Remove the value under KEY from DOMAIN");
  remove->add_option("DOMAIN", arguments.domain, "Domain, such as group.app.velto")->required();
  remove->add_option("KEY", arguments.key, "Key of the value")->required();

  CLI::App* path = app.add_subcommand("path", "Print the path of DOMAIN's property-list file");
  path->add_option("DOMAIN", arguments.domain, "Domain, such as group.app.velto")->required();

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    // Help goes to standard output like any other output, so a lost help is a write error.
    const auto failure = writeOut(app.help());
    return failure ? report(*failure) : EX_OK;
  } catch (const CLI::CallForVersion&) {
    const auto failure = writeOut("velto-defaults " + std::string(velto::kVersion) + "\n");
    return failure ? report(*failure) : EX_OK;
  } catch (const CLI::ParseError& error) {
    return report({EX_USAGE, std::string(error.what()) + " (see velto-defaults --help)"});
  }

  if (write->parsed() || remove->parsed()) {
    const auto wait = platform::foundation::lockWaitFrom(
        std::getenv(std::string(platform::foundation::kLockWaitVariable).c_str()));
    if (!wait) {
      return report({EX_CONFIG, wait.error().message});
    }
    arguments.writeOptions.lockWait = *wait;
  }
  std::optional<Failure> failure;
  if (write->parsed()) {
    const std::size_t sources = dataFile->count() + data->count() + text->count();
    if (sources != 1) {
      return report({EX_USAGE, "write needs exactly one of --data-file, --data and --string"});
    }
    failure = writeValue(arguments, dataFile->count() == 1 ? ValueSource::dataFile
                                    : data->count() == 1   ? ValueSource::data
                                                           : ValueSource::string);
  } else if (read->parsed()) {
    failure = readKey->count() == 1 ? readValue(arguments) : listKeys(arguments);
  } else if (remove->parsed()) {
    failure = deleteValue(arguments);
  } else if (path->parsed()) {
    failure = printPath(arguments);
  }
  return failure ? report(*failure) : EX_OK;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return run(argc, argv);
  } catch (const std::exception& error) {
    return report({EX_SOFTWARE, std::string("internal error: ") + error.what()});
  } catch (...) {
    return report({EX_SOFTWARE, "internal error"});
  }
}
