// The strain-hardening design commands: a scatter of the inputs with its
// band and the distribution of every metric, and the design map of a sweep.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>

#include "cli/commands.h"
#include "cli/common_checks.h"
#include "cli/interruptions.h"
#include "cli/output_dir.h"
#include "cli/terminal_view.h"
#include "engine/number_reader.h"
#include "engine/number_writer.h"
#include "output/text_file.h"
#include "plot/band_figure.h"
#include "run/curve_runner.h"
#include "study/design/frc_class.h"
#include "study/design/jb_resolution.h"
#include "study/design/notched_beam.h"
#include "study/design/tension_law.h"
#include "study/inputs/input_set.h"
#include "study/studies/study_runner.h"
#include "study/studies/summaries.h"
#include "study/studies/summary_metrics.h"
#include "study/studies/summary_parts.h"

namespace fb {
namespace {

std::string axisTitle(Field field) {
  const FieldInfo& info = fieldInfo(field);
  std::string title = std::string(info.name) + ", " + std::string(info.meaning);
  return info.unit.empty() ? title : title + " (" + std::string(info.unit) + ")";
}

std::string figure(double value) { return std::isfinite(value) ? formatFixed(value, 4) : "(beyond range)"; }

void drawScatterProgress(const StudyProgress& p) {
  std::fprintf(stderr, "\r\033[Kscatter: %zu of %zu samples%s", p.runsDone, p.runsTotal, progressTimes(p).c_str());
  std::fflush(stderr);
}

// The distribution of every metric the finished samples have, and the share meeting both margins.
void reportDistributions(const CliOptions& o, const std::vector<RunRecord>& records) {
  for (const SummaryMetricInfo& info : kSummaryMetrics) {
    std::vector<double> values;
    for (const RunRecord& r : records)
      if (r.outcome.status == RunStatus::finished)
        if (const auto v = summaryMetricValue(info.metric, r.outcome.metrics, o.matrix); v && std::isfinite(*v))
          values.push_back(*v);
    if (values.empty()) continue;
    const Spread s = spreadOf(values);
    const std::string unit = info.unit().empty() ? "" : " (" + std::string(info.unit()) + ")";
    std::fprintf(reportStream(), "  %s%s: mean %s, sd %s, 5 %% %s, 95 %% %s", std::string(info.name).c_str(),
                 unit.c_str(), figure(s.mean).c_str(), figure(s.sd).c_str(), figure(s.p05).c_str(),
                 figure(s.p95).c_str());
    std::fprintf(reportStream(), s.count < records.size() ? " (%zu samples)\n" : "\n", s.count);
  }
  JbTally jb;
  for (const RunRecord& r : records)
    if (r.outcome.status == RunStatus::finished && r.outcome.metrics.jb) jb.add(*r.outcome.metrics.jb);
  if (const std::string unresolved = jb.text("finished samples"); !unresolved.empty())
    std::fprintf(reportStream(), "%s\n", unresolved.c_str());
  if (!o.matrix) return;
  std::size_t meets = 0, finished = 0;
  for (const RunRecord& r : records) {
    if (r.outcome.status != RunStatus::finished || !r.outcome.metrics.curve) continue;
    ++finished;
    if (pshIndices(*r.outcome.metrics.curve, *o.matrix).meetsMargins) ++meets;
  }
  if (finished == 0) return;
  std::fprintf(reportStream(), "share meeting both PSH margins, %s: %s (%zu of %zu finished samples)\n",
               pshMarginsText(o.matrix->margins).c_str(), formatFixed(double(meets) / double(finished), 3).c_str(),
               meets, finished);
}

// The beams of the finished samples: each figure's spread, the characteristic
// values as their 5 % quantile, and the Model Code class from those.
bool reportBeamScatter(const CliOptions& o, const std::vector<std::vector<StepResult>>& curves) {
  std::vector<TensionLaw> laws;
  for (const std::vector<StepResult>& steps : curves) laws.push_back(compositeLaw(steps, o.law.matrix));
  const std::vector<Expected<BeamResult>> beams = notchedBeams(laws, *o.law.Ec, o.law.geometry, o.jobs);
  std::array<std::vector<double>, 5> figures;  // fL, fR1 to fR4
  for (const Expected<BeamResult>& beam : beams) {
    if (!beam) {
      printError("--beam: " + beam.error());
      return false;
    }
    figures[0].push_back(beam->fL);
    for (std::size_t j = 0; j < 4; ++j) figures[j + 1].push_back(beam->fR[j]);
  }
  const char* const names[] = {"fL", "fR1", "fR2", "fR3", "fR4"};
  std::array<Spread, 5> spreads;
  std::string line = "beams of " + std::to_string(beams.size()) + " samples (cracked hinge, Olesen 2001):";
  for (std::size_t k = 0; k < spreads.size(); ++k) {
    spreads[k] = spreadOf(figures[k]);
    line += std::string(k ? ";" : "") + " " + names[k] + " mean " + formatFixed(spreads[k].mean, 2) + ", 5 % " +
            formatFixed(spreads[k].p05, 2);
  }
  printLine(line + " MPa");
  // Characteristic: the samples' own 5 % quantile, linear between the sorted values.
  const double fLk = spreads[0].p05, fR1k = spreads[1].p05, fR3k = spreads[3].p05;
  const FrcDesign d = frcDesign(fLk, fR1k, fR3k);
  printLine(
      "fib Model Code 2010, from the characteristic values (the samples' 5 % quantile, linear between the "
      "sorted values): fR1k " +
      formatFixed(fR1k, 2) + ", fR3k " + formatFixed(fR3k, 2) + " MPa, class " +
      d.frcClass.value_or("none (fR1k below 1 MPa or fR3k/fR1k below 0.5)") +
      "; structural use (fR1k/fLk > 0.4, fR3k/fR1k > 0.5): " + (d.structuralUse ? "yes" : "no") +
      "; rigid-plastic fFtu = " + formatFixed(d.rigidPlasticFtu, 2) +
      " MPa; linear fFts = " + formatFixed(d.linearFts, 2) + " MPa, fFtu = " + formatFixed(d.linearFtu, 2) +
      " MPa at wu " + formatShortest(d.linearWu) + " mm");
  return true;
}

// How the samples ended, with the curves of those that finished.
struct SampleTally {
  std::vector<std::vector<StepResult>> curves;
  std::size_t refused = 0, failed = 0, stopped = 0;
  std::string firstRefusal;  // "Vf=-0.001: Vf (fiber volume fraction) must be positive"
};

SampleTally tally(const std::vector<RunRecord>& records, const std::vector<GridRun>& samples) {
  SampleTally t;
  for (std::size_t i = 0; i < records.size(); ++i) {
    const RunOutcome& r = records[i].outcome;
    if (r.status == RunStatus::finished)
      t.curves.push_back(records[i].steps);
    else if (r.status == RunStatus::refused && t.refused++ == 0)
      t.firstRefusal = samples[i].label + ": " + r.message;
    else if (r.status == RunStatus::failed)
      ++t.failed;
    else if (r.status != RunStatus::refused)
      ++t.stopped;
  }
  return t;
}

}  // namespace

DesignMap designMapOf(const CliOptions& o, std::span<const RunOutcome> outcomes) {
  DesignMap map;
  for (auto [axis, sweep] : {std::pair{&map.across, &o.sweep.sweeps[0]}, {&map.up, &o.sweep.sweeps[1]}}) {
    axis->title = axisTitle(sweep->field);
    for (const std::string& v : sweep->values) axis->values.push_back(numberReader(v));
  }
  const SummaryMetricInfo& info = summaryMetricInfo(*o.sweep.map);
  map.title = std::string(info.name) + (info.unit().empty() ? "" : " (" + std::string(info.unit()) + ")");
  for (const RunOutcome& r : outcomes)
    map.values.push_back(r.status == RunStatus::finished ? summaryMetricValue(*o.sweep.map, r.metrics, o.matrix)
                                                         : std::nullopt);
  if (o.sweep.mapLevel)
    map.levels.push_back(*o.sweep.mapLevel);
  else if (o.sweep.map == SummaryMetric::energyIndex)
    map.levels.push_back(o.matrix->margins.energy);
  else if (o.sweep.map == SummaryMetric::strengthIndex)
    map.levels.push_back(o.matrix->margins.strength);
  return map;
}

void reportFittedDesign(const FieldTexts& fitted, const MatrixProperties& matrix) {
  CurveRunner runner;
  const CurveRunner::Curve curve = runner.run(fitted, std::numeric_limits<double>::infinity());
  if (curve.refusal || curve.steps.empty()) return;
  const CurveMetrics m = curveMetrics(curve.steps);
  std::fprintf(reportStream(), "design of the fitted run: sigma0 %s MPa at delta0 %s mm, J'b %s J/m2, %s\n",
               figure(m.peak.sigma).c_str(), formatShortest(m.peak.Wcr).c_str(), figure(m.complementaryEnergy).c_str(),
               pshText(pshIndices(m, matrix), matrix.margins).c_str());
}

Checked checkScatter(GivenOptions& g) {
  if (const auto design = readDesignOptions(g); !design) return design;
  CliOptions& o = g.o;
  if (!o.sweep.sweeps.empty() || !o.fit.free.empty()) return unexpected("--scatter goes without --sweep and --fit");
  if (g.given("--output"))
    return unexpected(
        "a scatter writes its samples' data files into --output-dir, if given; -o names a single run's file");
  if (!o.csv.empty()) return unexpected("--csv writes a single run's rows; a scatter's band goes to --band");
  if (o.measuredPaths.size() > 1) return unexpected("a scatter compares with one --measured curve");
  if (const auto shard = readShard(g); !shard) return shard;
  if (const auto law = readLawOptions(g, LawUse::scatter); !law) return law;
  if (const auto fit = refuseFitOptions(g, true); !fit) return fit;
  o.scatter.outputDir = g.outputDir;
  o.scatter.seed = g.seed;
  return {};
}

int runScatter(const CliOptions& o) {
  // The band on standard output: the report goes beside the messages.
  if (o.scatter.band == "-") reportsToStandardError();
  std::vector<GridRun> samples = scatterSamples(o.texts, o.scatter.inputs, o.scatter.samples, o.scatter.seed);
  const bool files = !o.scatter.outputDir.empty();
  const std::filesystem::path dir(o.scatter.outputDir);
  if (files && !placeDataFiles(o, o.scatter.outputDir, samples)) return kExitUsage;
  std::vector<FieldTexts> inputs;
  for (GridRun& sample : samples) {
    if (!files) sample.texts[Field::dataFile] = "";
    inputs.push_back(sample.texts);
  }
  std::unique_ptr<StudyFolderLock> hold;
  if (files && !(hold = holdOutputDir(o.scatter.outputDir, studyIdentity(inputs, 1, o.measured, o.matrix), std::nullopt,
                                      foreignPartsCheck(o.scatter.outputDir, ""))))
    return kExitFailed;
  catchInterruptions();
  bool ok = true;
  std::vector<Sweep> drawn;
  std::vector<std::string> notes{"the scatter's base inputs; it draws"};
  for (const ScatterInput& s : o.scatter.inputs) {
    drawn.push_back({s.field, s.text, {}});
    notes.push_back("  --scatter " + s.text);
  }
  if (!o.saveInputs.empty()) ok = written(writeTextFile(o.saveInputs, inputSetText(o.texts, notes)));

  const std::string summaryPath = (dir / "summary.csv").string();
  std::vector<RunOutcome> outcomes(inputs.size());
  const auto writeSummary = [&] {
    return writeTextFile(summaryPath, studySummaryCsv(drawn, samples, outcomes, o.measured, o.matrix));
  };
  if (files)
    if (const auto first = writeSummary(); !first) {
      printError(first.error() + " (the scatter needs its summary.csv; no run started)");
      return kExitFailed;
    }

  const bool showProgress = !o.quiet && TerminalView::stderrIsTerminal();
  StudyWatch watch;
  if (showProgress) watch.progress = drawScatterProgress;
  StudySettings settings{o.jobs, o.measured, false, &stopRequested()};
  settings.keepSteps = true;
  const std::vector<RunRecord> records = runStudy(inputs, settings, watch);
  if (showProgress) std::fputc('\n', stderr);
  for (std::size_t i = 0; i < records.size(); ++i) outcomes[i] = records[i].outcome;
  if (files) ok = written(writeSummary()) && ok;

  const SampleTally t = tally(records, samples);
  const std::size_t finished = t.curves.size();
  if (t.stopped > 0) {
    printError("interrupted: " + std::to_string(finished) + " of " + std::to_string(records.size()) +
               " samples finished; no band was written");
    return 128 + caughtSignal();
  }

  std::string drawnText;
  for (const ScatterInput& s : o.scatter.inputs) drawnText += (drawnText.empty() ? "" : ", ") + s.text;
  std::fprintf(reportStream(), "scatter of %s over %zu samples (seed %llu): %zu finished, %zu refused%s\n",
               drawnText.c_str(), records.size(), static_cast<unsigned long long>(o.scatter.seed), finished, t.refused,
               t.failed ? (", " + std::to_string(t.failed) + " failed").c_str() : "");
  if (t.refused > 0)
    std::fprintf(reportStream(), "refused samples are left out; the first: %s\n", t.firstRefusal.c_str());
  if (finished == 0) {
    printError("no sample gave a run the model accepts: no band was drawn");
    return kExitFailed;
  }
  reportDistributions(o, records);

  if (o.law.beam) ok = reportBeamScatter(o, t.curves) && ok;
  const Band band = scatterBand(t.curves);
  if (!o.scatter.band.empty()) {
    if (written(writeOutput(o.scatter.band, bandCsv(band))))
      printLine("band of " + std::to_string(band.Wcr.size()) + " crack widths " +
                (o.scatter.band == "-" ? std::string("on standard output") : "in " + o.scatter.band));
    else
      ok = false;
  }
  if (!o.plot.empty()) {
    const BandFigure plot{band, "5 to 95 % of " + std::to_string(finished) + " samples", o.measured};
    ok = written(writeBandFigure(o.plot, plot)) && ok;
  }
  if (files) printLine("samples' data files and summary.csv in " + o.scatter.outputDir);
  return ok && t.failed == 0 ? kExitDone : kExitFailed;
}

}  // namespace fb
