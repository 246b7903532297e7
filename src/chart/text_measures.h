// What measuring a text with the run's font gave, kept for the run.
//
// GD's measuring call fails or succeeds by the font, the size, the angle and the characters a
// text uses (a glyph that fails to load fails wherever it appears), never by their order or
// number. Edge labels use a handful of characters, so a chart of thousands of labels needs only
// a few measurements. Texts that GD decodes first (character entities such as "&#65;", UTF-8
// sequences) have no such key and are measured every time.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace histchart {

struct TextMeasureKey {
  int size;
  double angle;
  std::array<std::uint64_t, 2> characters;  // one bit per ASCII code

  bool operator<(const TextMeasureKey& other) const {
    if (size != other.size) return size < other.size;
    if (angle != other.angle) return angle < other.angle;
    return characters < other.characters;
  }
};

inline std::optional<TextMeasureKey> text_measure_key(std::string_view text, int size,
                                                      double angle) {
  TextMeasureKey key{size, angle, {}};
  for (char c : text) {
    const auto code = static_cast<unsigned char>(c);
    if (code >= 128 || c == '&') return std::nullopt;
    key.characters[code / 64] |= std::uint64_t{1} << (code % 64);
  }
  return key;
}

// The measuring call's error message by key; nullopt where it succeeded.
using TextMeasures = std::map<TextMeasureKey, std::optional<std::string>>;

}  // namespace histchart
