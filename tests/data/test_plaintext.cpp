// The plain-text rules the rooms share: the blanks around a text, and words
// broken into lines as --help's descriptions and the model files' settings
// lines break them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/plaintext.h"

namespace quarvel::data {
namespace {

TEST(PlainText, BlanksAreSpacesAndTabsAtTheEnds) {
  EXPECT_EQ(trim_blanks(" \t1958-12\t "), "1958-12");
  EXPECT_EQ(trim_blanks("a b"), "a b");
  EXPECT_EQ(trim_blanks(" \t "), "");
  // A line end or other white space is not a blank.
  EXPECT_EQ(trim_blanks("\n12\r"), "\n12\r");
}

TEST(PlainText, WordsFillLinesUpToTheWidth) {
  struct Case {
    const char* text;
    std::size_t width;
    const char* wrapped;
  };
  for (const Case& c : {
           Case{"the best tree's text", 20, "the best tree's text"},
           Case{"the best tree's text", 19, "the best tree's\ntext"},
           Case{"a b c", 1, "a\nb\nc"},
           // A word longer than the width stands alone.
           Case{"go 1234567890 on", 5, "go\n1234567890\non"},
           Case{"", 10, ""},
       }) {
    EXPECT_EQ(wrap_text(c.text, c.width), c.wrapped) << c.text << " at " << c.width;
  }
}

TEST(PlainText, LinesAfterTheFirstTakeTheIndentOutsideTheWidth) {
  const std::vector<std::string> items{"--generations 50", "--seed 1", "--populations 2"};
  EXPECT_EQ(wrap_words(items, 25, "#   "), "--generations 50 --seed 1\n#   --populations 2");
  EXPECT_EQ(wrap_words(items, 16, "  "), "--generations 50\n  --seed 1\n  --populations 2");
}

}  // namespace
}  // namespace quarvel::data
