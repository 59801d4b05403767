# Writes the public series the forecast benchmark adds to the comparison data:
# each as NAME-training.txt and NAME-validation.txt (the last K training values
# repeated, then the h held-out values), datasets.csv in the comparison data's
# layout, and classical.csv: the classical forecasters fitted on the training
# part alone and scored on the held-out points (scaled MSE, the 95 % interval
# score and the coverage of their 80 % and 95 % bands), for these series and
# the five of the comparison data.
#
#     Rscript bench/series/make_series.R [COMPARISON-DATA-DIR]
#
# Needs R with the forecast package (Debian: r-base-core, r-cran-forecast).
# Horizons as the forecasting competitions hold out: yearly 6, quarterly 8,
# monthly 18, daily 14; K is the terminal table size the benchmark runs with.
suppressMessages(library(forecast))
args <- commandArgs(trailingOnly = TRUE)
here <- dirname(sub("--file=", "", grep("--file=", commandArgs(), value = TRUE)))
shared <- if (length(args) > 0) args[1] else file.path(here, "..", "..", "..", "shared", "data")
fmt <- function(v) sapply(v, function(x) format(signif(x, 6), scientific = FALSE, trim = TRUE))
series <- list(
  list("lakehuron", LakeHuron, 6, 10),
  list("airmiles", airmiles, 6, 4),
  list("nhtemp", nhtemp, 6, 10),
  list("wwwusage", WWWusage, 6, 10),
  list("bjsales", BJsales, 6, 10),
  list("ukgas", UKgas, 8, 12),
  list("johnsonjohnson", JohnsonJohnson, 8, 12),
  list("austres", austres, 8, 12),
  list("woolyrnq", woolyrnq, 8, 12),
  list("co2", co2, 18, 25),
  list("usaccdeaths", USAccDeaths, 18, 25),
  list("nottem", nottem, 18, 25),
  list("ldeaths", ldeaths, 18, 25),
  list("ukdriverdeaths", UKDriverDeaths, 18, 25),
  list("gas", gas, 18, 25),
  list("wineind", wineind, 18, 25),
  list("dax", ts(as.numeric(EuStockMarkets[, "DAX"])), 14, 14),
  list("gold", ts(as.numeric(na.interp(gold))), 14, 14)
)
classical <- function(name, tr, act, lo, hi) {
  h <- length(act)
  methods <- list(naive = function() naive(tr, h = h, level = c(80, 95)),
                  snaive = function() snaive(tr, h = h, level = c(80, 95)),
                  drift = function() rwf(tr, h = h, drift = TRUE, level = c(80, 95)),
                  auto.arima = function() forecast(auto.arima(tr), h = h, level = c(80, 95)),
                  ets = function() forecast(ets(tr), h = h, level = c(80, 95)))
  rows <- c()
  for (m in names(methods)) {
    f <- methods[[m]]()
    span <- hi - lo
    l80 <- f$lower[, 1]; u80 <- f$upper[, 1]; l95 <- f$lower[, 2]; u95 <- f$upper[, 2]
    score <- mean((u95 - l95) + 40 * pmax(l95 - act, 0) + 40 * pmax(act - u95, 0)) / span
    rows <- c(rows, sprintf("%s,%s,%.6g,%.6g,%.4f,%.4f", name, m,
                            mean(((f$mean - act) / span)^2), score,
                            mean(act >= l80 & act <= u80), mean(act >= l95 & act <= u95)))
  }
  rows
}
datasets <- c("dataset,frequency,first_period,training_lines,validation_lines,overlap_K,horizon_h,terminal_table_size,min,max")
figures <- c("dataset,method,mse,interval_score_95,coverage_80,coverage_95")
for (s in series) {
  name <- s[[1]]; y <- s[[2]]; h <- s[[3]]; K <- s[[4]]
  v <- as.numeric(signif(y, 6)); n <- length(v); T <- n - h
  writeLines(fmt(v[1:T]), file.path(here, paste0(name, "-training.txt")))
  writeLines(fmt(v[(T - K + 1):n]), file.path(here, paste0(name, "-validation.txt")))
  datasets <- c(datasets, sprintf("%s,%d,%s,%d,%d,%d,%d,%d,%s,%s", name, frequency(y), start(y)[1],
                                  T, K + h, K, h, K, fmt(min(v)), fmt(max(v))))
  figures <- c(figures, classical(name, ts(v[1:T], frequency = frequency(y), start = start(y)),
                                  v[(T + 1):n], min(v), max(v)))
}
writeLines(datasets, file.path(here, "datasets.csv"))
# The comparison data's five, from their own files.
for (row in split(read.csv(file.path(shared, "datasets.csv")), seq_len(5))) {
  tr <- scan(file.path(shared, paste0(row$dataset, "-training.txt")), quiet = TRUE)
  va <- scan(file.path(shared, paste0(row$dataset, "-validation.txt")), quiet = TRUE)
  figures <- c(figures, classical(row$dataset, ts(tr, frequency = row$frequency),
                                  va[(row$overlap_K + 1):length(va)], row$min, row$max))
}
writeLines(figures, file.path(here, "classical.csv"))
