// Tree printing: function nodes with their model identifier and coefficients,
// terminals by name, children indented under their parent.
#pragma once

#include <string>

#include "engine/treeops.h"

namespace quarvel {

struct Engine;

// Appends the rendering of the subtree to `text`; indent 0 renders a whole tree.
void pprint_tree(const Engine& engine, const TreeNode* node, std::string& text, int indent);

}  // namespace quarvel
