#include "engine/treeio.h"

#include <charconv>
#include <cstdio>
#include <string>

#include "engine/engine.h"

namespace quarvel {

void pprint_tree(const Engine& engine, const TreeNode* node, std::string& text, int indent) {
  text.append(static_cast<std::size_t>(indent), ' ');
  if (node->kind == kFunctionNode) {
    const NodeModel& model = *node->model();
    char item[400];
    std::snprintf(item, sizeof item, "(NODE%lld    :", static_cast<long long>(model.serial));
    text += item;
    const std::int32_t m = engine.function_table.coefficient_count(model.kind_id);
    for (std::int32_t j = 0; j < m; ++j) {
      // Six decimals, as printf's %f writes them in the "C" locale, whatever
      // the process's locale (a window's is the user's); at most 317
      // characters.
      text += '[';
      text += std::to_string(j);
      text += ']';
      const auto written =
          std::to_chars(item, item + sizeof item, model.coefficients[static_cast<std::size_t>(j)],
                        std::chars_format::fixed, 6);
      text.append(item, written.ptr);
      text += ' ';
    }
    text += '\n';
    pprint_tree(engine, node->child(0), text, indent + 2);
    text += '\n';
    pprint_tree(engine, node->child(1), text, indent + 2);
    text += ')';
  } else if (node->kind == kTerminalNode) {
    text += engine.populations[static_cast<std::size_t>(node->population)]
                .terminal_table.names[static_cast<std::size_t>(node->id)];
  } else {
    std::fprintf(stderr, "nodetype %d must be %d or %d in pprint_tree() <treeio>\n", node->kind,
                 kFunctionNode, kTerminalNode);
  }
  if (indent == 0) text += '\n';
}

}  // namespace quarvel
