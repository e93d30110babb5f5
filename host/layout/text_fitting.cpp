#include "host/layout/text_fitting.hpp"

#include <functional>
#include <string_view>
#include <vector>

#include "host/layout/sanitize.hpp"
#include "platform/foundation/utf8.hpp"

namespace velto::host::layout {

namespace {

constexpr double kEpsilon = 1e-6;

/// The byte offsets just past each UTF-8 character of `text`.
std::vector<std::size_t> characterEnds(std::string_view text) {
  std::vector<std::size_t> ends;
  for (std::size_t i = 0; i < text.size();) {
    platform::foundation::nextCodePoint(text, i);
    ends.push_back(i);
  }
  return ends;
}

}  // namespace

std::size_t MeasureCache::KeyHash::operator()(const Key& key) const {
  return std::hash<std::string>{}(key.text) ^ (hashValue(key.style) << 1);
}

const TextMetrics& MeasureCache::measure(const std::string& text, const TextStyle& style) {
  Key key{text, style};
  auto found = measured_.find(key);
  if (found == measured_.end()) {
    const TextMetrics metrics = measurer_.measure(text, style);
    found = measured_
                .emplace(std::move(key),
                         TextMetrics{lengthOr(metrics.width, 0.0), lengthOr(metrics.ascent, 0.0),
                                     lengthOr(metrics.descent, 0.0)})
                .first;
  }
  return found->second;
}

TextFit fitText(const std::string& text, const TextStyle& style, double minimumScale,
                std::optional<double> width, MeasureCache& cache) {
  const TextMetrics& full = cache.measure(text, style);
  if (!width || full.width <= *width + kEpsilon) {
    return {text, 1.0, full};
  }
  if (full.width * minimumScale <= *width + kEpsilon) {
    return {text, *width / full.width, full};
  }
  const double limit = *width / minimumScale + kEpsilon;
  const std::vector<std::size_t> ends = characterEnds(text);
  const auto candidate = [&](std::size_t characters) {
    std::string start = text.substr(0, characters == 0 ? 0 : ends[characters - 1]);
    while (!start.empty() && (start.back() == ' ' || start.back() == '\t')) {
      start.pop_back();
    }
    start += "\u2026";
    return start;
  };
  // Binary search for the widest count of characters whose candidate fits;
  // the whole text does not.
  std::size_t low = 0;
  std::size_t high = ends.empty() ? 0 : ends.size() - 1;
  std::optional<std::string> best;
  while (low <= high) {
    const std::size_t middle = low + (high - low) / 2;
    std::string shortened = candidate(middle);
    if (cache.measure(shortened, style).width <= limit) {
      best = std::move(shortened);
      low = middle + 1;
    } else if (middle == 0) {
      break;
    } else {
      high = middle - 1;
    }
  }
  std::string shown = best.value_or(std::string());
  const TextMetrics metrics = cache.measure(shown, style);
  return {std::move(shown), minimumScale, metrics};
}

}  // namespace velto::host::layout
