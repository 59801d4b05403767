#include "records/modelexport.h"

#include <algorithm>
#include <cstdio>
#include <string_view>
#include <utility>

#include "data/plaintext.h"
#include "engine/engine.h"
#include "records/outputlist.h"

namespace quarvel::records {

namespace {

// Python and C: one node's sum, term by term in the program's order.
struct CodeStyle {
  std::string indent;
  std::string line_end;
  std::string limit;  // the value limit's name
  bool python = false;
};

std::string node_code(const forecasting::NodeEquation& node, int name, double value_limit,
                      const CodeStyle& style) {
  const std::vector<forecasting::SymbolicTerm> terms = forecasting::node_terms(node, value_limit);
  std::string code = style.indent + "s = 0.0" + style.line_end + "\n";
  for (std::size_t j = 0; j < node.coefficients.size(); ++j) {
    const std::string coefficient = data::exact(node.coefficients[j]);
    if (!terms[j].bounded) {
      code += style.indent + "s += " + coefficient + " * " + terms[j].code + style.line_end + "\n";
      continue;
    }
    // r = term, bounded to [-limit, limit], then added.
    code += style.indent + "r = " + terms[j].code + style.line_end + "\n";
    if (style.python) {
      code += style.indent + "if r > " + style.limit + ":\n" + style.indent +
              "    r = " + style.limit + "\n";
      code += style.indent + "if r < -" + style.limit + ":\n" + style.indent + "    r = -" +
              style.limit + "\n";
    } else {
      code += style.indent + "if (r > " + style.limit + ") r = " + style.limit + ";\n";
      code += style.indent + "if (r < -" + style.limit + ") r = -" + style.limit + ";\n";
    }
    code += style.indent + "s += " + coefficient + " * r" + style.line_end + "\n";
  }
  code += style.indent + forecasting::numbered("n", name) + " = s" + style.line_end + "\n";
  return code;
}

// The length of the well-formed UTF-8 sequence that starts at `at`, or 0
// where the bytes there are not one (a stray continuation byte, an overlong
// form, a surrogate, past U+10FFFF, cut short).
std::size_t utf8_length(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) {
    return at + i < text.size() ? static_cast<unsigned char>(text[at + i]) : 0u;
  };
  const unsigned lead = byte(0);
  if (lead < 0x80) return 1;
  // The first continuation byte's range depends on the lead; the others are 80..BF.
  unsigned low = 0x80;
  unsigned high = 0xBF;
  std::size_t length = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  for (std::size_t i = 1; i < length; ++i) {
    const unsigned next = byte(i);
    if (next < low || next > high) return 0;
    low = 0x80;
    high = 0xBF;
  }
  return length;
}

// A text inside a Python docstring: backslashes, quotes and line ends escaped,
// so that no file name can end the string or add code; a byte that is not
// UTF-8 (Python reads the module as UTF-8) or a NUL written as its escape.
std::string in_docstring(std::string_view text) {
  std::string escaped;
  for (std::size_t i = 0; i < text.size();) {
    const char c = text[i];
    const std::size_t length = utf8_length(text, i);
    if (length == 0 || c == '\0') {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02x", static_cast<unsigned char>(c));
      escaped += hex;
      ++i;
      continue;
    }
    switch (c) {
      case '\\':
        escaped += "\\\\";
        break;
      case '"':
        escaped += "\\\"";
        break;
      case '\n':
        escaped += "\\n";
        break;
      case '\r':
        escaped += "\\r";
        break;
      default:
        escaped.append(text.substr(i, length));
    }
    i += length;
  }
  return escaped;
}

// A text inside a C comment: no "*/" to end it, no "/*" to nest, no line end.
std::string in_comment(std::string_view text) {
  std::string safe;
  for (const char c : text) {
    const char before = safe.empty() ? '\0' : safe.back();
    if ((c == '/' && before == '*') || (c == '*' && before == '/') || c == '\n' || c == '\r') {
      safe += '?';
    } else {
      safe += c;
    }
  }
  return safe;
}

// The settings as runner options, "--name value", broken into lines of at
// most 72 characters, each line after the first starting with `indent`.
std::string settings_lines(const ModelContext& context, std::string_view indent) {
  std::vector<std::string> items;
  for (const auto& [option, value] : context.settings) {
    std::string item = option;
    item += ' ';
    item += value;
    items.push_back(std::move(item));
  }
  return data::wrap_words(items, 72, indent);
}

std::string lags_text(const forecasting::ModelFormula& formula) {
  std::string text;
  for (const int lag : formula.lags) text += (text.empty() ? "X" : ", X") + std::to_string(lag);
  return text.empty() ? "none" : text;
}

// The generator of the draws and the quantiles of forecasting/intervals.h and
// forecasting/quantiles.h in Python, after the run's constants.
constexpr std::string_view kPythonDraws =
    "_MASK = (1 << 64) - 1\n"
    "\n\n"
    "def _next_draw(state):\n"
    "    \"\"\"The generator of the draws (splitmix64): its next state and output.\"\"\"\n"
    "    state = (state + 0x9E3779B97F4A7C15) & _MASK\n"
    "    z = state\n"
    "    z = ((z ^ (z >> 30)) * 0xBF58476D1CE4E5B9) & _MASK\n"
    "    z = ((z ^ (z >> 27)) * 0x94D049BB133111EB) & _MASK\n"
    "    return state, z ^ (z >> 31)\n"
    "\n\n"
    "def _quantile(x, p):\n"
    "    \"\"\"The quantile of probability p of x, sorted with every NaN last: linear\n"
    "    between the two order statistics around it, NaN when either is NaN, an\n"
    "    infinite one as it is (the lower looked at first).\"\"\"\n"
    "    h = (len(x) - 1) * p\n"
    "    i = int(h)\n"
    "    f = h - i\n"
    "    if f == 0 or i + 1 >= len(x):\n"
    "        return x[i]\n"
    "    a, b = x[i], x[i + 1]\n"
    "    if math.isnan(a) or math.isnan(b):\n"
    "        return math.nan\n"
    "    if math.isinf(a):\n"
    "        return a\n"
    "    if math.isinf(b):\n"
    "        return b\n"
    "    return a + f * (b - a)\n"
    "\n\n";

// forecast_intervals, which reads the run's constants and the helpers above it.
constexpr std::string_view kPythonForecastIntervals =
    "def forecast_intervals(history, h, levels=INTERVAL_LEVELS, paths=INTERVAL_PATHS,\n"
    "                       seed=INTERVAL_SEED, units=UNITS):\n"
    "    \"\"\"The forecast of the h values after `history` with its prediction bands.\n\n"
    "    `paths` future paths run through the model, each step adding a one-step\n"
    "    residual of the first TRAINING_POINTS values of `history` drawn with\n"
    "    replacement by the generator started at `seed`; per step, the band of\n"
    "    level c lies between the paths' quantiles (100 - c) / 200 and\n"
    "    1 - (100 - c) / 200. Given the values the program ran on (training, then\n"
    "    validation) and the defaults, the numbers are the program's own\n"
    "    (intervals-K.txt past the data).\n\n"
    "    Returns {\"forecast\": [...], \"lower\": {level: [...]}, \"upper\": {level: [...]}},\n"
    "    h values each, in the series' own units (units=\"original\") or scaled to\n"
    "    [0, 1] (units=\"scaled\"), as `history` is; the defaults are the run's.\n"
    "    \"\"\"\n"
    "    if units not in (\"original\", \"scaled\"):\n"
    "        raise ValueError('units must be \"original\" or \"scaled\"')\n"
    "    if any(not 0 < level < 100 for level in levels):\n"
    "        raise ValueError(\"a band's level must lie between 0 and 100 percent\")\n"
    "    if paths < 1:\n"
    "        raise ValueError(\"paths must be at least 1\")\n"
    "    if units == \"original\":\n"
    "        series = [(float(v) - LOW) / (HIGH - LOW) for v in history]\n"
    "    else:\n"
    "        series = [float(v) for v in history]\n"
    "    residuals = [series[t] - predict_next(series[t - _REACH:t])\n"
    "                 for t in range(_REACH, min(TRAINING_POINTS, len(series)))]\n"
    "    if len(residuals) < 2:\n"
    "        raise ValueError(\"fewer than 2 one-step residuals to draw from\")\n"
    "    steps = [[] for _ in range(h)]\n"
    "    state = seed & _MASK\n"
    "    for _ in range(paths):\n"
    "        # The values a prediction reads: the last _REACH of the path.\n"
    "        path = series[-_REACH:]\n"
    "        for step in steps:\n"
    "            state, z = _next_draw(state)\n"
    "            value = predict_next(path) + residuals[z % len(residuals)]\n"
    "            path.append(value)\n"
    "            if len(path) > _REACH:\n"
    "                del path[0]\n"
    "            step.append(value)\n"
    "    lower = {level: [] for level in levels}\n"
    "    upper = {level: [] for level in levels}\n"
    "    for step in steps:\n"
    "        ordered = sorted(step, key=lambda v: (math.isnan(v), v))\n"
    "        for level in levels:\n"
    "            p = (100.0 - level) / 200.0\n"
    "            lower[level].append(_quantile(ordered, p))\n"
    "            upper[level].append(_quantile(ordered, 1.0 - p))\n"
    "    point = forecast(series, h, units=\"scaled\")\n"
    "    if units == \"original\":\n"
    "        def unscaled(values):\n"
    "            return [LOW + v * (HIGH - LOW) for v in values]\n"
    "        point = unscaled(point)\n"
    "        lower = {level: unscaled(values) for level, values in lower.items()}\n"
    "        upper = {level: unscaled(values) for level, values in upper.items()}\n"
    "    return {\"forecast\": point, \"lower\": lower, \"upper\": upper}\n";

// The transforms of forecasting/seriestransform.h in Python, after the run's
// constants: a series' levels, their differences, and the levels again from
// a forecast of the differences.
constexpr std::string_view kPythonTransform = R"py(

def _series(history, units):
    """The series in its own units, from `history` as `units` says it is."""
    if units not in ("original", "scaled"):
        raise ValueError('units must be "original" or "scaled"')
    if units == "original":
        return [float(v) for v in history]
    return [SERIES_LOW + float(s) * (SERIES_HIGH - SERIES_LOW) for s in history]


def _scaled(value):
    """A value of the series scaled to [0, 1] as the run's files are."""
    return (value - SERIES_LOW) / (SERIES_HIGH - SERIES_LOW)


def _result(values, units):
    """Values of the series as the run's files write them: scaled, or from there
    back in the series' own units."""
    scaled = [_scaled(v) for v in values]
    if units == "original":
        return [SERIES_LOW + s * (SERIES_HIGH - SERIES_LOW) for s in scaled]
    return scaled


def _box_cox(value):
    """The level of a value: its Box-Cox transform, or itself without one."""
    value = float(value)
    if TRANSFORM_LAMBDA is None:
        return value
    if not value > 0:
        raise ValueError("the Box-Cox transform needs values above 0, not %r" % value)
    if TRANSFORM_LAMBDA == 0:
        return math.log(value)
    return (math.pow(value, TRANSFORM_LAMBDA) - 1.0) / TRANSFORM_LAMBDA


def _inverse_box_cox(level, step):
    """The value of a level; ValueError where the inverse cannot be taken."""
    if TRANSFORM_LAMBDA is None:
        return level
    value = math.nan
    try:
        if TRANSFORM_LAMBDA == 0:
            value = math.exp(level)
        elif TRANSFORM_LAMBDA * level + 1.0 > 0:
            value = math.pow(TRANSFORM_LAMBDA * level + 1.0, 1.0 / TRANSFORM_LAMBDA)
    except OverflowError:
        value = math.inf
    if not math.isfinite(value):
        raise ValueError("the transform cannot be undone at step %d: its level %r has no "
                         "value in the series' units" % (step, level))
    return value


def _inverse_box_cox_limit(level):
    """The value of a level, held to its limits where the inverse cannot be taken."""
    if TRANSFORM_LAMBDA is None or math.isnan(level):
        return level
    try:
        if TRANSFORM_LAMBDA == 0:
            return math.exp(level)
        base = TRANSFORM_LAMBDA * level + 1.0
        if base > 0:
            return math.pow(base, 1.0 / TRANSFORM_LAMBDA)
        return 0.0 if TRANSFORM_LAMBDA > 0 else math.inf
    except OverflowError:
        return math.inf


def _differences(levels):
    """The seasonal difference of the levels, then the first difference."""
    values = list(levels)
    if TRANSFORM_SEASON > 0:
        values = [values[t] - values[t - TRANSFORM_SEASON] for t in range(TRANSFORM_SEASON, len(values))]
    if TRANSFORM_DIFFERENCES > 0:
        values = [values[t] - values[t - 1] for t in range(1, len(values))]
    return values


def _levels_after(known, values):
    """The levels of the transformed values `values` that follow the levels
    `known`, each difference undone."""
    levels = list(known)
    m = TRANSFORM_SEASON
    seasonal = 0.0
    if m > 0 and TRANSFORM_DIFFERENCES > 0 and len(levels) > m:
        seasonal = levels[-1] - levels[-1 - m]
    result = []
    for value in values:
        w = value
        if TRANSFORM_DIFFERENCES > 0:
            if m > 0:
                w += seasonal
                seasonal = w
            else:
                w += levels[-1] if levels else 0.0
        z = w
        if m > 0:
            z += levels[len(levels) - m] if len(levels) >= m else 0.0
        levels.append(z)
        result.append(z)
    return result


def _engine_values(series):
    """The series' levels, and the transformed values scaled as the run scaled them."""
    levels = [_box_cox(v) for v in series]
    return levels, [(v - LOW) / (HIGH - LOW) for v in _differences(levels)]
)py";

