// Plain-text rules the rooms share: the blanks around a cell or a typed text,
// and words broken into lines of a width.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace quarvel::data {

// A space or a tab: what may stand around a cell's text.
[[nodiscard]] constexpr bool is_blank(char c) noexcept {
  return c == ' ' || c == '\t';
}

// `text` without the blanks at its ends.
[[nodiscard]] std::string_view trim_blanks(std::string_view text) noexcept;

// `words` joined into lines of at most `width` characters, a space between
// two words on a line (a word longer than `width` stands alone on its line);
// each line after the first starts with `indent`, which the width does not
// count.
[[nodiscard]] std::string wrap_words(std::span<const std::string> words, std::size_t width,
                                     std::string_view indent = {});

// `text` broken into such lines at its spaces.
[[nodiscard]] std::string wrap_text(std::string_view text, std::size_t width);

}  // namespace quarvel::data
