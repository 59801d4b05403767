#include "data/plaintext.h"

#include <algorithm>
#include <vector>

namespace quarvel::data {

std::string_view trim_blanks(std::string_view text) noexcept {
  while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
  return text;
}

std::string wrap_words(std::span<const std::string> words, std::size_t width,
                       std::string_view indent) {
  std::string text;
  std::size_t line = 0;  // the length of the line so far, without its indent
  for (const std::string& word : words) {
    if (line > 0 && line + 1 + word.size() > width) {
      text += '\n';
      text += indent;
      line = 0;
    } else if (line > 0) {
      text += ' ';
      ++line;
    }
    text += word;
    line += word.size();
  }
  return text;
}

std::string wrap_text(std::string_view text, std::size_t width) {
  std::vector<std::string> words;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t space = std::min(text.find(' ', start), text.size());
    words.emplace_back(text.substr(start, space - start));
    start = space + 1;
  }
  return wrap_words(words, width);
}

}  // namespace quarvel::data
