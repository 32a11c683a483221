#include "study/summaries.h"

#include <filesystem>

#include "engine/field_table.h"
#include "engine/number_format.h"
#include "study/text_files.h"

namespace fb {

std::string summaryLine(const RunSummary& s, const RunMetrics& f, bool measuredGiven) {
  if (!f.curve) return "no crack-opening steps (division below 0); header written to " + s.dataFile;
  const CurveMetrics& d = *f.curve;
  std::string line = "peak force " + formatFixed(d.peak.P / 1000, 4) + " kN, peak stress " +
                     formatFixed(d.peak.sigma, 4) + " MPa at Wcr " + formatShortest(d.peak.Wcr) + " mm";
  line += ", bridging energy " + formatFixed(d.energy, 4) + " N/mm, ";
  line += d.halfPeakWcr ? "half the peak stress at Wcr " + formatFixed(*d.halfPeakWcr, 5) + " mm"
                        : "half the peak stress not reached";
  if (measuredGiven) {
    if (f.fit)
      line += ", RMS difference to the measured curve " + formatFixed(f.fit->rms, 4) + " MPa over " +
              std::to_string(f.fit->used) + " of " + std::to_string(f.fit->total) + " points";
    else
      line += ", no measured point within the computed crack widths";
  }
  return line + "; written to " + s.dataFile;
}

std::string rowsCsv(std::span<const StepResult> steps) {
  std::string out = "step,Wcr (mm),P (N),sigma (MPa),effective fiber ratio\n";
  for (const StepResult& r : steps)
    out += std::to_string(r.step) + "," + exactText(r.Wcr) + "," + exactText(r.P) + "," + exactText(r.sigma) + "," +
           exactText(r.effectiveFiberRatio) + "\n";
  return out;
}

std::string studySummaryCsv(const std::vector<Sweep>& sweeps, const std::vector<GridRun>& runs,
                            const std::vector<RunRecord>& records, std::span<const MeasuredPoint> measured) {
  std::string out;
  for (const Sweep& s : sweeps) out += csvField(fieldInfo(s.field).name) + ",";
  out +=
      "data file,status,peak force (kN),peak stress (MPa),Wcr at peak (mm),bridging energy (N/mm),"
      "Wcr at half peak (mm)";
  if (!measured.empty()) out += ",RMS difference to measured (MPa),measured points used";
  out += ",message\n";

  for (std::size_t i = 0; i < runs.size(); ++i) {
    const RunRecord& record = records[i];
    for (const std::string& value : runs[i].values) out += csvField(value) + ",";
    // A run that failed while writing rows keeps those rows; the others wrote no rows.
    const bool wrote = record.summary.end == RunEnd::finished || record.summary.end == RunEnd::writeFailed;
    out += csvField(wrote ? std::filesystem::path(record.summary.dataFile).filename().string() : "") + ",";
    out += statusWord(record);
    const RunMetrics& f = record.metrics;
    if (f.curve) {
      const CurveMetrics& d = *f.curve;
      out += "," + exactText(d.peak.P / 1000) + "," + exactText(d.peak.sigma) + "," + exactText(d.peak.Wcr) + "," +
             exactText(d.energy) + "," + (d.halfPeakWcr ? exactText(*d.halfPeakWcr) : "");
    } else {
      out += ",,,,,";
    }
    if (!measured.empty()) out += f.fit ? "," + exactText(f.fit->rms) + "," + std::to_string(f.fit->used) : ",,";
    out += "," + csvField(record.message) + "\n";
  }
  return out;
}

}  // namespace fb
