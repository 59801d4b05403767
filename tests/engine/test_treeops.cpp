#include <gtest/gtest.h>

#include "engine/fitting.h"
#include "support/engine_fixtures.h"

using namespace quarvel;
using namespace quarvel::testing;

class TreeModel : public ::testing::Test {
 protected:
  std::unique_ptr<Engine> engine = make_engine(wave(40), wave(10, 1.0));
  Engine& e = *engine;
};

TEST_F(TreeModel, PrepareBuildsTablesAndRegistry) {
  EXPECT_EQ(e.function_table.size(), 1);
  EXPECT_EQ(e.function_table.coefficient_count(1), 6);
  EXPECT_EQ(e.function_table.coefficient_count(-1), 3);
  EXPECT_EQ(e.populations[0].function_set.names, std::vector<std::string>{"+"});
  EXPECT_EQ(e.populations[0].terminal_table.names.size(), 100u);
  EXPECT_EQ(e.populations[0].terminal_table.names[2], "X3");
  EXPECT_EQ(e.design_matrix.rows(), 40);
  EXPECT_EQ(e.design_matrix.cols(), 10);
  EXPECT_EQ(e.registry.size(), 0u);
}

TEST_F(TreeModel, CopiesShareModelsAndFitNothing) {
  Tree tree = function(e, function(e, terminal(e, 0), terminal(e, 4)), terminal(e, 2));
  const auto first = evaluate_tree(e, tree.get());
  Tree copy = copy_tree(e, tree.get());
  EXPECT_EQ(copy->model(), tree->model());
  EXPECT_EQ(copy->child(0)->parent, copy.get());

  const auto state = e.random.integer_state;
  const auto models = e.registry.size();
  EXPECT_EQ(evaluate_tree(e, copy.get()), first);
  EXPECT_EQ(e.random.integer_state, state);  // no first fit, no draw
  free_tree(std::move(copy));
  EXPECT_EQ(e.registry.size(), models);
  EXPECT_TRUE(tree->model()->fitted());
  EXPECT_EQ(evaluate_tree(e, tree.get()), first);
  EXPECT_EQ(e.random.integer_state, state);
}

TEST_F(TreeModel, ResetAncestorModelsRefreshesExactlyThePathAbove) {
  Tree tree = function(e, function(e, terminal(e, 0), terminal(e, 1)),
                       function(e, terminal(e, 2), terminal(e, 3)));
  (void)evaluate_tree(e, tree.get());
  NodeModel* sibling = tree->child(1)->model();
  TreeNode* leaf = tree->child(0)->child(0);
  reset_ancestor_models(e, leaf);
  EXPECT_FALSE(tree->model()->fitted());
  EXPECT_FALSE(tree->child(0)->model()->fitted());
  EXPECT_EQ(tree->child(1)->model(), sibling);
  EXPECT_TRUE(sibling->fitted());
  // Root first: the root's new model is older than its child's.
  EXPECT_LT(tree->model()->serial, tree->child(0)->model()->serial);
}

TEST_F(TreeModel, FindParent) {
  Tree tree = function(e, terminal(e, 0), function(e, terminal(e, 1), terminal(e, 2)));
  TreeNode* deep = tree->child(1)->child(1);
  EXPECT_EQ(find_parent(tree.get(), deep), tree->child(1));
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(find_parent(tree.get(), tree.get()), nullptr);
  Tree stranger = terminal(e, 5);
  EXPECT_EQ(find_parent(tree.get(), stranger.get()), nullptr);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "ERROR in parent get ... \n");
}

TEST_F(TreeModel, DiagnosticsForInvalidKindsAndIds) {
  ::testing::internal::CaptureStderr();
  Tree odd = create_tree_node(e, 0, 7, 0, nullptr);
  Tree bad_id = create_tree_node(e, 0, kFunctionNode, 3, nullptr);
  EXPECT_EQ(copy_tree(e, odd.get()), nullptr);
  free_tree(std::move(odd));
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "nodetype 7 must be 0 or 1 in create_tree_node() <treeops>\n"
            "id 3 must be >= 0 and < 1 in init_function() <treeops>\n"
            "nodetype 7 must be 0 or 1 in copy_tree() <treeops>\n"
            "nodetype 7 must be 0 or 1 in free_tree() <treeops>\n");
}

TEST(TreeModelTerminals, SmallTableNamesAndLags) {
  auto engine = make_engine({1, 2, 4, 8, 16}, {32}, 1,
                            [](RunParameters& p) { p.terminal_table_size[0] = 3; });
  EXPECT_EQ(engine->populations[0].terminal_table.names,
            (std::vector<std::string>{"X1", "X2", "X3"}));
  // X3 at t = 4 reads the value three steps back.
  EXPECT_EQ(series_value(engine->data, 4, 3), engine->data.values[1]);
}
