#include "study/studies/summary_parts.h"

#include <algorithm>
#include <charconv>
#include <filesystem>

#include "engine/message_text.h"
#include "engine/number_reader.h"
#include "output/text_file.h"
#include "study/studies/summaries.h"
#include "study/studies/summary_table.h"
#include "study/studies/sweep.h"

namespace fb {
namespace {

// A part's first line: this mark, then the study's identity.
constexpr const char* kPartMark = "# ";
constexpr std::string_view kPartPrefix = "summary-shard-", kPartOf = "-of-", kPartEnd = ".csv";

std::optional<int> positive(std::string_view text) {
  int value = 0;
  const auto r = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || r.ec != std::errc{} || r.ptr != text.data() + text.size() || value < 1) return std::nullopt;
  return value;
}

// The shard a part's file name gives, if it is a part's name.
std::optional<Shard> partShard(std::string_view name) {
  if (!name.starts_with(kPartPrefix) || !name.ends_with(kPartEnd)) return std::nullopt;
  name = name.substr(kPartPrefix.size(), name.size() - kPartPrefix.size() - kPartEnd.size());
  const std::size_t of = name.find(kPartOf);
  if (of == std::string_view::npos) return std::nullopt;
  const auto number = positive(name.substr(0, of)), count = positive(name.substr(of + kPartOf.size()));
  if (!number || !count || *number > *count) return std::nullopt;
  return Shard{*number, *count};
}

std::string shardText(const Shard& s) { return "shard " + std::to_string(s.number) + " of " + std::to_string(s.count); }

std::string csvLine(const std::vector<std::string>& fields) {
  std::string text;
  for (std::size_t c = 0; c < fields.size(); ++c) text += (c ? "," : "") + csvField(fields[c]);
  return text + "\n";
}

// Whether the header's columns from `varied` on are those a study's summary has.
bool isSummaryTail(const std::vector<std::string>& header, std::size_t varied) {
  for (const bool measured : {false, true}) {
    const std::vector<SummaryColumn> columns = summaryColumns(measured);
    if (header.size() == varied + columns.size() &&
        std::equal(columns.begin(), columns.end(), header.begin() + static_cast<std::ptrdiff_t>(varied),
                   [](SummaryColumn c, const std::string& heading) { return summaryColumnInfo(c).header == heading; }))
      return true;
  }
  return false;
}

// The runs "study H, N runs in K parts" names.
std::size_t identityRuns(std::string_view identity) {
  const std::size_t comma = identity.find(", ");
  if (comma == std::string_view::npos) return 0;
  const std::string_view rest = identity.substr(comma + 2);
  std::size_t runs = 0;
  const auto r = std::from_chars(rest.data(), rest.data() + rest.size(), runs);
  return r.ec == std::errc{} && std::string_view(r.ptr, rest.data() + rest.size()).starts_with(" runs") ? runs : 0;
}

// The first run whose inputs are not those of its place in the grid, or the
// number of rows when every one is: the grid of each column's values in the
// order they first appear, the last column varying fastest, as a study runs it.
std::size_t firstRowOffGrid(const std::vector<CsvRecord>& table, std::size_t varied) {
  std::vector<std::vector<std::string>> values(varied);
  for (std::size_t row = 1; row < table.size(); ++row)
    for (std::size_t c = 0; c < varied; ++c)
      if (std::find(values[c].begin(), values[c].end(), table[row].fields[c]) == values[c].end())
        values[c].push_back(table[row].fields[c]);
  std::size_t grid = 1;
  for (const auto& v : values) grid = std::min(grid * v.size(), table.size());
  for (std::size_t row = 1; row < table.size(); ++row) {
    if (row > grid) return row;  // a place of the grid taken twice
    std::size_t rest = row - 1;
    for (std::size_t c = varied; c-- > 0;) {
      if (table[row].fields[c] != values[c][rest % values[c].size()]) return row;
      rest /= values[c].size();
    }
  }
  return grid == table.size() - 1 ? table.size() : table.size() - 1;  // a place of the grid left out
}

// Why a run's row is not what the study writes for that run, if it is not.
std::optional<std::string> rowFault(const std::vector<std::string>& header, std::size_t varied,
                                    const std::vector<std::string>& fields) {
  std::string name;
  for (std::size_t c = 0; c < varied; ++c) name += (c ? "_" : "") + header[c] + "=" + fileSafe(fields[c]);
  name += ".p-d";
  if (!fields[varied].empty() && fields[varied] != name)
    return "its data file " + quotedToken(fields[varied]) + " is not " + name + ", the study's for this run";
  const std::string& status = fields[varied + 1];
  static const RunStatus kStatuses[] = {RunStatus::pending, RunStatus::finished,    RunStatus::refused,
                                        RunStatus::failed,  RunStatus::interrupted, RunStatus::notRun};
  if (std::none_of(std::begin(kStatuses), std::end(kStatuses),
                   [&](RunStatus known) { return statusWord(known) == status; }))
    return "its status " + quotedToken(status) + " is not one a study writes";
  // What each later column holds, found by its heading.
  const auto valueOf = [&header](std::size_t c) {
    for (const SummaryColumnInfo& info : kSummaryColumns)
      if (header[c] == info.header) return info.value;
    return SummaryValue::number;
  };
  for (std::size_t c = varied + 2; c < fields.size(); ++c) {
    const SummaryValue value = valueOf(c);
    if (value == SummaryValue::words || fields[c].empty()) continue;
    const bool fits =
        value == SummaryValue::yesNo ? fields[c] == "yes" || fields[c] == "no" : strictNumber(fields[c]).has_value();
    if (!fits) return "its " + header[c] + " " + quotedToken(fields[c]) + " is not what that column holds";
  }
  return std::nullopt;
}

// The folder of a part as the merged summary in `outputDir` names it: "" for
// that folder itself, else a path from it ("../s1"), or the absolute one.
std::string folderFrom(const std::string& partPath, const std::string& outputDir) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path folder = fs::path(partPath).parent_path().empty() ? fs::path(".") : fs::path(partPath).parent_path();
  if (fs::equivalent(folder, outputDir, ec)) return "";
  // Absolute first: the output folder may not exist yet.
  const fs::path absolute = fs::absolute(folder, ec), out = fs::absolute(outputDir, ec);
  const fs::path relative = ec ? fs::path() : fs::relative(absolute, out, ec);
  if (!ec && !relative.empty()) return relative.string();
  return ec ? folder.string() : absolute.string();
}