// forecast through the transforms.
constexpr std::string_view kPythonTransformedForecast = R"py(

def forecast(history, h, units="original"):
    """The h values after `history`, each predicted from those before it.

    `history` is the series, oldest first, and the result the values after it,
    in the series' own units (units="original") or scaled to [0, 1] by
    SERIES_LOW and SERIES_HIGH (units="scaled"); the model runs on the series
    through its transforms and back.
    """
    series = _series(history, units)
    levels, scaled = _engine_values(series)
    steps = []
    for _ in range(h):
        value = predict_next(scaled)
        scaled.append(value)
        steps.append(LOW + value * (HIGH - LOW))
    values = [_inverse_box_cox(z, j + 1) for j, z in enumerate(_levels_after(levels, steps))]
    return _result(values, units)
)py";

// forecast_intervals by the model's own multi-step errors
// (forecasting/errorbands.h), for a run that drew its bands so.
constexpr std::string_view kPythonErrorIntervals = R"py(def _errors(scaled, levels, steps):
    """Per step after an origin in the training part, the model's errors in the
    levels, sorted; only the steps measured."""
    lowest, highest = min(levels), max(levels)
    floor, ceiling = lowest - (highest - lowest), highest + (highest - lowest)
    lost = TRANSFORM_SEASON + TRANSFORM_DIFFERENCES
    tail = lost + 1 if TRANSFORM_SEASON > 0 else max(lost, 1)
    reach = max(_REACH, 1)
    n = len(scaled)
    by_step = [[] for _ in range(steps)]
    if reach < n:
        stride = (n - reach + 999) // 1000
        origins = []
        o = n - 1
        while True:
            origins.append(o)
            if o < reach + stride:
                break
            o -= stride
        for o in reversed(origins):
            count = min(steps, n - o)
            path = scaled[o - reach:o]
            differences = []
            valid = count
            for j in range(count):
                value = predict_next(path)
                path.append(value)
                if not math.isfinite(value) or value < -1.0 or value > 2.0:
                    valid = j
                    break
                differences.append(LOW + value * (HIGH - LOW))
            known = o + lost
            forecast_levels = _levels_after(levels[known - min(tail, known):known], differences)
            for j in range(valid):
                if not (floor <= forecast_levels[j] <= ceiling):
                    break
                by_step[j].append(levels[known + j] - forecast_levels[j])
    first = len(by_step[0]) if by_step else 0
    if first < 2:
        raise ValueError("no intervals: the training part leaves fewer than 2 origins to "
                         "measure the model's errors from")
    needed = min(20, first)
    measured = 0
    while measured < steps and len(by_step[measured]) >= needed:
        measured += 1
    return [sorted(errors) for errors in by_step[:measured]]


