#include "platform/ui/describe.hpp"

#include <charconv>
#include <cmath>
#include <optional>
#include <sstream>
#include <string_view>

#include "platform/foundation/json_text.hpp"
#include "platform/foundation/overloaded.hpp"
#include "platform/foundation/utf8.hpp"
#include "platform/ui/internal/names.hpp"

namespace platform::ui {
namespace {

using foundation::jsonQuoted;
using foundation::overloaded;

std::string number(double value) {
  if (!std::isfinite(value)) {
    return std::isnan(value) ? "nan" : (value > 0 ? "inf" : "-inf");
  }
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

std::string number(std::optional<double> value) {
  return value ? number(*value) : "nil";
}

template <class T>
std::string name(const T& value) {
  return "." + std::string(internal::nameOf(value));
}

std::string color(const Color& value) {
  std::string text = name(value.name());
  if (value.opacity() != 1.0) {
    text += ".opacity(" + number(value.opacity()) + ")";
  }
  return text;
}

std::string textContent(const Text::Content& content) {
  return std::visit(
      overloaded{
          [](const Text::Verbatim& verbatim) { return "verbatim: " + jsonQuoted(verbatim.string); },
          [](const LocalizedStringKey& key) { return "key: " + jsonQuoted(key.key); },
          [](const Text::Timer& timer) {
            return "timer: "
                   + (timer.anchor ? number(timer.anchor->timeIntervalSinceReferenceDate())
                                   : std::string("nil"));
          },
      },
      content);
}

class Printer {
 public:
  std::string text() const { return out_.str(); }

  void view(const View& node, int indent) {
    element(node.element, indent);
    for (const Modifier& each : node.modifiers) {
      modifier(each, indent + 1);
    }
  }

 private:
  void line(int indent, const std::string& text) {
    out_ << std::string(static_cast<std::size_t>(indent) * 2, ' ') << text << '\n';
  }

  void children(const std::vector<View>& views, int indent) {
    for (const View& child : views) {
      view(child, indent);
    }
  }

  void element(const Element& node, int indent) {
    std::visit(
        overloaded{
            [&](const VStack& stack) {
              line(indent, "VStack(alignment: " + name(stack.alignment)
                               + ", spacing: " + number(stack.spacing) + ")");
              children(stack.children, indent + 1);
            },
            [&](const HStack& stack) {
              line(indent, "HStack(alignment: " + name(stack.alignment)
                               + ", spacing: " + number(stack.spacing) + ")");
              children(stack.children, indent + 1);
            },
            [&](const ZStack& stack) {
              line(indent, "ZStack(alignment: " + name(stack.alignment) + ")");
              children(stack.children, indent + 1);
            },
            [&](const Spacer& spacer) {
              line(indent, "Spacer(minLength: " + number(spacer.minLength) + ")");
            },
            [&](const Text& text) { line(indent, "Text(" + textContent(text.content) + ")"); },
            [&](const Label& label) {
              line(indent, "Label(" + textContent(label.title.content)
                               + ", systemImage: " + jsonQuoted(label.systemImage) + ")");
            },
            [&](const Image& image) {
              line(indent, "Image(systemName: " + jsonQuoted(image.name) + ")");
            },
            [&](const Circle& circle) {
              line(indent, circle.fillColor ? "Circle().fill(" + color(*circle.fillColor) + ")"
                                            : std::string("Circle()"));
            },
            [&](const Link& link) {
              line(indent,
                   "Link(destination: " + jsonQuoted(link.destination.absoluteString()) + ")");
              if (!link.label.valuelessAfterMove()) {
                view(*link.label, indent + 1);
              }
            },
            [&](const Color& value) { line(indent, "Color(" + color(value) + ")"); },
            [&](const RadialGradient& gradient) {
              std::string colors;
              for (const Color& each : gradient.gradient.colors) {
                colors += (colors.empty() ? "" : ", ") + color(each);
              }
              line(indent, "RadialGradient(colors: [" + colors + "], center: ("
                               + number(gradient.center.x) + ", " + number(gradient.center.y)
                               + "), startRadius: " + number(gradient.startRadius)
                               + ", endRadius: " + number(gradient.endRadius) + ")");
            },
        },
        node);
  }

  void modifier(const Modifier& node, int indent) {
    std::visit(
        overloaded{
            [&](const FontModifier& m) {
              line(indent, ".font(.system(size: " + number(m.font.size) + ", weight: "
                               + name(m.font.weight) + ", design: " + name(m.font.design) + "))");
            },
            [&](const TrackingModifier& m) {
              line(indent, ".tracking(" + number(m.tracking) + ")");
            },
            [&](const LineLimitModifier& m) {
              line(indent, ".lineLimit(" + (m.limit ? std::to_string(*m.limit) : "nil") + ")");
            },
            [&](const MinimumScaleFactorModifier& m) {
              line(indent, ".minimumScaleFactor(" + number(m.factor) + ")");
            },
            [&](const MonospacedDigitModifier&) { line(indent, ".monospacedDigit()"); },
            [&](const ForegroundStyleModifier& m) {
              line(indent, ".foregroundStyle(" + name(m.style) + ")");
            },
            [&](const FrameModifier& m) {
              line(indent, ".frame(width: " + number(m.width) + ", height: " + number(m.height)
                               + ", alignment: " + name(m.alignment) + ")");
            },
            [&](const BackgroundModifier& m) {
              line(indent, ".background(alignment: " + name(m.alignment) + ")");
              if (!m.content.valuelessAfterMove()) {
                view(*m.content, indent + 1);
              }
            },
            [&](const ContainerBackgroundModifier& m) {
              line(indent, ".containerBackground(for: " + name(m.placement)
                               + ", alignment: " + name(m.alignment) + ")");
              if (!m.content.valuelessAfterMove()) {
                view(*m.content, indent + 1);
              }
            },
        },
        node);
  }

  std::ostringstream out_;
};

}  // namespace

std::string describe(const View& view) {
  Printer printer;
  printer.view(view, 0);
  return printer.text();
}

std::ostream& operator<<(std::ostream& out, const View& view) {
  return out << describe(view);
}

}  // namespace platform::ui
