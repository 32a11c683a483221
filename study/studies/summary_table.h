#pragma once

// The columns of a study's summary.csv, in one table: the writer writes from
// it, the merge and Python find columns in it by key, so that no reader
// counts columns from the left or the right.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fb {

/// What follows the varied inputs' columns of summary.csv, in this order.
enum class SummaryColumn {
  dataFile,
  status,
  peakForce,
  peakStress,
  peakWidth,
  energy,
  halfPeakWidth,
  rms,         // with a measured curve only
  pointsUsed,  // with a measured curve only
  message,
  // Later than the message, so that readers of the earlier columns keep working.
  sigma0,
  delta0,
  complementaryEnergy,
  energyIndex,
  strengthIndex,
  meetsMargins,
  jbResolved,  // yes or no; empty where the run has no peak
};

/// What a column's fields hold, besides empty.
enum class SummaryValue { number, words, yesNo };

struct SummaryColumnInfo {
  SummaryColumn column;
  std::string_view key;     // "peak_force", as Python names it
  std::string_view header;  // "peak force (kN)", as summary.csv heads it
  std::string_view unit;    // "kN"; "" for words, counts and ratios
  SummaryValue value = SummaryValue::number;
  bool measuredOnly = false;
};

inline constexpr SummaryColumnInfo kSummaryColumns[] = {
    {SummaryColumn::dataFile, "data_file", "data file", "", SummaryValue::words},
    {SummaryColumn::status, "status", "status", "", SummaryValue::words},
    {SummaryColumn::peakForce, "peak_force", "peak force (kN)", "kN"},
    {SummaryColumn::peakStress, "peak_stress", "peak stress (MPa)", "MPa"},
    {SummaryColumn::peakWidth, "peak_width", "Wcr at peak (mm)", "mm"},
    {SummaryColumn::energy, "energy", "bridging energy (N/mm)", "N/mm"},
    {SummaryColumn::halfPeakWidth, "half_peak_width", "Wcr at half peak (mm)", "mm"},
    {SummaryColumn::rms, "rms", "RMS difference to measured (MPa)", "MPa", SummaryValue::number, true},
    {SummaryColumn::pointsUsed, "measured_points_used", "measured points used", "", SummaryValue::number, true},
    {SummaryColumn::message, "message", "message", "", SummaryValue::words},
    {SummaryColumn::sigma0, "sigma0", "sigma0 (MPa)", "MPa"},
    {SummaryColumn::delta0, "delta0", "delta0 (mm)", "mm"},
    {SummaryColumn::complementaryEnergy, "complementary_energy", "J'b (J/m2)", "J/m2"},
    {SummaryColumn::energyIndex, "energy_index", "PSH energy index", ""},
    {SummaryColumn::strengthIndex, "strength_index", "PSH strength index", ""},
    {SummaryColumn::meetsMargins, "meets_margins", "meets margins", "", SummaryValue::yesNo},
    {SummaryColumn::jbResolved, "jb_resolved", "J'b resolved", "", SummaryValue::yesNo},
};

const SummaryColumnInfo& summaryColumnInfo(SummaryColumn column);

/// The columns a study writes after its varied inputs, in order.
std::vector<SummaryColumn> summaryColumns(bool measured);

/// Where `header` (a summary's first record) holds `column`, found by its
/// heading from the first column after the varied inputs, if it holds it.
std::optional<std::size_t> findSummaryColumn(const std::vector<std::string>& header, SummaryColumn column);

}  // namespace fb