def forecast_intervals(history, h, levels=INTERVAL_LEVELS, units=UNITS):
    """The forecast of the h values after `history` with its prediction bands.

    The model runs free from every origin in the first TRAINING_POINTS values of
    `history` (at most 1000 of them) as far as the training part goes; its
    errors j steps on, in the levels of its transforms, give the band of step j
    around the forecast (the last measured step's errors, widened by the square
    root of the steps, beyond). A run that leaves the data's range by a span is
    no evidence from there on; no edge leaves [-1, 2] scaled unless the
    forecast does. Given the values the program ran on (training, then the
    validation part after its overlap) and the defaults, the numbers are the
    program's own (intervals-K.txt past the data).

    Returns {"forecast": [...], "lower": {level: [...]}, "upper": {level: [...]}},
    h values each, in the series' own units (units="original") or scaled to
    [0, 1] (units="scaled"), as `history` is; the defaults are the run's.
    """
    if any(not 0 < level < 100 for level in levels):
        raise ValueError("a band's level must lie between 0 and 100 percent")
    series = _series(history, units)
    if TRANSFORMED:
        training_levels, training = _engine_values(series[:TRAINING_POINTS])
        series_levels, scaled = _engine_values(series)
    else:
        training = [(v - LOW) / (HIGH - LOW) for v in series[:TRAINING_POINTS]]
        training_levels = [LOW + s * (HIGH - LOW) for s in training]
        scaled = [(v - LOW) / (HIGH - LOW) for v in series]
    errors = _errors(training, training_levels, max(h, 1))
    steps = []
    for _ in range(h):
        value = predict_next(scaled)
        scaled.append(value)
        steps.append(value)
    if TRANSFORMED:
        centres = _levels_after(series_levels, [LOW + v * (HIGH - LOW) for v in steps])
        point = [_scaled(_inverse_box_cox(z, j + 1)) for j, z in enumerate(centres)]
    else:
        centres = [LOW + v * (HIGH - LOW) for v in steps]
        point = steps
    lower = {level: [] for level in levels}
    upper = {level: [] for level in levels}
    measured = len(errors)
    for j in range(h):
        growth = 1.0 if j < measured else math.sqrt((j + 1) / measured)
        values = [centres[j] + e * growth for e in errors[min(j, measured - 1)]]
        middle = _scaled(_inverse_box_cox_limit(centres[j]))
        floor = -1.0 if math.isnan(middle) else min(-1.0, middle)
        ceiling = 2.0 if math.isnan(middle) else max(2.0, middle)
        for level in levels:
            p = (100.0 - level) / 200.0
            for edges, q in ((lower, p), (upper, 1.0 - p)):
                edge = _scaled(_inverse_box_cox_limit(_quantile(values, q)))
                edges[level].append(edge if math.isnan(edge) else min(max(edge, floor), ceiling))
    if units == "original":
        def unscaled(values):
            return [SERIES_LOW + v * (SERIES_HIGH - SERIES_LOW) for v in values]
        point = unscaled(point)
        lower = {level: unscaled(values) for level, values in lower.items()}
        upper = {level: unscaled(values) for level, values in upper.items()}
    return {"forecast": point, "lower": lower, "upper": upper}
)py";

