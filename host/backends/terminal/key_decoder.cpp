#include "host/backends/terminal/key_decoder.hpp"

#include <charconv>

namespace velto::host::terminal {

namespace {

constexpr char kEscape = '\x1b';
constexpr char kBell = '\x07';
constexpr char kInterrupt = '\x03';

/// A channel of one to four hex digits, scaled to 0…1.
std::optional<double> channel(std::string_view digits) {
  if (digits.empty() || digits.size() > 4) {
    return std::nullopt;
  }
  unsigned value = 0;
  const auto [end, error] =
      std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
  if (error != std::errc() || end != digits.data() + digits.size()) {
    return std::nullopt;
  }
  const unsigned max = (1U << (4U * digits.size())) - 1U;
  return static_cast<double>(value) / max;
}

std::optional<Key> keyFor(char byte) {
  switch (byte) {
    case 'q':
    case 'Q':
    case kInterrupt:
      return Key::quit;
    case 't':
    case 'T':
      return Key::toggle;
    case 's':
    case 'S':
      return Key::stop;
    default:
      return std::nullopt;
  }
}

}  // namespace

std::optional<render::Appearance> parseBackgroundReply(std::string_view body) {
  constexpr std::string_view kPrefix = "11;";
  if (!body.starts_with(kPrefix)) {
    return std::nullopt;
  }
  body.remove_prefix(kPrefix.size());
  if (body.starts_with("rgba:")) {
    body.remove_prefix(5);
  } else if (body.starts_with("rgb:")) {
    body.remove_prefix(4);
  } else {
    return std::nullopt;
  }
  double rgb[3] = {};
  for (int i = 0; i < 3; ++i) {
    const std::size_t slash = body.find('/');
    const auto value = channel(body.substr(0, slash));
    if (!value) {
      return std::nullopt;
    }
    rgb[i] = *value;
    body = slash == std::string_view::npos ? std::string_view() : body.substr(slash + 1);
    if (i < 2 && slash == std::string_view::npos) {
      return std::nullopt;
    }
  }
  // Rec. 709 weights on the channels as sent: good enough to tell light from dark.
  const double luminance = 0.2126 * rgb[0] + 0.7152 * rgb[1] + 0.0722 * rgb[2];
  return luminance > 0.5 ? render::Appearance::light : render::Appearance::dark;
}

std::vector<InputEvent> KeyDecoder::feed(std::string_view bytes) {
  std::vector<InputEvent> events;
  for (const char byte : bytes) {
    // Ctrl-C quits whatever sequence it interrupts: a person pressing it means it.
    if (byte == kInterrupt) {
      state_ = State::ground;
      events.emplace_back(Key::quit);
      continue;
    }
    switch (state_) {
      case State::ground:
        if (byte == kEscape) {
          state_ = State::escape;
        } else if (const auto key = keyFor(byte)) {
          events.emplace_back(*key);
        }
        break;
      case State::escape:
        escape(byte);
        break;
      case State::csi:
        if (byte == kEscape) {
          state_ = State::escape;
        } else if (byte >= 0x40 && byte <= 0x7E) {
          state_ = State::ground;
        }
        break;
      case State::ss3:
        state_ = byte == kEscape ? State::escape : State::ground;
        break;
      case State::osc:
        if (byte == kBell) {
          finishOsc(events);
        } else if (byte == kEscape) {
          state_ = State::oscEscape;
        } else if (osc_.size() <= kMaxOscBytes) {
          osc_ += byte;  // one byte past the cap marks the body as too long
        }
        break;
      case State::oscEscape:
        if (byte == '\\') {
          finishOsc(events);
        } else {
          escape(byte);  // the ESC began a new sequence
        }
        break;
      case State::string:
        if (byte == kEscape) {
          state_ = State::stringEscape;
        } else if (byte == kBell) {
          state_ = State::ground;
        }
        break;
      case State::stringEscape:
        if (byte == '\\') {
          state_ = State::ground;
        } else {
          escape(byte);
        }
        break;
    }
  }
  return events;
}

void KeyDecoder::finishOsc(std::vector<InputEvent>& events) {
  if (osc_.size() <= kMaxOscBytes) {
    if (const auto appearance = parseBackgroundReply(osc_)) {
      events.emplace_back(BackgroundReport{*appearance});
    }
  }
  osc_.clear();
  state_ = State::ground;
}

void KeyDecoder::escape(char byte) {
  switch (byte) {
    case '[':
      state_ = State::csi;
      break;
    case 'O':
      state_ = State::ss3;
      break;
    case ']':
      osc_.clear();
      state_ = State::osc;
      break;
    case 'P':
    case 'X':
    case '^':
    case '_':
      state_ = State::string;
      break;
    case kEscape:
      state_ = State::escape;
      break;
    default:
      state_ = State::ground;  // Alt and a key: skipped
      break;
  }
}

}  // namespace velto::host::terminal
