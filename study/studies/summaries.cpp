#include "study/studies/summaries.h"

#include <cmath>
#include <filesystem>

#include "engine/field_table.h"
#include "engine/number_writer.h"
#include "study/design/jb_resolution.h"
#include "study/studies/summary_table.h"

namespace fb {
namespace {

// A figure for summary.csv, at full precision; one that is not a finite number is left empty.
std::string numberField(double value) { return std::isfinite(value) ? exactText(value) : ""; }

// A figure for the summary line; never "inf" or "nan".
std::string fixed(double value, int decimals) {
  return std::isfinite(value) ? formatFixed(value, decimals) : std::string("(beyond range)");
}

// A run's field in `column` of summary.csv, as written (not yet quoted).
std::string summaryField(SummaryColumn column, const RunOutcome& o, const std::optional<MatrixProperties>& matrix) {
  const RunMetrics& f = o.metrics;
  const CurveMetrics* d = f.curve ? &*f.curve : nullptr;
  const auto psh = [&] { return pshIndices(*d, *matrix); };
  switch (column) {
    case SummaryColumn::dataFile:
      // Only a run that wrote its header has a data file to name; it keeps its complete rows.
      return o.summary.headerWritten ? std::filesystem::path(o.summary.dataFile).filename().string() : "";
    case SummaryColumn::status:
      return statusWord(o.status);
    case SummaryColumn::peakForce:
      return d ? numberField(d->peak.P / 1000) : "";
    case SummaryColumn::peakStress:
    case SummaryColumn::sigma0:
      return d ? numberField(d->peak.sigma) : "";
    case SummaryColumn::peakWidth:
    case SummaryColumn::delta0:
      return d ? numberField(d->peak.Wcr) : "";
    case SummaryColumn::energy:
      return d ? numberField(d->energy) : "";
    case SummaryColumn::halfPeakWidth:
      return d && d->halfPeakWcr ? numberField(*d->halfPeakWcr) : "";
    case SummaryColumn::rms:
      return f.fit ? numberField(f.fit->rms) : "";
    case SummaryColumn::pointsUsed:
      return f.fit ? std::to_string(f.fit->used) : "";
    case SummaryColumn::message: {
      std::string message = o.status == RunStatus::interrupted ? interruptedText(o.summary) : o.message;
      for (const std::string& warning : o.warnings) message += (message.empty() ? "" : "; ") + warning;
      if (f.jb && !f.jb->resolved) message += (message.empty() ? "J'b " : "; J'b ") + jbResolutionText(*f.jb);
      return message;
    }
    case SummaryColumn::complementaryEnergy:
      return d ? numberField(d->complementaryEnergy) : "";
    case SummaryColumn::energyIndex:
      return d && matrix ? numberField(psh().energy) : "";
    case SummaryColumn::strengthIndex:
      return d && matrix ? numberField(psh().strength) : "";
    case SummaryColumn::meetsMargins:
      return d && matrix ? (psh().meetsMargins ? "yes" : "no") : "";
    case SummaryColumn::jbResolved:
      return d && f.jb ? (f.jb->resolved ? "yes" : "no") : "";
  }
  return "";
}

}  // namespace

std::string summaryLine(const RunSummary& s, const RunMetrics& f, bool measuredGiven,
                        const std::optional<MatrixProperties>& matrix) {
  if (!f.curve)
    return "no crack-opening steps (division below 0)" +
           (s.dataFile.empty() ? "" : "; header written to " + s.dataFile);
  const CurveMetrics& d = *f.curve;
  std::string line = "peak force " + fixed(d.peak.P / 1000, 4) + " kN, peak stress " + fixed(d.peak.sigma, 4) +
                     " MPa at Wcr " + formatShortest(d.peak.Wcr) + " mm";
  line += ", bridging energy " + fixed(d.energy, 4) + " N/mm, ";
  line += d.halfPeakWcr ? "half the peak stress at Wcr " + fixed(*d.halfPeakWcr, 5) + " mm"
                        : "half the peak stress not reached";
  if (measuredGiven) {
    if (f.fit)
      line += ", RMS difference to the measured curve " + fixed(f.fit->rms, 4) + " MPa over " +
              std::to_string(f.fit->used) + " of " + std::to_string(f.fit->total) + " points";
    else
      line += ", no measured point within the computed crack widths";
  }
  line += ", J'b " + fixed(d.complementaryEnergy, 3) + " J/m2";
  if (f.jb && !f.jb->resolved) line += " (" + jbResolutionText(*f.jb) + ")";
  if (matrix) line += ", " + pshText(pshIndices(d, *matrix), matrix->margins);
  return s.dataFile.empty() ? line : line + "; written to " + s.dataFile;
}

std::string rowsCsv(std::span<const StepResult> steps) {
  std::string out = "step,Wcr (mm),P (N),sigma (MPa),effective fiber ratio\n";
  for (const StepResult& r : steps)
    out += std::to_string(r.step) + "," + numberField(r.Wcr) + "," + numberField(r.P) + "," + numberField(r.sigma) +
           "," + numberField(r.effectiveFiberRatio) + "\n";
  return out;
}

std::string summaryHeader(const std::vector<Sweep>& sweeps, bool measured) {
  const std::vector<SummaryColumn> columns = summaryColumns(measured);
  std::string out;
  for (const Sweep& s : sweeps) out += csvField(fieldInfo(s.field).name) + ",";
  for (std::size_t c = 0; c < columns.size(); ++c)
    out += (c ? "," : "") + csvField(summaryColumnInfo(columns[c]).header);
  return out + "\n";
}

std::string summaryRow(const std::vector<std::string>& values, const RunOutcome& outcome, bool measured,
                       const std::optional<MatrixProperties>& matrix) {
  const std::vector<SummaryColumn> columns = summaryColumns(measured);
  std::string out;
  for (const std::string& value : values) out += csvField(value) + ",";
  for (std::size_t c = 0; c < columns.size(); ++c)
    out += (c ? "," : "") + csvField(summaryField(columns[c], outcome, matrix));
  return out + "\n";
}

std::string studySummaryCsv(const std::vector<Sweep>& sweeps, const std::vector<GridRun>& runs,
                            std::span<const RunOutcome> outcomes, std::span<const MeasuredPoint> measured,
                            const std::optional<MatrixProperties>& matrix) {
  std::string out = summaryHeader(sweeps, !measured.empty());
  for (std::size_t i = 0; i < runs.size(); ++i)
    out += summaryRow(runs[i].values, outcomes[i], !measured.empty(), matrix);
  return out;
}

std::string interruptedText(const RunSummary& s) {
  if (s.dataFile.empty()) return "interrupted at step " + std::to_string(s.stepsWritten);
  if (!s.headerWritten) return "interrupted before its data file was opened; " + s.dataFile + " is unchanged";
  const std::string kept = s.stepsWritten > 0 ? "keeps steps 0 to " + std::to_string(s.stepsWritten - 1)
                                              : std::string("keeps its header only");
  return "interrupted at step " + std::to_string(s.stepsWritten) + "; " + s.dataFile + " " + kept;
}

std::string csvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n;\t") == std::string_view::npos) return std::string(text);
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}

}  // namespace fb
