#include <gtest/gtest.h>

#include "engine/treeio.h"
#include "support/engine_fixtures.h"
#include "support/locale.h"

using namespace quarvel;
using namespace quarvel::testing;

namespace {
void set_model(TreeNode* node, int kind_id, std::vector<double> coefficients) {
  node->model()->kind_id = kind_id;
  node->model()->coefficients = std::move(coefficients);
}
}  // namespace

TEST(TreePrinting, NodesCoefficientsAndIndentation) {
  auto engine = make_engine(wave(20), wave(5));
  Engine& e = *engine;
  Tree flat = function(e, terminal(e, 0), terminal(e, 1));
  set_model(flat.get(), 1, {0.1, 0.2, 0.3, 0, 0.5, -1});
  const std::string head = "(NODE" + std::to_string(flat->model()->serial) + "    :";
  std::string text;
  pprint_tree(e, flat.get(), text, 0);
  EXPECT_EQ(text, head +
                      "[0]0.100000 [1]0.200000 [2]0.300000 [3]0.000000 [4]0.500000 [5]-1.000000 \n"
                      "  X1\n  X2)\n");

  Tree nested = function(e, terminal(e, 0), function(e, terminal(e, 2), terminal(e, 2)));
  set_model(nested.get(), 1, {0.1, 0.2, 0.3, 0, 0.5, -1});
  set_model(nested->child(1), -1, {1, 2, -12.5});
  text.clear();
  pprint_tree(e, nested.get(), text, 0);
  const std::string inner = "(NODE" + std::to_string(nested->child(1)->model()->serial) + "    :";
  EXPECT_EQ(text,
            "(NODE" + std::to_string(nested->model()->serial) +
                "    :[0]0.100000 [1]0.200000 [2]0.300000 [3]0.000000 [4]0.500000 [5]-1.000000 \n"
                "  X1\n  " +
                inner + "[0]1.000000 [1]2.000000 [2]-12.500000 \n    X3\n    X3))\n");
}

// A window's process runs in the user's locale: its trees read as the
// runner's, with decimal points.
TEST(TreePrinting, CoefficientsIgnoreTheUserLocale) {
  auto engine = make_engine(wave(20), wave(5));
  Engine& e = *engine;
  Tree flat = function(e, terminal(e, 0), terminal(e, 1));
  set_model(flat.get(), 1, {0.1, -2.5, 1e300, 0, 0.5, -1});
  std::string in_c_locale;
  pprint_tree(e, flat.get(), in_c_locale, 0);
  const quarvel::testing::CommaDecimalLocale locale;
  if (!locale.set()) GTEST_SKIP() << "no locale with a comma decimal separator is installed";
  std::string text;
  pprint_tree(e, flat.get(), text, 0);
  EXPECT_EQ(text, in_c_locale);
  EXPECT_NE(text.find("[1]-2.500000 "), std::string::npos) << text;
}

TEST(TreePrinting, TerminalCopiesAndLargeTrees) {
  auto engine = make_engine(wave(20), wave(5));
  Engine& e = *engine;
  std::string text;
  Tree x5 = terminal(e, 4);
  pprint_tree(e, x5.get(), text, 0);
  EXPECT_EQ(text, "X5\n");

  // A tree far larger than any fixed text field prints whole; copies print the same.
  Tree big = terminal(e, 0);
  for (int i = 0; i < 200; ++i) {
    big = function(e, terminal(e, i % 50), std::move(big));
    set_model(big.get(), 1, {1e300, -1e300, 0, 0, 0, 0});
  }
  std::string original;
  std::string copied;
  pprint_tree(e, big.get(), original, 0);
  Tree copy = copy_tree(e, big.get());
  pprint_tree(e, copy.get(), copied, 0);
  EXPECT_EQ(original, copied);
  EXPECT_GT(original.size(), 100000u);
  EXPECT_EQ(original.back(), '\n');
  // The innermost X1 ends the text, followed by every closing parenthesis.
  EXPECT_EQ(original.substr(original.size() - 203), "X1" + std::string(200, ')') + "\n");
}
