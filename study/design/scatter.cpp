#include "study/design/scatter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "engine/message_text.h"
#include "engine/number_reader.h"
#include "engine/number_writer.h"
#include "study/design/latin_hypercube.h"
#include "study/inputs/input_set.h"
#include "study/studies/metrics.h"

namespace fb {
namespace {

constexpr const char* kForm = "NAME=normal:MEAN:SD, NAME=lognormal:MEAN:SD or NAME=uniform:LO:HI";

// The standard normal distribution function, accurate in both tails.
double normalCdf(double x) { return 0.5 * std::erfc(-x / std::numbers::sqrt2); }

}  // namespace

Expected<ScatterInput> parseScatter(std::string_view text) {
  const auto fail = [&](const std::string& reason) {
    return unexpected("--scatter " + quotedToken(text, 60) + ": " + reason);
  };
  const Expected<InputAssignment> named = splitInputAssignment(text, kForm);
  if (!named) return fail(named.error());
  if (named->field == Field::division) return fail("division is a whole number of steps, not a material property");
  ScatterInput input{named->field, Distribution::normal, 0, 0, std::string(text)};
  std::vector<std::string_view> parts;
  for (std::string_view rest = named->value;;) {
    const auto colon = rest.find(':');
    parts.push_back(trim(rest.substr(0, colon)));
    if (colon == std::string_view::npos) break;
    rest.remove_prefix(colon + 1);
  }
  if (parts.size() != 3) return fail("expected " + std::string(kForm));
  if (parts[0] == "normal")
    input.distribution = Distribution::normal;
  else if (parts[0] == "lognormal")
    input.distribution = Distribution::lognormal;
  else if (parts[0] == "uniform")
    input.distribution = Distribution::uniform;
  else
    return fail(quotedToken(parts[0]) + " is not a distribution (normal, lognormal or uniform)");
  const bool uniform = input.distribution == Distribution::uniform;
  const auto first = strictNumber(parts[1]);
  const auto second = strictNumber(parts[2]);
  if (!first) return fail(std::string(uniform ? "LO" : "MEAN") + " is not a number");
  if (!second) return fail(std::string(uniform ? "HI" : "SD") + " is not a number");
  input.first = *first;
  input.second = *second;
  if (uniform && !(input.first <= input.second)) return fail("LO must not exceed HI");
  if (!uniform && !(input.second >= 0)) return fail("SD must not be negative");
  if (input.distribution == Distribution::lognormal && !(input.first > 0))
    return fail("a lognormal MEAN must be positive");
  return input;
}

double normalQuantile(double p) {
  // Acklam's rational approximation (relative error 1.2e-9), then one Halley
  // step on the distribution function for full double precision.
  static constexpr double a[] = {-3.969683028665376e+01, 2.209460984245205e+02,  -2.759285104469687e+02,
                                 1.383577518672690e+02,  -3.066479806614716e+01, 2.506628277459239e+00};
  static constexpr double b[] = {-5.447609879822406e+01, 1.615858368580409e+02, -1.556989798598866e+02,
                                 6.680131188771972e+01, -1.328068155288572e+01};
  static constexpr double c[] = {-7.784894002430293e-03, -3.223964580411365e-01, -2.400758277161838e+00,
                                 -2.549732539343734e+00, 4.374664141464968e+00,  2.938163982698783e+00};
  static constexpr double d[] = {7.784695709041462e-03, 3.224671290700398e-01, 2.445134137142996e+00,
                                 3.754408661907416e+00};
  constexpr double low = 0.02425;
  double x;
  if (p < low) {
    const double q = std::sqrt(-2 * std::log(p));
    x = (((((c[0] * q + c[1]) * q + c[2]) * q + c[3]) * q + c[4]) * q + c[5]) /
        ((((d[0] * q + d[1]) * q + d[2]) * q + d[3]) * q + 1);
  } else if (p <= 1 - low) {
    const double q = p - 0.5, r = q * q;
    x = (((((a[0] * r + a[1]) * r + a[2]) * r + a[3]) * r + a[4]) * r + a[5]) * q /
        (((((b[0] * r + b[1]) * r + b[2]) * r + b[3]) * r + b[4]) * r + 1);
  } else {
    const double q = std::sqrt(-2 * std::log1p(-p));
    x = -(((((c[0] * q + c[1]) * q + c[2]) * q + c[3]) * q + c[4]) * q + c[5]) /
        ((((d[0] * q + d[1]) * q + d[2]) * q + d[3]) * q + 1);
  }
  const double e = normalCdf(x) - p;
  const double u = e * std::sqrt(2 * std::numbers::pi) * std::exp(x * x / 2);
  return x - u / (1 + x * u / 2);
}

double drawnValue(const ScatterInput& in, double p) {
  switch (in.distribution) {
    case Distribution::normal:
      return in.first + in.second * normalQuantile(p);
    case Distribution::lognormal: {
      // The mean and standard deviation are those of the variable itself.
      const double ratio = in.second / in.first;
      const double s2 = std::log1p(ratio * ratio);
      return std::exp(std::log(in.first) - s2 / 2 + std::sqrt(s2) * normalQuantile(p));
    }
    case Distribution::uniform:
      return std::lerp(in.first, in.second, p);
  }
  return in.first;
}

std::vector<GridRun> scatterSamples(const FieldTexts& base, const std::vector<ScatterInput>& inputs, int count,
                                    std::uint64_t seed) {
  std::vector<GridRun> samples;
  const auto points = latinHypercube(count, inputs.size(), seed);
  for (std::size_t i = 0; i < points.size(); ++i) {
    GridRun sample;
    sample.texts = base;
    char name[32];
    std::snprintf(name, sizeof name, "sample-%04zu", i + 1);
    sample.name = name;
    for (std::size_t j = 0; j < inputs.size(); ++j) {
      // The cube's cells are half-open: keep the probability off 0, where a normal has no value.
      const double p = std::max(points[i][j], 0x1.0p-60);
      const std::string value = rangeValueText(inputs[j].field, drawnValue(inputs[j], p));
      sample.values.push_back(value);
      sample.texts[inputs[j].field] = value;
      sample.label += (j ? ", " : "") + std::string(fieldInfo(inputs[j].field).name) + "=" + value;
    }
    samples.push_back(std::move(sample));
  }
  return samples;
}

Spread spreadOf(std::vector<double> values) {
  Spread s;
  s.count = values.size();
  const double n = static_cast<double>(values.size());
  // About the first value, so that equal values have exactly their value as mean and no spread.
  double shift = 0;
  for (double v : values) shift += v - values[0];
  s.mean = values[0] + shift / n;
  double squares = 0;
  for (double v : values) squares += (v - s.mean) * (v - s.mean);
  s.sd = values.size() > 1 ? std::sqrt(squares / (n - 1)) : 0;
  std::sort(values.begin(), values.end());
  const auto quantile = [&values](double q) {
    const double at = q * static_cast<double>(values.size() - 1);
    const std::size_t below = static_cast<std::size_t>(at);
    if (below + 1 >= values.size()) return values.back();
    return values[below] + (at - static_cast<double>(below)) * (values[below + 1] - values[below]);
  };
  s.p05 = quantile(0.05);
  s.p50 = quantile(0.5);
  s.p95 = quantile(0.95);
  return s;
}

namespace {

// A curve read at rising crack widths: its own stress where it has a step
// (so that a band on the run's steps is the run, bit for bit), linear between
// its steps, 0 beyond its end.
class RisingReader {
 public:
  explicit RisingReader(const std::vector<StepResult>& steps) : steps_(steps) {}
  double at(double Wcr) {
    while (next_ < steps_.size() && steps_[next_].Wcr < Wcr) ++next_;
    if (next_ == steps_.size()) return 0;
    const StepResult& b = steps_[next_];
    if (b.Wcr == Wcr) return b.sigma;
    if (next_ == 0) return 0;
    const StepResult& a = steps_[next_ - 1];
    return a.sigma + (Wcr - a.Wcr) * (b.sigma - a.sigma) / (b.Wcr - a.Wcr);
  }