// The summary parts in `dir` that do not name the study `identity`.
std::vector<std::string> foreignParts(const std::string& dir, const std::string& identity) {
  namespace fs = std::filesystem;
  std::vector<std::string> foreign;
  std::error_code ec;
  for (fs::directory_iterator entry(dir, ec), end; !ec && entry != end; entry.increment(ec)) {
    const std::string name = entry->path().filename().string();
    if (!partShard(name)) continue;
    const Expected<std::string> text = readTextFile(entry->path().string());
    if (identity.empty() || !text || !text->starts_with(kPartMark + identity)) foreign.push_back(name);
  }
  std::sort(foreign.begin(), foreign.end());
  return foreign;
}

std::string namesOf(const std::vector<std::string>& names) {
  constexpr std::size_t kNamed = 5;
  std::string text;
  for (std::size_t i = 0; i < std::min(kNamed, names.size()); ++i) text += (i ? ", " : "") + names[i];
  if (names.size() > kNamed) text += " and " + std::to_string(names.size() - kNamed) + " more";
  return text;
}

[[nodiscard]] Expected<void> noForeignParts(const std::string& dir, const std::string& identity) {
  const std::vector<std::string> foreign = foreignParts(dir, identity);
  if (foreign.empty()) return {};
  return unexpected(dir + " holds summary parts of another study (" + namesOf(foreign) +
                    "), which a merge there would put in place of this study's summary: remove them, or choose "
                    "another folder");
}

}  // namespace

std::string summaryPartName(const Shard& shard) {
  return std::string(kPartPrefix) + std::to_string(shard.number) + std::string(kPartOf) + std::to_string(shard.count) +
         std::string(kPartEnd);
}

std::string summaryPartText(const std::string& identity, const std::string& summaryCsv) {
  return kPartMark + identity + summaryCsv;
}

std::string otherShardText(const Shard& owner) { return "in " + shardText(owner); }

FolderCheck foreignPartsCheck(const std::string& dir, const std::string& partsIdentity) {
  return [dir, partsIdentity](const std::string&) { return noForeignParts(dir, partsIdentity); };
}

