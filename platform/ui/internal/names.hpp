#pragma once

// The spelled names of the vocabulary's enumerations, shared by the archive and
// the debug printer so that both always agree.

#include <array>
#include <optional>
#include <string_view>
#include <utility>

#include "platform/ui/color.hpp"
#include "platform/ui/font.hpp"
#include "platform/ui/geometry.hpp"
#include "platform/ui/modifiers.hpp"

namespace platform::ui::internal {

template <class T>
struct Names;

template <class T, std::size_t N>
using NameTable = std::array<std::pair<T, std::string_view>, N>;

template <>
struct Names<HorizontalAlignment> {
  static constexpr std::string_view kind = "horizontal alignment";
  static constexpr NameTable<HorizontalAlignment, 3> table{{
      {HorizontalAlignment::leading, "leading"},
      {HorizontalAlignment::center, "center"},
      {HorizontalAlignment::trailing, "trailing"},
  }};
};

template <>
struct Names<VerticalAlignment> {
  static constexpr std::string_view kind = "vertical alignment";
  static constexpr NameTable<VerticalAlignment, 3> table{{
      {VerticalAlignment::top, "top"},
      {VerticalAlignment::center, "center"},
      {VerticalAlignment::bottom, "bottom"},
  }};
};

template <>
struct Names<Alignment> {
  static constexpr std::string_view kind = "alignment";
  static constexpr NameTable<Alignment, 9> table{{
      {Alignment::center, "center"},
      {Alignment::leading, "leading"},
      {Alignment::trailing, "trailing"},
      {Alignment::top, "top"},
      {Alignment::bottom, "bottom"},
      {Alignment::topLeading, "topLeading"},
      {Alignment::topTrailing, "topTrailing"},
      {Alignment::bottomLeading, "bottomLeading"},
      {Alignment::bottomTrailing, "bottomTrailing"},
  }};
};

template <>
struct Names<SystemColor> {
  static constexpr std::string_view kind = "system colour";
  static constexpr NameTable<SystemColor, 6> table{{
      {SystemColor::green, "green"},
      {SystemColor::orange, "orange"},
      {SystemColor::primary, "primary"},
      {SystemColor::secondary, "secondary"},
      {SystemColor::clear, "clear"},
      {SystemColor::windowBackground, "windowBackground"},
  }};
};

template <>
struct Names<Font::Weight> {
  static constexpr std::string_view kind = "font weight";
  static constexpr NameTable<Font::Weight, 9> table{{
      {Font::Weight::ultraLight, "ultraLight"},
      {Font::Weight::thin, "thin"},
      {Font::Weight::light, "light"},
      {Font::Weight::regular, "regular"},
      {Font::Weight::medium, "medium"},
      {Font::Weight::semibold, "semibold"},
      {Font::Weight::bold, "bold"},
      {Font::Weight::heavy, "heavy"},
      {Font::Weight::black, "black"},
  }};
};

template <>
struct Names<Font::Design> {
  static constexpr std::string_view kind = "font design";
  static constexpr NameTable<Font::Design, 4> table{{
      {Font::Design::standard, "default"},
      {Font::Design::rounded, "rounded"},
      {Font::Design::monospaced, "monospaced"},
      {Font::Design::serif, "serif"},
  }};
};

template <>
struct Names<HierarchicalShapeStyle> {
  static constexpr std::string_view kind = "hierarchical shape style";
  static constexpr NameTable<HierarchicalShapeStyle, 3> table{{
      {HierarchicalShapeStyle::primary, "primary"},
      {HierarchicalShapeStyle::secondary, "secondary"},
      {HierarchicalShapeStyle::tertiary, "tertiary"},
  }};
};

template <>
struct Names<ContainerBackgroundPlacement> {
  static constexpr std::string_view kind = "container background placement";
  static constexpr NameTable<ContainerBackgroundPlacement, 1> table{{
      {ContainerBackgroundPlacement::widget, "widget"},
  }};
};

/// The name of `value`; "?" for a value outside the enumeration.
template <class T>
constexpr std::string_view nameOf(const T& value) {
  for (const auto& [candidate, name] : Names<T>::table) {
    if (candidate == value) {
      return name;
    }
  }
  return "?";
}

/// The value named exactly `name`, or nothing.
template <class T>
constexpr std::optional<T> valueNamed(std::string_view name) {
  for (const auto& [candidate, candidateName] : Names<T>::table) {
    if (candidateName == name) {
      return candidate;
    }
  }
  return std::nullopt;
}

}  // namespace platform::ui::internal