// forecast_intervals by paths simulated through the model and brought back
// through the transforms (forecasting/intervals.h, transformedrun.h).
constexpr std::string_view kPythonTransformedPathIntervals =
    R"py(def forecast_intervals(history, h, levels=INTERVAL_LEVELS, paths=INTERVAL_PATHS,
                       seed=INTERVAL_SEED, units=UNITS):
    """The forecast of the h values after `history` with its prediction bands.

    `paths` future paths run through the model on the transformed series, each
    step adding a one-step residual of the transformed training part (the
    first TRAINING_POINTS values of `history`) drawn with replacement by the
    generator started at `seed`, and are brought back through the transforms;
    per step, the band of level c lies between the paths' quantiles
    (100 - c) / 200 and 1 - (100 - c) / 200. Given the values the program ran
    on and the defaults, the numbers are the program's own.

    Returns {"forecast": [...], "lower": {level: [...]}, "upper": {level: [...]}},
    h values each, in the series' own units (units="original") or scaled to
    [0, 1] (units="scaled"), as `history` is; the defaults are the run's.
    """
    if any(not 0 < level < 100 for level in levels):
        raise ValueError("a band's level must lie between 0 and 100 percent")
    if paths < 1:
        raise ValueError("paths must be at least 1")
    series = _series(history, units)
    _, training = _engine_values(series[:TRAINING_POINTS])
    series_levels, scaled = _engine_values(series)
    residuals = [training[t] - predict_next(training[t - _REACH:t])
                 for t in range(_REACH, len(training))]
    if len(residuals) < 2:
        raise ValueError("fewer than 2 one-step residuals to draw from")
    m = TRANSFORM_SEASON
    ring = max(m, 1)
    seasonal = 0.0
    if m > 0 and TRANSFORM_DIFFERENCES > 0 and len(series_levels) > m:
        seasonal = series_levels[-1] - series_levels[-1 - m]
    steps = [[] for _ in range(h)]
    state = seed & _MASK
    for _ in range(paths):
        path = scaled[-_REACH:] if _REACH > 0 else []
        back = list(series_levels[-ring:])
        w_last = seasonal
        for step in steps:
            state, z = _next_draw(state)
            value = predict_next(path) + residuals[z % len(residuals)]
            path.append(value)
            if len(path) > _REACH:
                del path[0]
            w = LOW + value * (HIGH - LOW)
            level = w
            if m > 0:
                if TRANSFORM_DIFFERENCES > 0:
                    w += w_last
                    w_last = w
                level = w + back[0]
            elif TRANSFORM_DIFFERENCES > 0:
                level = w + back[-1]
            back.append(level)
            del back[0]
            step.append(_scaled(_inverse_box_cox_limit(level)))
    lower = {level: [] for level in levels}
    upper = {level: [] for level in levels}
    for step in steps:
        ordered = sorted(step, key=lambda v: (math.isnan(v), v))
        for level in levels:
            p = (100.0 - level) / 200.0
            lower[level].append(_quantile(ordered, p))
            upper[level].append(_quantile(ordered, 1.0 - p))
    point = forecast(series, h, units="scaled")
    if units == "original":
        def unscaled(values):
            return [SERIES_LOW + v * (SERIES_HIGH - SERIES_LOW) for v in values]
        point = unscaled(point)
        lower = {level: unscaled(values) for level, values in lower.items()}
        upper = {level: unscaled(values) for level, values in upper.items()}
    return {"forecast": point, "lower": lower, "upper": upper}
)py";

