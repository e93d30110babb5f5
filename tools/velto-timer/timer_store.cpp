#include "tools/velto-timer/timer_store.hpp"

#include <cstring>
#include <utility>

#include <nlohmann/json.hpp>
#include <sysexits.h>
#include <unistd.h>

#include "extension/model/shared_timer_storage.hpp"
#include "extension/model/snapshot_json.hpp"
#include "platform/foundation/clock.hpp"
#include "platform/foundation/defaults_domain.hpp"
#include "platform/foundation/printable_text.hpp"
#include "platform/foundation/write_all.hpp"
#include "tools/velto-timer/change_instant.hpp"
#include "tools/velto-timer/status_text.hpp"
#include "tools/velto-timer/time_argument.hpp"

namespace velto::timer {

namespace {

using model::SharedTimerSnapshot;
using model::SharedTimerStorage;
using platform::foundation::Date;
using platform::foundation::DefaultsError;
using platform::foundation::DefaultsValue;
using platform::foundation::DefaultsValueType;
using platform::foundation::Expected;
using platform::foundation::Unexpected;

constexpr std::string_view kForceAdvice = "; 'velto-timer start --force' replaces it";

Failure failureFor(const DefaultsError& error) {
  const bool damaged =
      error.code == DefaultsError::Code::malformed || error.code == DefaultsError::Code::tooLarge;
  return {platform::foundation::sysexitsStatus(error.code),
          error.message + (damaged ? std::string(kForceAdvice) : std::string())};
}

/// The stored snapshot, none when nothing is stored, or why it cannot be used.
Expected<std::optional<SharedTimerSnapshot>, Failure> decodeStored(
    const std::optional<DefaultsValue>& value) {
  if (!value) {
    return std::optional<SharedTimerSnapshot>();
  }
  if (value->type != DefaultsValueType::data) {
    return Unexpected(Failure{EX_DATAERR, "the stored timer snapshot is a "
                                              + std::string(defaultsValueTypeName(value->type))
                                              + " value, not data" + std::string(kForceAdvice)});
  }
  auto decoded = model::decodeSnapshot(std::span(value->bytes));
  if (!decoded) {
    return Unexpected(
        Failure{EX_DATAERR, "the stored timer snapshot is damaged" + std::string(kForceAdvice)});
  }
  return std::optional(std::move(*decoded));
}

std::string futureNotice(Date updatedAt, Date now) {
  return "the stored timer's last change lies "
         + std::to_string(static_cast<long long>(updatedAt.timeIntervalSince(now)))
         + " s ahead of this clock (a wrong epoch?); it is not taken as the present";
}

/// The quoted, escaped form of untrusted text in a message.
std::string quotedUntrusted(std::string_view text) {
  return "'" + platform::foundation::printableText(text) + "'";
}

}  // namespace

std::optional<Failure> printLine(std::string text) {
  text += '\n';
  if (auto written = platform::foundation::writeAll(STDOUT_FILENO, text); !written) {
    return Failure{EX_IOERR, std::string("cannot write to standard output: ")
                                 + std::strerror(written.error())};
  }
  return std::nullopt;
}

CommandOutcome applyChange(const Change& change) {
  const SystemTimeZone zone;
  CommandOutcome outcome;
  const auto abort = [&outcome](Failure failure) {
    outcome.failure = std::move(failure);
    return Unexpected(
        DefaultsError{DefaultsError::Code::invalidArgument, outcome.failure->message});
  };
  const bool forcedStart = change.force && change.command == TimerCommand::start;
  std::optional<std::string> distrusted;
  const auto updated = platform::foundation::updateDefaultsValue(
      SharedTimerStorage::kAppGroupSuiteName, SharedTimerStorage::kSnapshotKey,
      [&](const std::optional<DefaultsValue>& value)
          -> Expected<std::optional<DefaultsValue>, DefaultsError> {
        std::optional<SharedTimerSnapshot> current;
        if (auto stored = decodeStored(value)) {
          current = std::move(*stored);
        } else if (!forcedStart) {
          return abort(stored.error());
        }
        const Date now = platform::foundation::SystemClock::shared().now();
        std::optional<Date> requested;
        if (change.at) {
          auto parsed = parseTimeArgument(*change.at, now, zone);
          if (!parsed) {
            return abort(
                {EX_USAGE, "invalid --at " + quotedUntrusted(*change.at) + ": " + parsed.error()});
          }
          if (*parsed > now) {
            return abort({EX_USAGE, "--at " + quotedUntrusted(*change.at) + " is in the future"});
          }
          requested = *parsed;
        }
        if (current && isUntrustedFuture(current->updatedAt, now)) {
          distrusted = futureNotice(current->updatedAt, now);
        }
        const PlannedChange plan = planChange(std::move(current), change.command, requested, now);
        auto next = applyCommand(plan.current, change.command, change.project, plan.at, zone);
        if (!next) {
          const bool early = next.error().kind == TransitionError::Kind::beforeUpdate;
          return abort({early ? EX_USAGE : EX_DATAERR,
                        early ? "--at " + quotedUntrusted(change.at.value_or(""))
                                    + " is before the timer's last change"
                              : next.error().message});
        }
        if (!next->has_value()) {
          return std::optional<DefaultsValue>();
        }
        const auto json = model::encodeSnapshot(**next);
        if (!json) {
          return abort({EX_DATAERR, "the timer's numbers cannot be written as JSON"});
        }
        return std::optional(DefaultsValue{
            DefaultsValueType::data, platform::foundation::Bytes(json->begin(), json->end())});
      },
      platform::foundation::DefaultsWriteOptions{.lockWait = change.lockWait,
                                                 .setAsideDamaged = forcedStart});
  if (distrusted) {
    outcome.notices.push_back(*distrusted);
  }
  if (outcome.failure) {
    return outcome;
  }
  if (!updated) {
    outcome.failure = failureFor(updated.error());
  } else if (updated->damagedCopy) {
    outcome.notices.push_back(
        "the domain file could not be read; kept it as "
        + platform::foundation::quotedForMessage(updated->damagedCopy->native())
        + " and started afresh");
  }
  return outcome;
}

CommandOutcome showStatus(bool json) {
  CommandOutcome outcome;
  const auto value = platform::foundation::readDefaultsValue(SharedTimerStorage::kAppGroupSuiteName,
                                                             SharedTimerStorage::kSnapshotKey);
  std::optional<DefaultsValue> stored;
  if (value) {
    stored = *value;
  } else if (value.error().code != DefaultsError::Code::noSuchDomain
             && value.error().code != DefaultsError::Code::noSuchKey) {
    outcome.failure = failureFor(value.error());
    return outcome;
  }
  const auto snapshot = decodeStored(stored);
  if (!snapshot) {
    outcome.failure = snapshot.error();
    return outcome;
  }
  const Date now = platform::foundation::SystemClock::shared().now();
  if (*snapshot && isUntrustedFuture((*snapshot)->updatedAt, now)) {
    outcome.notices.push_back(futureNotice((*snapshot)->updatedAt, now));
  }
  if (json) {
    if (!*snapshot) {
      outcome.failure = Failure{EX_NOINPUT, "no timer snapshot is stored"};
      return outcome;
    }
    // The stored text, rewritten with every character past ASCII as \u escapes:
    // still the same JSON, but nothing in it can steer a terminal.
    const auto parsed = nlohmann::ordered_json::parse(stored->bytes, nullptr, false);
    if (parsed.is_discarded()) {
      outcome.failure =
          Failure{EX_DATAERR, "the stored timer snapshot is damaged" + std::string(kForceAdvice)};
      return outcome;
    }
    outcome.failure =
        printLine(parsed.dump(-1, ' ', true, nlohmann::ordered_json::error_handler_t::replace));
    return outcome;
  }
  outcome.failure = printLine(statusLine(*snapshot, now, SystemTimeZone()));
  return outcome;
}

}  // namespace velto::timer
