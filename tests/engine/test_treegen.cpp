#include <gtest/gtest.h>

#include "engine/breeding.h"
#include "engine/population.h"
#include "engine/treegen.h"
#include "support/engine_fixtures.h"

using namespace quarvel;
using namespace quarvel::testing;

namespace {
int draws_between(RandomGenerators before, const RandomGenerators& after) {
  int draws = 0;
  while (before.integer_state != after.integer_state && draws < 100000) {
    (void)lrand31(before);
    ++draws;
  }
  return draws;
}
}  // namespace

TEST(TreeGeneration, FullTreeOfDepthFive) {
  auto engine = make_engine(wave(30), wave(5));
  const RandomGenerators before = engine->random;
  Tree tree = generate_tree(*engine, 0, 5, true, true, nullptr);
  EXPECT_EQ(count_function_nodes(tree.get()), 31);
  EXPECT_EQ(count_nodes(tree.get()) - count_function_nodes(tree.get()), 32);
  EXPECT_EQ(tree_depth(tree.get()), 5);
  EXPECT_EQ(draws_between(before, engine->random), 32);
  EXPECT_EQ(engine->registry.size(), 31u);
  EXPECT_FALSE(tree->model()->fitted());
}

TEST(TreeGeneration, DepthZeroIsOneTerminalEvenWhenForced) {
  auto engine = make_engine(wave(30), wave(5));
  RandomGenerators expected = engine->random;
  Tree tree = generate_tree(*engine, 0, 0, true, false, nullptr);
  EXPECT_FALSE(tree->is_function());
  EXPECT_EQ(tree->id, lrand31(expected) % 100);
  EXPECT_EQ(engine->random.integer_state, expected.integer_state);
}

TEST(TreeGeneration, UnforcedPositionsDrawKindAndTerminalAtOnce) {
  auto engine =
      make_engine(wave(30), wave(5), 1, [](RunParameters& p) { p.terminal_table_size[0] = 1; });
  // With one terminal an unforced position is a function node half of the time; every terminal is
  // X1.
  int functions = 0;
  int roots = 0;
  for (int i = 0; i < 400; ++i) {
    Tree tree = generate_tree(*engine, 0, 3, true, false, nullptr);
    ASSERT_TRUE(tree->is_function());
    for (int c = 0; c < 2; ++c) {
      ++roots;
      functions += tree->child(c)->is_function() ? 1 : 0;
    }
    for (int k = 0; k < count_nodes(tree.get()); ++k) {
      const TreeNode* node = nth_node(tree.get(), k);
      if (!node->is_function()) {
        EXPECT_EQ(node->id, 0);
      }
    }
  }
  EXPECT_NEAR(static_cast<double>(functions) / roots, 0.5, 0.06);
}

TEST(PopulationCreation, GrowGivesFunctionRootsMostlyOneNode) {
  auto engine =
      make_engine(wave(30), wave(5), 1, [](RunParameters& p) { p.population_size[0] = 200; });
  initialize_populations(*engine, 1);
  int single = 0;
  for (const Tree& tree : engine->populations[0].individuals) {
    ASSERT_TRUE(tree->is_function());
    single += count_function_nodes(tree.get()) == 1 ? 1 : 0;
  }
  EXPECT_GT(single, 150);
}

TEST(PopulationCreation, RampedScheduleOfDepthsAndFullBlocks) {
  auto engine = make_engine(wave(30), wave(5), 1, [](RunParameters& p) {
    p.population_size[0] = 10;
    p.elite_size[0] = 1;
    p.grow_method[0] = RAMPED;
    p.max_depth_for_new_trees[0] = 6;
  });
  initialize_populations(*engine, 1);
  const auto& trees = engine->populations[0].individuals;
  for (int j = 0; j < 5; ++j) {
    // full trees of depths 1..5
    EXPECT_EQ(count_function_nodes(trees[j].get()), (1 << (j + 1)) - 1) << j;
  }
  for (int j = 5; j < 10; ++j) EXPECT_LE(tree_depth(trees[j].get()), j - 4) << j;
}

TEST(PopulationCreation, RampedWithDepthOneGivesDepthOneTrees) {
  auto engine = make_engine(wave(30), wave(5), 1, [](RunParameters& p) {
    p.population_size[0] = 6;
    p.elite_size[0] = 1;
    p.grow_method[0] = RAMPED;
    p.max_depth_for_new_trees[0] = 1;
  });
  initialize_populations(*engine, 1);
  for (const Tree& tree : engine->populations[0].individuals) EXPECT_EQ(tree_depth(tree.get()), 1);
}