// forecast_intervals and its helpers: the rules of forecasting/intervals.h and
// forecasting/quantiles.h in Python, with the run's own defaults.
std::string python_intervals(const IntervalExport& intervals,
                             const forecasting::ModelFormula& formula,
                             const ModelContext& context) {
  std::string levels;
  for (const double level : intervals.levels) {
    if (!levels.empty()) levels += ", ";
    levels += data::exact(level);
  }
  // A tuple of one needs its comma.
  if (intervals.levels.size() == 1) levels += ',';
  int reach = 0;
  for (const int lag : formula.lags) reach = std::max(reach, lag);
  std::string text = "\n\n";
  text += "TRAINING_POINTS = " + std::to_string(intervals.training_points) + "\n";
  text += "INTERVAL_SEED = " + std::to_string(intervals.seed) + "\n";
  text += "INTERVAL_LEVELS = (" + levels + ")\n";
  text += "INTERVAL_PATHS = " + std::to_string(intervals.paths) + "\n";
  text += std::string("UNITS = \"") + (context.original_units ? "original" : "scaled") + "\"\n";
  text += "_REACH = " + std::to_string(reach) + "\n";
  text += kPythonDraws;
  if (intervals.method == forecasting::BandMethod::errors) {
    text += kPythonErrorIntervals;
  } else {
    text += context.transform ? kPythonTransformedPathIntervals : kPythonForecastIntervals;
  }
  return text;
}

