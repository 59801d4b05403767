// A Python program that imports an exported model-K.py and prints what its
// forecast_intervals gives past a history, as intervals-K.txt writes the rows
// past the data (without their index): the forecast, then each band's lower and
// upper edge, at 17 significant digits.
//     python3 SCRIPT MODULE H UNITS FILE...
// The history is the values of the files, one a line, in their order; UNITS is
// "original" or "scaled".
#pragma once

namespace quarvel::testing {

inline constexpr const char* kForecastIntervalsScript = R"(import importlib.util, sys
loader_info = importlib.util.spec_from_file_location("model", sys.argv[1])
model = importlib.util.module_from_spec(loader_info)
loader_info.loader.exec_module(model)
h, units = int(sys.argv[2]), sys.argv[3]
history = [float(v) for f in sys.argv[4:] for v in open(f)]
bands = model.forecast_intervals(history, h, units=units)
for j in range(h):
    row = [bands["forecast"][j]]
    for level in model.INTERVAL_LEVELS:
        row += [bands["lower"][level][j], bands["upper"][level][j]]
    print(",".join("%.17g" % v for v in row))
)";

}  // namespace quarvel::testing
