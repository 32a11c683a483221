#include "study/studies/summary_table.h"

#include <algorithm>

namespace fb {

const SummaryColumnInfo& summaryColumnInfo(SummaryColumn column) {
  for (const SummaryColumnInfo& info : kSummaryColumns)
    if (info.column == column) return info;
  return kSummaryColumns[0];
}

std::vector<SummaryColumn> summaryColumns(bool measured) {
  std::vector<SummaryColumn> columns;
  for (const SummaryColumnInfo& info : kSummaryColumns)
    if (measured || !info.measuredOnly) columns.push_back(info.column);
  return columns;
}

std::optional<std::size_t> findSummaryColumn(const std::vector<std::string>& header, SummaryColumn column) {
  // The varied inputs come first and are named as inputs, never as these columns.
  const auto dataFile = std::find(header.begin(), header.end(), summaryColumnInfo(SummaryColumn::dataFile).header);
  const auto at = std::find(dataFile, header.end(), summaryColumnInfo(column).header);
  if (at == header.end()) return std::nullopt;
  return static_cast<std::size_t>(at - header.begin());
}

}  // namespace fb
