#include "study/summary_parts.h"

#include <algorithm>
#include <charconv>
#include <filesystem>

#include "output/text_file.h"
#include "study/summaries.h"

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

}  // namespace

std::string summaryPartName(const Shard& shard) {
  return std::string(kPartPrefix) + std::to_string(shard.number) + std::string(kPartOf) + std::to_string(shard.count) +
         std::string(kPartEnd);
}

std::string summaryPartText(const std::string& identity, const std::string& summaryCsv) {
  return kPartMark + identity + summaryCsv;
}

std::string otherShardText(const Shard& owner) { return "in " + shardText(owner); }

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
    out.records.push_back(std::move(record));
  }
  return out;
}

Expected<MergedSummary> mergeSummaryParts(const std::vector<SummaryPart>& parts) {
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
    tables.push_back(std::move(read->records));
  }

  const std::vector<CsvRecord>& first = tables.front();
  const auto notOneStudy = [&](std::size_t k, const std::string& how) {
    return unexpected(parts.front().path + " and " + parts[k].path + " are not parts of one study: " + how);
  };
  if (first.empty()) return unexpected(parts.front().path + ": empty, not a summary part");
  const std::vector<std::string>& header = first.front().fields;
  const auto dataColumn = std::find(header.begin(), header.end(), "data file") - header.begin();
  if (static_cast<std::size_t>(dataColumn) + 2 >= header.size())
    return unexpected(parts.front().path + ": not a summary part (it has no data file and status columns)");
  const std::size_t varied = static_cast<std::size_t>(dataColumn), status = varied + 1;
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
        return unexpected(parts[k].path + ": run " + std::to_string(row) + " has " +
                          std::to_string(tables[k][row].fields.size()) + " fields, the header " +
                          std::to_string(header.size()));
      if (!std::equal(first[row].fields.begin(), first[row].fields.begin() + dataColumn, tables[k][row].fields.begin()))
        return notOneStudy(k, "run " + std::to_string(row) + " has other inputs");
    }

  merged.csv = first.front().text;
  merged.runs = first.size() - 1;
  for (std::size_t row = 1; row < first.size(); ++row) {
    const Shard owner{static_cast<int>((row - 1) % static_cast<std::size_t>(count)) + 1, count};
    const auto part =
        std::find_if(parts.begin(), parts.end(), [&](const SummaryPart& p) { return p.shard.number == owner.number; });
    std::string label;
    for (std::size_t c = 0; c < varied; ++c) label += (c ? ", " : "") + header[c] + "=" + first[row].fields[c];
    if (part == parts.end()) {
      std::vector<std::string> fields = first[row].fields;
      fields[status] = "not run";
      fields.back() =
          "its shard, " + std::to_string(owner.number) + " of " + std::to_string(count) + ", left no summary part";
      std::string text;
      for (std::size_t c = 0; c < fields.size(); ++c) text += (c ? "," : "") + csvField(fields[c]);
      merged.csv += text + "\n";
      merged.unfinished.push_back({label, "missing", fields.back()});
      continue;
    }
    const CsvRecord& record = tables[static_cast<std::size_t>(part - parts.begin())][row];
    merged.csv += record.text;
    if (record.fields[status] == "finished")
      ++merged.finished;
    else
      merged.unfinished.push_back({label, record.fields[status], record.fields.back()});
  }
  return merged;
}

}  // namespace fb