FolderCheck mergeFolderCheck(const std::string& dir, const std::string& identity) {
  return [dir, identity](const std::string& recorded) -> Expected<void> {
    if (const Expected<void> parts = noForeignParts(dir, identity); !parts) return parts;
    const std::string summary = (std::filesystem::path(dir) / "summary.csv").string();
    std::error_code ec;
    if (recorded == identity || !std::filesystem::exists(summary, ec)) return {};
    const std::string which = recorded.starts_with("study ") ? recorded.substr(0, recorded.find('\n'))
                                                             : std::string("the folder does not record which");
    return unexpected(summary + " is the summary of another study than these parts' (" + which +
                      "), which the merge would replace: merge into another folder, or remove it");
  };
}

Expected<SummaryParts> findSummaryParts(const std::vector<std::string>& dirs) {
  namespace fs = std::filesystem;
  SummaryParts found;
  for (const std::string& dir : dirs) {
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) {
      return unexpected(dir + ": " + (ec ? ec.message() : std::string("not a folder")));
    }
    for (fs::directory_iterator entry(dir, ec), end; !ec && entry != end; entry.increment(ec))
      if (const auto shard = partShard(entry->path().filename().string()))
        found.parts.push_back({*shard, entry->path().string()});
    if (ec) return unexpected(dir + ": " + ec.message());
  }
  if (found.parts.empty()) {
    std::string names;
    for (const std::string& dir : dirs) names += (names.empty() ? "" : ", ") + dir;
    return unexpected("no summary parts (summary-shard-K-of-N.csv) in " + names);
  }
  std::sort(found.parts.begin(), found.parts.end(),
            [](const SummaryPart& a, const SummaryPart& b) { return a.shard.number < b.shard.number; });
  for (std::size_t i = 1; i < found.parts.size(); ++i) {
    const SummaryPart &a = found.parts[i - 1], &b = found.parts[i];
    if (a.shard.count != b.shard.count)
      return unexpected(a.path + " and " + b.path + " belong to splits into different numbers of parts");
    if (a.shard.number == b.shard.number)
      return unexpected(shardText(a.shard) + " appears twice: " + a.path + " and " + b.path);
  }
  return found;
}

Expected<CsvRecords> csvRecords(std::string_view text) {
  CsvRecords out;
  CsvRecord record;
  std::string field;
  bool quoted = false, fieldStarted = false;
  std::size_t start = 0, line = 1, recordLine = 1;
  const auto endField = [&] {
    record.fields.push_back(std::move(field));
    field.clear();
    fieldStarted = false;
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        field += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        if (c == '\n') ++line;
        field += c;
      }
    } else if (c == '"' && !fieldStarted) {
      quoted = fieldStarted = true;
    } else if (c == ',') {
      endField();
    } else if (c == '\n') {
      if (!field.empty() && field.back() == '\r') field.pop_back();
      endField();
      record.text = std::string(text.substr(start, i + 1 - start));
      record.line = recordLine;
      out.records.push_back(std::move(record));
      record = {};
      start = i + 1;
      recordLine = ++line;
    } else {
      field += c;
      fieldStarted = true;
    }
  }
  if (quoted) return unexpected("line " + std::to_string(recordLine) + ": a quoted field is not closed");
  if (start < text.size()) {
    endField();
    record.text = std::string(text.substr(start)) + "\n";
    record.line = recordLine;
    out.records.push_back(std::move(record));
  }
  return out;
}

