// Random tree generation for the initial population and for mutation.
#pragma once

#include <cstdint>

#include "engine/treeops.h"

namespace quarvel {

struct Engine;

// A random tree of population p with at most `depth` function levels. `force`
// makes the root a function node; `full` makes every position above depth 0 one.
// Draws are depth-first: one per terminal and per unforced position.
[[nodiscard]] Tree generate_tree(Engine& engine, std::int32_t population, std::int32_t depth,
                                 bool force, bool full, TreeNode* parent);

}  // namespace quarvel
