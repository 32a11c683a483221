#include "study/summaries.h"

#include <cmath>
#include <filesystem>

#include "engine/field_table.h"
#include "engine/number_format.h"
#include "engine/number_text.h"

namespace fb {
namespace {

// A figure for summary.csv, at full precision; one that is not a finite number is left empty.
std::string numberField(double value) { return std::isfinite(value) ? exactText(value) : ""; }

// A figure for the summary line; never "inf" or "nan".
std::string fixed(double value, int decimals) {
  return std::isfinite(value) ? formatFixed(value, decimals) : std::string("(beyond range)");
}

// sigma0, delta0, J'b and, given the matrix, the indices and the verdict.
std::string designFields(const RunMetrics& f, const std::optional<MatrixProperties>& matrix) {
  if (!f.curve) return ",,,,,";
  const CurveMetrics& d = *f.curve;
  std::string out =
      numberField(d.peak.sigma) + "," + numberField(d.peak.Wcr) + "," + numberField(d.complementaryEnergy);
  if (!matrix) return out + ",,,";
  const PshIndices psh = pshIndices(d, *matrix);
  return out + "," + numberField(psh.energy) + "," + numberField(psh.strength) + "," +
         (psh.meetsMargins ? "yes" : "no");
}

}  // namespace

std::string summaryLine(const RunSummary& s, const RunMetrics& f, bool measuredGiven,
                        const std::optional<MatrixProperties>& matrix) {
  if (!f.curve) return "no crack-opening steps (division below 0); header written to " + s.dataFile;
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
  if (matrix) line += ", " + pshText(pshIndices(d, *matrix), matrix->margins);
  return line + "; written to " + s.dataFile;
}

std::string rowsCsv(std::span<const StepResult> steps) {
  std::string out = "step,Wcr (mm),P (N),sigma (MPa),effective fiber ratio\n";
  for (const StepResult& r : steps)
    out += std::to_string(r.step) + "," + numberField(r.Wcr) + "," + numberField(r.P) + "," + numberField(r.sigma) +
           "," + numberField(r.effectiveFiberRatio) + "\n";
  return out;
}

std::string studySummaryCsv(const std::vector<Sweep>& sweeps, const std::vector<GridRun>& runs,
                            std::span<const RunOutcome> outcomes, std::span<const MeasuredPoint> measured,
                            const std::optional<MatrixProperties>& matrix) {
  std::string out;
  for (const Sweep& s : sweeps) out += csvField(fieldInfo(s.field).name) + ",";
  out +=
      "data file,status,peak force (kN),peak stress (MPa),Wcr at peak (mm),bridging energy (N/mm),"
      "Wcr at half peak (mm)";
  if (!measured.empty()) out += ",RMS difference to measured (MPa),measured points used";
  out += ",message";
  // Later columns than the message, so that readers of the earlier ones keep working.
  out += ",sigma0 (MPa),delta0 (mm),J'b (J/m2),PSH energy index,PSH strength index,meets margins\n";

  for (std::size_t i = 0; i < runs.size(); ++i) {
    const RunOutcome& o = outcomes[i];
    for (const std::string& value : runs[i].values) out += csvField(value) + ",";
    // Only a run that wrote its header has a data file to name; it keeps its complete rows.
    out += csvField(o.summary.headerWritten ? std::filesystem::path(o.summary.dataFile).filename().string() : "") + ",";
    out += statusWord(o.status);
    const RunMetrics& f = o.metrics;
    if (f.curve) {
      const CurveMetrics& d = *f.curve;
      out += "," + numberField(d.peak.P / 1000) + "," + numberField(d.peak.sigma) + "," + numberField(d.peak.Wcr) +
             "," + numberField(d.energy) + "," + (d.halfPeakWcr ? numberField(*d.halfPeakWcr) : "");
    } else {
      out += ",,,,,";
    }
    if (!measured.empty()) out += f.fit ? "," + numberField(f.fit->rms) + "," + std::to_string(f.fit->used) : ",,";
    std::string message = o.message;
    if (o.status == RunStatus::interrupted) message = interruptedText(o.summary);
    for (const std::string& warning : o.warnings) message += (message.empty() ? "" : "; ") + warning;
    out += "," + csvField(message) + "," + designFields(f, matrix) + "\n";
  }
  return out;
}

std::string interruptedText(const RunSummary& s) {
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
