#include "study/studies/resume.h"

#include <filesystem>

#include "engine/crack_steps.h"
#include "engine/inputs.h"
#include "output/data_file.h"
#include "output/text_file.h"
#include "study/studies/csv_file_reader.h"
#include "study/studies/summary_table.h"

namespace fb {

bool isCompleteDataFile(const FieldTexts& texts) {
  const Expected<std::string> text = readTextFile(texts[Field::dataFile]);
  if (!text || !text->ends_with('\n') || !parseDataFile(*text)) return false;
  const ReadOutcome read = readParameterSet(texts);
  if (read.refusal) return false;
  const RunConstants k = deriveValues(read.params);
  // The header as the run would write it; lines that differ between two
  // clocks hold the time of the run, which a run again would not repeat.
  const auto header = headerLines(read.params, k, Timestamp{});
  const auto later = headerLines(read.params, k, Timestamp{23, 59, 59, 12, 31, 2099});
  std::size_t at = 0, lines = 0;
  for (; at < text->size(); ++lines) {
    const std::size_t end = text->find('\n', at);
    std::string_view line(text->data() + at, end - at);
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (lines < header.size() && header[lines] == later[lines] && line != header[lines]) return false;
    at = end + 1;
  }
  return lines == header.size() + static_cast<std::size_t>(StepSchedule::of(read.params, k).lastStep() + 1);
}

Expected<KeptRuns> keptRuns(const std::string& path, const std::string& preamble, const std::string& header,
                            const std::vector<GridRun>& runs) {
  KeptRuns kept;
  kept.rows.resize(runs.size());
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) return kept;
  CsvFileReader reader(path);
  if (const Expected<void> opened = reader.open(); !opened) return unexpected(opened.error());
  const auto notThisStudys = [&](std::size_t line) {
    return unexpected(reader.at(line) + "not this study's summary; every run runs again");
  };
  for (std::size_t at = 0; at < preamble.size();) {
    const std::size_t end = preamble.find('\n', at) + 1;
    if (reader.nextLine() != preamble.substr(at, end - at)) return notThisStudys(reader.line());
    at = end;
  }
  if (reader.nextLine() != header) return notThisStudys(reader.line());
  const std::size_t varied = runs.empty() ? 0 : runs.front().values.size();
  for (std::size_t k = 0; k < runs.size(); ++k) {
    Expected<std::optional<CsvRecord>> record = reader.nextRecord();
    if (!record) return unexpected(record.error());
    if (!*record) break;
    const std::vector<std::string>& fields = (*record)->fields;
    if (fields.size() < varied + 2 || !std::equal(runs[k].values.begin(), runs[k].values.end(), fields.begin()))
      return notThisStudys((*record)->line);
    const std::string name = std::filesystem::path(runs[k].texts[Field::dataFile]).filename().string();
    if (fields[varied + 1] == "finished" && fields[varied] == name && isCompleteDataFile(runs[k].texts)) {
      kept.rows[k] = (*record)->text;
      ++kept.count;
    }
  }
  return kept;
}

}  // namespace fb
