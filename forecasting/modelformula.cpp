#include "forecasting/modelformula.h"

#include <cstdio>
#include <map>
#include <set>

#include "engine/engine.h"
#include "engine/regressors.h"
#include "engine/treeops.h"

namespace quarvel::forecasting {

namespace {

// The tree walked children first, each fitted model named once.
class Describer {
 public:
  explicit Describer(ModelFormula& formula) : formula_(formula) {}

  ModelInput visit(const TreeNode* node) {
    if (!node->is_function()) {
      const int lag = node->id + 1;
      lags_.insert(lag);
      return {false, lag};
    }
    const NodeModel* model = node->model();
    if (const auto named = names_.find(model); named != names_.end()) return {true, named->second};
    NodeEquation equation;
    equation.one_input = model->kind_id < 0;
    equation.first = visit(node->child(0));
    // The one-input form reads its first input alone.
    if (!equation.one_input) equation.second = visit(node->child(1));
    equation.coefficients = model->coefficients;
    formula_.nodes.push_back(std::move(equation));
    const int name = static_cast<int>(formula_.nodes.size());
    names_.emplace(model, name);
    return {true, name};
  }

  void finish() { formula_.lags.assign(lags_.begin(), lags_.end()); }

 private:
  ModelFormula& formula_;
  std::map<const NodeModel*, int> names_;
  std::set<int> lags_;
};

}  // namespace

std::string name_of(const ModelInput& input) {
  return numbered(input.node ? "n" : "X", input.index);
}

std::vector<SymbolicTerm> node_terms(const NodeEquation& node, double value_limit) {
  const auto input = [](const ModelInput& in, int which) {
    SymbolicTerm term;
    term.text = name_of(in);
    term.code = numbered(in.node ? "n" : "x", in.index);
    term.input = which;
    return term;
  };
  const SymbolicTerm one{"1", "1.0", -1, true, false};
  const SymbolicTerm a = input(node.first, 0);
  if (node.one_input) {
    std::vector<SymbolicTerm> terms(kOneInputCoefficients);
    one_input_terms(one, a, terms.data());
    return terms;
  }
  const auto bound = [value_limit](SymbolicTerm term) {
    term.bounded = true;
    if (!(term.constant && value_limit >= 1.0)) term.text = "lim(" + term.text + ")";
    return term;
  };
  std::vector<SymbolicTerm> terms(kTwoInputCoefficients);
  two_input_terms(one, a, input(node.second, 1), bound, terms.data());
  return terms;
}

ModelFormula describe_best_tree(const Engine& engine, std::int32_t population) {
  ModelFormula formula;
  formula.value_limit = engine.data.value_limit;
  formula.low = engine.data.scale_low;
  formula.high = engine.data.scale_high;
  Describer describer(formula);
  const TreeNode* tree =
      engine.populations[static_cast<std::size_t>(population)].best_of_gen_tree.get();
  formula.output = describer.visit(tree);
  describer.finish();
  return formula;
}

std::string formula_text(const ModelFormula& formula) {
  std::string text;
  for (std::size_t i = 0; i < formula.nodes.size(); ++i) {
    const NodeEquation& node = formula.nodes[i];
    const std::vector<SymbolicTerm> terms = node_terms(node, formula.value_limit);
    std::string equation = numbered("n", i + 1) + " =";
    for (std::size_t j = 0; j < node.coefficients.size(); ++j) {
      equation += j == 0 ? " " : " + ";
      equation += numbered("c", j);
      // A coefficient times 1 is the coefficient alone.
      if (terms[j].text != "1") equation += "·" + terms[j].text;
    }
    text += equation + "\n";
    for (std::size_t j = 0; j < node.coefficients.size(); ++j) {
      text += numbered("    c", j) + " = " + data::exact(node.coefficients[j]) + "\n";
    }
  }
  text += "prediction = " + name_of(formula.output) + "\n";
  return text;
}

}  // namespace quarvel::forecasting