// The transforms' constants and helpers, which the module needs for a run of
// a transformed series and for bands from the model's errors.
std::string python_transform(const ModelContext& context,
                             const forecasting::ModelFormula& formula) {
  const forecasting::SeriesTransform transform =
      context.transform ? context.transform->transform : forecasting::SeriesTransform{};
  const double series_low = context.transform ? context.transform->series_low : formula.low;
  const double series_high = context.transform ? context.transform->series_high : formula.high;
  std::string text = std::string("TRANSFORMED = ") + (context.transform ? "True" : "False") + "\n";
  text += "TRANSFORM_LAMBDA = " +
          (transform.lambda ? data::exact(*transform.lambda) : std::string("None")) + "\n";
  text += "TRANSFORM_SEASON = " + std::to_string(transform.season) + "\n";
  text += "TRANSFORM_DIFFERENCES = " + std::to_string(transform.differences) + "\n";
  text += "SERIES_LOW = " + data::exact(series_low) + "\n";
  text += "SERIES_HIGH = " + data::exact(series_high) + "\n";
  text += kPythonTransform;
  return text;
}

}  // namespace

ModelContext model_context(std::int32_t population, const runs::RunSettings& settings,
                           double training_mse, double mdl, std::string training_file,
                           std::string validation_file) {
  ModelContext context;
  context.population = population + 1;
  context.training_file = std::move(training_file);
  context.validation_file = std::move(validation_file);
  for (const runs::SettingInfo& info : runs::settings_table()) {
    context.settings.emplace_back(std::string(info.option),
                                  setting_text(settings, info.id, population));
  }
  context.training_mse = training_mse;
  context.mdl = mdl;
  return context;
}

ModelContext model_context(const Engine& engine, std::int32_t population,
                           const runs::RunSettings& settings, std::string training_file,
                           std::string validation_file) {
  const Population& pop = engine.populations[static_cast<std::size_t>(population)];
  return model_context(population, settings, pop.best_of_gen_sn2, pop.best_of_gen_mdl,
                       std::move(training_file), std::move(validation_file));
}

