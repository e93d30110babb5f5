#include "host/backends/cairo/pango_text.hpp"

#include <algorithm>
#include <initializer_list>
#include <set>

#include <pango/pangocairo.h>

namespace velto::host::cairo {

using layout::TextMetrics;
using layout::TextStyle;
using platform::ui::Font;

namespace {

std::set<std::string, std::less<>> installedFamilies(PangoFontMap* map) {
  PangoFontFamily** families = nullptr;
  int count = 0;
  pango_font_map_list_families(map, &families, &count);
  std::set<std::string, std::less<>> names;
  for (int i = 0; i < count; ++i) {
    names.emplace(pango_font_family_get_name(families[i]));
  }
  g_free(families);
  return names;
}

std::string firstInstalled(const std::set<std::string, std::less<>>& installed,
                           std::initializer_list<const char*> preferred, const char* generic) {
  for (const char* name : preferred) {
    if (installed.contains(name)) {
      return name;
    }
  }
  return generic;
}

}  // namespace

const std::string& FontFamilies::forDesign(Font::Design design) const {
  switch (design) {
    case Font::Design::standard:
      return standard;
    case Font::Design::rounded:
      return rounded;
    case Font::Design::monospaced:
      return monospaced;
    case Font::Design::serif:
      return serif;
  }
  return standard;
}

PangoWeight pangoWeight(Font::Weight weight) {
  switch (weight) {
    case Font::Weight::ultraLight:
      return PANGO_WEIGHT_ULTRALIGHT;
    case Font::Weight::thin:
      return PANGO_WEIGHT_THIN;
    case Font::Weight::light:
      return PANGO_WEIGHT_LIGHT;
    case Font::Weight::regular:
      return PANGO_WEIGHT_NORMAL;
    case Font::Weight::medium:
      return PANGO_WEIGHT_MEDIUM;
    case Font::Weight::semibold:
      return PANGO_WEIGHT_SEMIBOLD;
    case Font::Weight::bold:
      return PANGO_WEIGHT_BOLD;
    case Font::Weight::heavy:
      return PANGO_WEIGHT_ULTRABOLD;
    case Font::Weight::black:
      return PANGO_WEIGHT_HEAVY;
  }
  return PANGO_WEIGHT_NORMAL;
}

PangoTextMeasurer::PangoTextMeasurer()
    : fontMap_(pango_cairo_font_map_new()),
      context_(pango_font_map_create_context(fontMap_.get())) {
  const FontOptionsPtr options(cairo_font_options_create());
  cairo_font_options_set_antialias(options.get(), CAIRO_ANTIALIAS_GRAY);
  cairo_font_options_set_hint_style(options.get(), CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_hint_metrics(options.get(), CAIRO_HINT_METRICS_OFF);
  pango_cairo_context_set_font_options(context_.get(), options.get());
  pango_context_set_round_glyph_positions(context_.get(), FALSE);

  const auto installed = installedFamilies(fontMap_.get());
  families_.standard = firstInstalled(installed, {"DejaVu Sans"}, "Sans");
  families_.rounded = firstInstalled(installed, {"Comfortaa"}, families_.standard.c_str());
  families_.monospaced =
      firstInstalled(installed, {"JetBrains Mono", "DejaVu Sans Mono"}, "Monospace");
  families_.serif = firstInstalled(installed, {"DejaVu Serif"}, "Serif");
}

PangoTextMeasurer::~PangoTextMeasurer() = default;

void PangoTextMeasurer::beginFrame() {
  linesInFrame_ = 0;
}

TextMetrics PangoTextMeasurer::measure(std::string_view text, const TextStyle& style) const {
  return shaped(text, style).metrics;
}

PangoLayout* PangoTextMeasurer::line(std::string_view text, const TextStyle& style) const {
  return shaped(text, style).layout.get();
}

std::size_t PangoTextMeasurer::styleIndex(const TextStyle& style) const {
  for (std::size_t i = 0; i < styles_.size(); ++i) {
    if (styles_[i].style == style) {
      return i;
    }
  }
  FontDescriptionPtr font(pango_font_description_new());
  pango_font_description_set_family(font.get(), families_.forDesign(style.font.design).c_str());
  pango_font_description_set_weight(font.get(), pangoWeight(style.font.weight));
  pango_font_description_set_absolute_size(font.get(), pango_units_from_double(style.font.size));
  AttrListPtr attributes(pango_attr_list_new());
  if (style.tracking != 0) {
    pango_attr_list_insert(attributes.get(),
                           pango_attr_letter_spacing_new(pango_units_from_double(style.tracking)));
  }
  std::optional<std::array<double, 10>> padding;
  if (style.monospacedDigits) {
    pango_attr_list_insert(attributes.get(), pango_attr_font_features_new("tnum 1"));
    padding = digitPadding(font.get(), attributes.get());
  }
  styles_.push_back({style, std::move(font), std::move(attributes), padding});
  return styles_.size() - 1;
}

std::optional<std::array<double, 10>> PangoTextMeasurer::digitPadding(
    const PangoFontDescription* font, PangoAttrList* attributes) const {
  const platform::gobject::ObjectRef<PangoLayout> probe(pango_layout_new(context_.get()));
  pango_layout_set_font_description(probe.get(), font);
  pango_layout_set_attributes(probe.get(), attributes);
  std::array<double, 10> widths{};
  for (std::size_t digit = 0; digit < widths.size(); ++digit) {
    const char text[] = {static_cast<char>('0' + digit)};
    pango_layout_set_text(probe.get(), text, 1);
    PangoRectangle logical{};
    pango_layout_get_extents(probe.get(), nullptr, &logical);
    widths[digit] = pango_units_to_double(logical.width);
  }
  const auto [narrowest, widest] = std::minmax_element(widths.begin(), widths.end());
  if (*widest - *narrowest < 1e-3) {
    return std::nullopt;
  }
  std::array<double, 10> padding{};
  for (std::size_t digit = 0; digit < widths.size(); ++digit) {
    padding[digit] = *widest - widths[digit];
  }
  return padding;
}

AttrListPtr PangoTextMeasurer::paddedDigits(std::string_view text, const Style& style) {
  // Pango spaces a character half before and half after, and drops the outer
  // half at the ends of a line, so a digit there gets twice its padding.
  AttrListPtr attributes(pango_attr_list_new());
  pango_attr_list_insert(attributes.get(), pango_attr_font_features_new("tnum 1"));
  const double tracking = style.style.tracking;
  const auto space = [&](std::size_t start, std::size_t end, double spacing) {
    if (spacing == 0) {
      return;
    }
    PangoAttribute* attribute = pango_attr_letter_spacing_new(pango_units_from_double(spacing));
    attribute->start_index = static_cast<guint>(start);
    attribute->end_index = static_cast<guint>(end);
    pango_attr_list_insert(attributes.get(), attribute);
  };
  std::size_t stretch = 0;  // start of the characters since the last digit
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') {
      continue;
    }
    space(stretch, i, tracking);
    const bool atEdge = i == 0 || i + 1 == text.size();
    const double padding = (*style.digitPadding)[static_cast<std::size_t>(text[i] - '0')];
    space(i, i + 1, tracking + (atEdge ? 2 : 1) * padding);
    stretch = i + 1;
  }
  space(stretch, text.size(), tracking);
  return attributes;
}

