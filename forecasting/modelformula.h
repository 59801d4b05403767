// The best tree of a population as named node equations, each term in the
// program's own order: what a forecast past the data steps through, and what
// the model files write out.
#pragma once

#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "data/numbertext.h"

namespace quarvel {
struct Engine;
}

namespace quarvel::forecasting {

// An input of a node: the scaled value `index` steps back (Xk), or the output
// of an earlier node (n`index`).
struct ModelInput {
  bool node = false;
  int index = 0;
};

// One node of the tree: the quadratic on two inputs
//   c0·lim(1) + c1·lim(a) + c2·lim(b) + c3·lim(a·b) + c4·lim(a²) + c5·lim(b²),
// each term bounded to [-L, L] by the value limit L, summed from 0 in this
// order; or, where both inputs coincide on the training points, the one-input
// form c0 + c1·a + c2·a² on the first.
struct NodeEquation {
  ModelInput first;
  ModelInput second;
  bool one_input = false;
  std::vector<double> coefficients;
};

struct ModelFormula {
  std::vector<NodeEquation> nodes;  // in evaluation order: n1, n2, ...
  ModelInput output;                // a lone terminal when the tree is one
  std::vector<int> lags;            // the lags the model reads, ascending
  double value_limit = 0.0;
  double low = 0.0;  // the minimum and maximum the series was scaled by
  double high = 1.0;
};

// The best tree of `population` (0-based) of the engine's run. A subtree the
// tree holds twice (the same fitted model) is one node.
[[nodiscard]] ModelFormula describe_best_tree(const Engine& engine, std::int32_t population);

// The equations with their coefficients at full precision, and the output.
[[nodiscard]] std::string formula_text(const ModelFormula& formula);

// "n3", "X2": a name and its number, built by appending (GCC 12 misreads a
// literal added to a temporary string as an overlapping copy).
template <std::integral Number>
[[nodiscard]] std::string numbered(std::string_view prefix, Number number) {
  std::string text(prefix);
  text += std::to_string(number);
  return text;
}

// An input by its name in the formula: "n3" or "X2".
[[nodiscard]] std::string name_of(const ModelInput& input);

// A term of a node as the exported files write it: its text in the formula
// ("lim(X2·n1)") and its expression in Python and C ("(x2 * n1)"), formed by
// the same term list as the program's own values.
struct SymbolicTerm {
  std::string text;
  std::string code;
  int input = -1;         // which input of the node the term is, -1 for others
  bool constant = false;  // the term 1
  bool bounded = false;   // the value limit applies to it

  friend SymbolicTerm operator*(const SymbolicTerm& a, const SymbolicTerm& b) {
    SymbolicTerm product;
    product.text = a.input >= 0 && a.input == b.input ? a.text + "²" : a.text + "·" + b.text;
    product.code = "(" + a.code + " * " + b.code + ")";
    return product;
  }
};

// The terms of a node in the program's order. The bound shows as "lim(...)"
// in the text, except on a 1 that the limit cannot change.
[[nodiscard]] std::vector<SymbolicTerm> node_terms(const NodeEquation& node, double value_limit);

}  // namespace quarvel::forecasting