std::string model_text(const forecasting::ModelFormula& formula, const ModelContext& context) {
  const std::string k = std::to_string(context.population);
  std::string text = "Quarvel model of population " + k + "\n\n";
  text += "Training data:    \"" + context.training_file + "\"\n";
  text += "Validation data:  \"" + context.validation_file + "\"\n";
  text += "Settings:         " + settings_lines(context, "                  ") + "\n";
  text += "Training MSE:     " + data::exact(context.training_mse) + "\n";
  text += "MDL:              " + data::exact(context.mdl) + "\n";
  text += "Lags used:        " + lags_text(formula) + "\n\n";
  text +=
      "Scaling: the model works on the series scaled to [0, 1] by the minimum lo and the\n"
      "maximum hi of the training and validation data together:\n"
      "    s = (v - lo) / (hi - lo)        and back        v = lo + s * (hi - lo)\n"
      "    lo = " +
      data::exact(formula.low) + "\n    hi = " + data::exact(formula.high) + "\n\n";
  if (context.transform) {
    const TransformExport& through = *context.transform;
    text += "Transforms: " + forecasting::transform_words(through.transform) +
            ". The model works on the series through them: each value v becomes its\n"
            "level z = " +
            (!through.transform.lambda ? std::string("v")
             : *through.transform.lambda == 0.0
                 ? std::string("log(v)")
                 : "(v^L - 1) / L, L = " + data::exact(*through.transform.lambda)) +
            (through.transform.season > 0
                 ? ", then z[t] - z[t - " + std::to_string(through.transform.season) + "]"
                 : std::string()) +
            (through.transform.differences > 0 ? ", then the difference of consecutive ones" : "") +
            ";\nthose are scaled as above. A forecast is undone step by step: each difference\n"
            "added back to the values before it, the level turned back into a value. The\n"
            "series itself is scaled to [0, 1] by its own minimum and maximum:\n"
            "    lo = " +
            data::exact(through.series_low) + "\n    hi = " + data::exact(through.series_high) +
            "\n\n";
  }
  text +=
      "Inputs: Xk is the scaled value k steps before the one predicted; before the first\n"
      "value of the series it is 0.\n";
  text += "Value limit: lim(x) bounds x to [-L, L], L = " + data::exact(formula.value_limit) +
          "; the two-input nodes apply it to each of their terms.\n";
  text += "Each node adds its terms from 0 in the order written.\n\n";
  text += "Nodes, in evaluation order:\n" + forecasting::formula_text(formula);
  return text;
}

std::string model_python(const forecasting::ModelFormula& formula, const ModelContext& context) {
  const std::string k = std::to_string(context.population);
  std::string text = "\"\"\"Quarvel model of population " + k +
                     ", as a module of plain Python (standard library only).\n\n"
                     "predict_next(history): the value after `history`, all values scaled to "
                     "[0, 1].\n"
                     "forecast(history, h, units=\"original\"): the h values after `history`, in "
                     "the series'\n"
                     "    own units (\"original\") or scaled (\"scaled\").\n" +
                     (context.intervals ? "forecast_intervals(history, h, ...): that forecast "
                                          "with the program's prediction bands.\n"
                                        : "") +
                     "\n"
                     "Training data \\\"" +
                     in_docstring(context.training_file) + "\\\", validation data \\\"" +
                     in_docstring(context.validation_file) +
                     "\\\".\n"
                     "Settings: " +
                     settings_lines(context, "    ") +
                     "\n"
                     "Training MSE " +
                     data::exact(context.training_mse) + ", MDL " + data::exact(context.mdl) +
                     ".\n"
                     "The arithmetic is the program's, step for step, so the values are its "
                     "own.\n\"\"\"\n\n";
  const bool with_transform =
      context.transform ||
      (context.intervals && context.intervals->method == forecasting::BandMethod::errors);
  if (context.intervals || with_transform) text += "import math\n\n";
  text += "LOW = " + data::exact(formula.low) + "\n";
  text += "HIGH = " + data::exact(formula.high) + "\n";
  text += "VALUE_LIMIT = " + data::exact(formula.value_limit) + "\n";
  text += "LAGS = (";
  for (const int lag : formula.lags) text += std::to_string(lag) + ", ";
  text += ")\n\n\n";
  text +=
      "def predict_next(history):\n"
      "    \"\"\"The scaled value after `history` (scaled values, oldest first).\"\"\"\n"
      "    n = len(history)\n";
  for (const int lag : formula.lags) {
    const std::string x = forecasting::numbered("x", lag);
    text += "    " + x + " = float(history[n - " + std::to_string(lag) +
            "]) if n >= " + std::to_string(lag) + " else 0.0\n";
  }
  const CodeStyle style{"    ", "", "VALUE_LIMIT", true};
  for (std::size_t i = 0; i < formula.nodes.size(); ++i) {
    text += node_code(formula.nodes[i], static_cast<int>(i + 1), formula.value_limit, style);
  }
  text += "    return " +
          (formula.output.node ? forecasting::numbered("n", formula.output.index)
                               : forecasting::numbered("x", formula.output.index)) +
          "\n\n\n";
  if (with_transform) text += python_transform(context, formula);
  if (context.transform) {
    text += kPythonTransformedForecast;
  } else {
    text +=
        "def forecast(history, h, units=\"original\"):\n"
        "    \"\"\"The h values after `history`, each predicted from those before it.\n\n"
        "    `history` and the result are in the series' own units (units=\"original\") or\n"
        "    scaled to [0, 1] (units=\"scaled\").\n"
        "    \"\"\"\n"
        "    if units not in (\"original\", \"scaled\"):\n"
        "        raise ValueError('units must be \"original\" or \"scaled\"')\n"
        "    if units == \"original\":\n"
        "        series = [(float(v) - LOW) / (HIGH - LOW) for v in history]\n"
        "    else:\n"
        "        series = [float(v) for v in history]\n"
        "    values = []\n"
        "    for _ in range(h):\n"
        "        value = predict_next(series)\n"
        "        series.append(value)\n"
        "        values.append(value)\n"
        "    if units == \"original\":\n"
        "        return [LOW + v * (HIGH - LOW) for v in values]\n"
        "    return values\n";
  }
  if (context.intervals) text += python_intervals(*context.intervals, formula, context);
  return text;
}