 private:
  const std::vector<StepResult>& steps_;
  std::size_t next_ = 0;  // the first step not below the last width read
};

}  // namespace

Band scatterBand(std::span<const std::vector<StepResult>> curves) {
  const std::vector<StepResult>* widest = nullptr;
  for (const auto& steps : curves)
    if (!steps.empty() && (!widest || steps.back().Wcr > widest->back().Wcr)) widest = &steps;
  Band band;
  if (!widest) return band;
  std::vector<RisingReader> readers(curves.begin(), curves.end());
  std::vector<double> at(curves.size());
  for (const StepResult& step : *widest) {
    for (std::size_t i = 0; i < curves.size(); ++i) at[i] = readers[i].at(step.Wcr);
    band.Wcr.push_back(step.Wcr);
    band.sigma.push_back(spreadOf(at));
  }
  return band;
}

std::string bandCsv(const Band& band) {
  std::string out = "Wcr (mm),mean (MPa),sd (MPa),p05 (MPa),p50 (MPa),p95 (MPa)\n";
  for (std::size_t k = 0; k < band.Wcr.size(); ++k) {
    const Spread& s = band.sigma[k];
    out += exactText(band.Wcr[k]) + "," + exactText(s.mean) + "," + exactText(s.sd) + "," + exactText(s.p05) + "," +
           exactText(s.p50) + "," + exactText(s.p95) + "\n";
  }
  return out;
}

}  // namespace fb