Expected<MergedSummary> mergeSummaryParts(const std::vector<SummaryPart>& parts, const std::string& outputDir) {
  MergedSummary merged;
  if (parts.empty()) return merged;
  const int count = parts.front().shard.count;
  std::vector<std::vector<CsvRecord>> tables;
  std::string identity;  // the first part's first line
  for (const SummaryPart& part : parts) {
    const Expected<std::string> text = readTextFile(part.path);
    if (!text) return unexpected(text.error());
    const std::size_t firstLineEnd = text->find('\n');
    if (!text->starts_with(kPartMark) || firstLineEnd == std::string::npos)
      return unexpected(part.path + ": not a summary part (its first line does not name its study)");
    const std::string study = text->substr(0, firstLineEnd);
    if (identity.empty()) identity = study;
    if (study != identity)
      return unexpected(parts.front().path + " and " + part.path + " are not parts of one study: they name " +
                        identity.substr(2) + " and " + study.substr(2));
    Expected<CsvRecords> read = csvRecords(std::string_view(*text).substr(firstLineEnd + 1));
    if (!read) return unexpected(part.path + ": " + read.error());
    for (CsvRecord& record : read->records) ++record.line;  // after the line naming the study
    tables.push_back(std::move(read->records));
  }
  merged.identity = identity.substr(std::string_view(kPartMark).size()) + "\n";

  const std::vector<CsvRecord>& first = tables.front();
  const auto notOneStudy = [&](std::size_t k, const std::string& how) {
    return unexpected(parts.front().path + " and " + parts[k].path + " are not parts of one study: " + how);
  };
  const auto at = [&](std::size_t k, std::size_t row) {
    return parts[k].path + ":" + std::to_string(tables[k][row].line) + ": ";
  };
  if (first.empty()) return unexpected(parts.front().path + ": empty, not a summary part");
  const std::vector<std::string>& header = first.front().fields;
  const auto dataColumn = findSummaryColumn(header, SummaryColumn::dataFile);
  const std::size_t varied = dataColumn.value_or(header.size());
  if (!isSummaryTail(header, varied)) return unexpected(at(0, 0) + "not the header of a study's summary");
  const std::size_t status = *findSummaryColumn(header, SummaryColumn::status);
  const std::size_t message = *findSummaryColumn(header, SummaryColumn::message);
  const std::string split = " in " + std::to_string(count) + (count == 1 ? " part" : " parts");
  if (identityRuns(identity) != first.size() - 1 || !identity.ends_with(split))
    return unexpected(parts.front().path + ": it names " + identity.substr(2) + ", but holds " +
                      std::to_string(first.size() - 1) + " runs as " + shardText(parts.front().shard));
  for (std::size_t k = 1; k < tables.size(); ++k) {
    if (tables[k].empty() || tables[k].front().text != first.front().text)
      return notOneStudy(k, "their columns differ");
    if (tables[k].size() != first.size())
      return notOneStudy(k,
                         std::to_string(first.size() - 1) + " and " + std::to_string(tables[k].size() - 1) + " runs");
  }
  for (std::size_t k = 0; k < tables.size(); ++k)
    for (std::size_t row = 1; row < first.size(); ++row) {
      if (tables[k][row].fields.size() != header.size())
        return unexpected(at(k, row) + "run " + std::to_string(row) + " has " +
                          std::to_string(tables[k][row].fields.size()) + " fields, the header " +
                          std::to_string(header.size()));
      if (!std::equal(first[row].fields.begin(), first[row].fields.begin() + static_cast<std::ptrdiff_t>(varied),
                      tables[k][row].fields.begin()))
        return notOneStudy(k, "run " + std::to_string(row) + " has other inputs");
    }
  if (const std::size_t off = firstRowOffGrid(first, varied); off < first.size())
    return unexpected(at(0, off) + "run " + std::to_string(off) +
                      "'s inputs are not those of its place in the grid that the rows give");

  merged.csv = first.front().text;
  merged.runs = first.size() - 1;
  for (std::size_t row = 1; row < first.size(); ++row) {
    const Shard owner = shardOfRun(row - 1, count);
    const auto part =
        std::find_if(parts.begin(), parts.end(), [&](const SummaryPart& p) { return p.shard.number == owner.number; });
    std::string label;
    for (std::size_t c = 0; c < varied; ++c) label += (c ? ", " : "") + header[c] + "=" + first[row].fields[c];
    if (part == parts.end()) {
      std::vector<std::string> fields = first[row].fields;
      fields[status] = "not run";
      fields[message] =
          "its shard, " + std::to_string(owner.number) + " of " + std::to_string(count) + ", left no summary part";
      merged.csv += csvLine(fields);
      merged.unfinished.push_back({label, "missing", fields[message]});
      continue;
    }
    const std::size_t k = static_cast<std::size_t>(part - parts.begin());
    const CsvRecord& record = tables[k][row];
    if (const auto fault = rowFault(header, varied, record.fields)) return unexpected(at(k, row) + *fault);
    // The data file lies beside the part; the merged summary names it from where it lies.
    const std::string from = folderFrom(part->path, outputDir);
    if (from.empty() || record.fields[varied].empty()) {
      merged.csv += record.text;
    } else {
      std::vector<std::string> fields = record.fields;
      fields[varied] = from + "/" + fields[varied];
      merged.csv += csvLine(fields);
    }
    if (record.fields[status] == "finished")
      ++merged.finished;
    else
      merged.unfinished.push_back({label, record.fields[status], record.fields[message]});
  }
  return merged;
}

}  // namespace fb