std::string model_c_header(const forecasting::ModelFormula& formula, const ModelContext& context) {
  const std::string k = std::to_string(context.population);
  const std::string prefix = "quarvel_model_" + k;
  std::string guard = "QUARVEL_MODEL_" + k + "_H";
  std::string text = "/* Quarvel model of population " + k +
                     ": one function, no allocation.\n"
                     " *\n"
                     " * " +
                     prefix +
                     "_predict_next(history, n): the value after history[0..n-1], all\n"
                     " * values scaled to [0, 1]. A value v of the series is scaled to\n"
                     " * (v - LOW) / (HIGH - LOW) and back to LOW + s * (HIGH - LOW).\n"
                     " *\n"
                     " * Training data \"" +
                     in_comment(context.training_file) + "\", validation data \"" +
                     in_comment(context.validation_file) +
                     "\".\n"
                     " * Training MSE " +
                     data::exact(context.training_mse) + ", MDL " + data::exact(context.mdl) +
                     ".\n"
                     " * The program's own values come out when multiply and add are not fused\n"
                     " * (GCC and clang: -ffp-contract=off).\n"
                     " */\n";
  text += "#ifndef " + guard + "\n#define " + guard + "\n\n";
  if (context.transform) text += "#include <math.h>\n";
  text += "#include <stddef.h>\n\n";
  std::string upper = "QUARVEL_MODEL_" + k;
  text += "#define " + upper + "_LOW " + data::exact(formula.low) + "\n";
  text += "#define " + upper + "_HIGH " + data::exact(formula.high) + "\n";
  if (context.transform) {
    // The series goes through its transforms before it is scaled by LOW and
    // HIGH; the model's values come back through them (model-K.txt says how).
    const forecasting::SeriesTransform& transform = context.transform->transform;
    text += "/* Through the transforms: " + forecasting::transform_words(transform) + " (model-" +
            k + ".txt says how to take the series through them and back). */\n";
    text += "#define " + upper + "_BOX_COX_LAMBDA " +
            (transform.lambda ? data::exact(*transform.lambda) : std::string("NAN")) + "\n";
    text += "#define " + upper + "_SEASON " + std::to_string(transform.season) + "\n";
    text += "#define " + upper + "_DIFFERENCES " + std::to_string(transform.differences) + "\n";
    text += "#define " + upper + "_SERIES_LOW " + data::exact(context.transform->series_low) + "\n";
    text +=
        "#define " + upper + "_SERIES_HIGH " + data::exact(context.transform->series_high) + "\n";
  }
  text += "\n";
  text += "static inline double " + prefix + "_predict_next(const double *history, size_t n) {\n";
  text += "  const double limit = " + data::exact(formula.value_limit) + ";\n";
  text += "  double s = 0.0, r = 0.0;\n";
  for (const int lag : formula.lags) {
    const std::string l = std::to_string(lag);
    text.append("  const double x").append(l).append(" = n >= ").append(l);
    text.append(" ? history[n - ").append(l).append("] : 0.0;\n");
  }
  for (std::size_t i = 0; i < formula.nodes.size(); ++i) {
    text += forecasting::numbered("  double n", i + 1) + ";\n";
  }
  text += "  (void)r;\n  (void)limit;\n";
  const CodeStyle style{"  ", ";", "limit", false};
  for (std::size_t i = 0; i < formula.nodes.size(); ++i) {
    text += node_code(formula.nodes[i], static_cast<int>(i + 1), formula.value_limit, style);
  }
  text += "  (void)s;\n  return " +
          (formula.output.node ? forecasting::numbered("n", formula.output.index)
                               : forecasting::numbered("x", formula.output.index)) +
          ";\n}\n\n#endif\n";
  return text;
}

std::vector<std::pair<std::string, std::string>> model_files(
    const forecasting::ModelFormula& formula, const ModelContext& context) {
  const auto name = [&context](Product product) {
    return output_name(listed_output(product), context.population - 1);
  };
  return {{name(Product::model_text), model_text(formula, context)},
          {name(Product::model_python), model_python(formula, context)},
          {name(Product::model_header), model_c_header(formula, context)}};
}

}  // namespace quarvel::records