const PangoTextMeasurer::Line& PangoTextMeasurer::shaped(std::string_view text,
                                                         const TextStyle& style) const {
  const std::size_t wanted = styleIndex(style);
  for (std::size_t i = 0; i < linesInFrame_; ++i) {
    const Line& line = lines_[i];
    if (line.style == wanted && line.text == text) {
      return line;
    }
  }
  if (linesInFrame_ == kMaxLinesPerFrame) {
    linesInFrame_ = 0;
  }
  if (linesInFrame_ == lines_.size()) {
    lines_.push_back({{},
                      wanted,
                      platform::gobject::ObjectRef<PangoLayout>(pango_layout_new(context_.get())),
                      {}});
    lines_.back().style = styles_.size();  // not yet styled
  }
  Line& line = lines_[linesInFrame_++];
  PangoLayout* layout = line.layout.get();
  const Style& chosen = styles_[wanted];
  const bool restyled = line.style != wanted;
  if (restyled) {
    line.style = wanted;
    pango_layout_set_font_description(layout, chosen.font.get());
  }
  if (chosen.digitPadding) {
    pango_layout_set_attributes(layout, paddedDigits(text, chosen).get());
    line.ownAttributes = true;
  } else if (restyled || line.ownAttributes) {
    pango_layout_set_attributes(layout, chosen.attributes.get());
    line.ownAttributes = false;
  }
  line.text.assign(text);
  const auto length = static_cast<gssize>(std::min<std::size_t>(text.size(), G_MAXINT));
  if (g_utf8_validate(text.data(), length, nullptr)) {
    pango_layout_set_text(layout, text.data(), static_cast<int>(length));
  } else {
    // Pango would replace the bad bytes too, but with a warning on stderr.
    gchar* valid = g_utf8_make_valid(text.data(), length);
    pango_layout_set_text(layout, valid, -1);
    g_free(valid);
  }

  PangoRectangle logical{};
  pango_layout_get_extents(layout, nullptr, &logical);
  const double baseline = pango_units_to_double(pango_layout_get_baseline(layout));
  line.metrics = {pango_units_to_double(logical.width), baseline,
                  pango_units_to_double(logical.height) - baseline};
  return line;
}

}  // namespace velto::host::cairo
