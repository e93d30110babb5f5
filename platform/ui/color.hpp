#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace platform::ui {

/// The system colours the vocabulary knows. The host resolves each to RGBA for
/// the current light or dark appearance; `clear` is fully transparent.
enum class SystemColor : std::uint8_t {
  green,
  orange,
  primary,
  secondary,
  clear,
  windowBackground,  // the window background colour of the desktop theme
};

/// A system colour with an opacity factor that scales the resolved colour's alpha.
class Color {
 public:
  constexpr explicit Color(SystemColor name, double opacity = 1.0)
      : name_(name), opacity_(opacity) {}

  static constexpr Color green() { return Color(SystemColor::green); }
  static constexpr Color orange() { return Color(SystemColor::orange); }
  static constexpr Color primary() { return Color(SystemColor::primary); }
  static constexpr Color secondary() { return Color(SystemColor::secondary); }
  static constexpr Color clear() { return Color(SystemColor::clear); }
  /// The background colour of windows, following the appearance.
  static constexpr Color windowBackground() { return Color(SystemColor::windowBackground); }

  constexpr SystemColor name() const { return name_; }
  /// The factor applied to the resolved colour's alpha; 1 leaves it unchanged.
  constexpr double opacity() const { return opacity_; }
  /// This colour with its opacity multiplied by `factor`.
  constexpr Color opacity(double factor) const { return Color(name_, opacity_ * factor); }

  friend constexpr bool operator==(const Color&, const Color&) = default;

 private:
  SystemColor name_;
  double opacity_;
};

/// Colours at evenly spaced stops: the first at location 0, the last at 1.
struct Gradient {
  explicit Gradient(std::vector<Color> stops) : colors(std::move(stops)) {}

  /// The location in 0…1 of the stop at `index`; 0 when there is only one stop.
  double location(std::size_t index) const {
    return colors.size() < 2 ? 0.0
                             : static_cast<double>(index) / static_cast<double>(colors.size() - 1);
  }

  std::vector<Color> colors;

  friend bool operator==(const Gradient&, const Gradient&) = default;
};

}  // namespace platform::ui
