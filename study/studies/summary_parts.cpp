#include "study/studies/summary_parts.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <utility>

#include "engine/message_text.h"
#include "engine/number_reader.h"
#include "output/text_file.h"
#include "study/studies/csv_file_reader.h"
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

// A part's second line, after the mark: which runs of the grid it holds.
std::string shardLine(const Shard& s) {
  const auto nth = [&s](int k) { return std::to_string(s.number + k * s.count); };
  return shardText(s) + ": runs " + nth(0) + ", " + nth(1) + ", " + nth(2) + ", ... of the grid (counted from 1)";
}

// Marks a part's line of one sweep: the input's name, then its values.
constexpr std::string_view kSweepMark = "sweep ";

// The first line of a file, with its end, or "" when it cannot be read.
std::string firstLine(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return "";
  struct stat status {};
  std::string line;
  if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode)) {
    char buffer[512];
    for (off_t at = 0; line.find('\n') == std::string::npos && line.size() < 4096;) {
      const ssize_t got = ::pread(fd, buffer, sizeof buffer, at);
      if (got <= 0) break;
      line.append(buffer, static_cast<std::size_t>(got));
      at += got;
    }
  }
  ::close(fd);
  const std::size_t end = line.find('\n');
  return end == std::string::npos ? "" : line.substr(0, end + 1);
}

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

// Why a run's row is not what the study writes for that run, if it is not:
// `name` is the study's data file for it.
std::optional<std::string> rowFault(const std::vector<std::string>& header, std::size_t varied,
                                    const std::vector<std::string>& fields, const std::string& name) {
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
    if (identity.empty() || firstLine(entry->path().string()) != kPartMark + identity) foreign.push_back(name);
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

std::string summaryPartPreamble(const std::string& identity, const Shard& shard, const std::vector<Sweep>& sweeps) {
  std::string text = kPartMark + identity;
  text += kPartMark + shardLine(shard) + "\n";
  for (const Sweep& sweep : sweeps) {
    std::vector<std::string> fields{std::string(fieldInfo(sweep.field).name)};
    fields.insert(fields.end(), sweep.values.begin(), sweep.values.end());
    text += kPartMark + std::string(kSweepMark) + csvLine(fields);
  }
  return text;
}

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

namespace {

// What a part says of itself before its summary rows.
struct PartPreamble {
  std::string identity;                 // its first line, without the mark
  std::vector<std::string> sweepLines;  // as written
  std::vector<Sweep> sweeps;
  CsvRecord header;
};

[[nodiscard]] Expected<PartPreamble> readPreamble(CsvFileReader& reader, const Shard& shard) {
  PartPreamble preamble;
  const auto notPart = [&](const std::string& why) {
    return unexpected(reader.path() + ": not a summary part (" + why + ")");
  };
  const std::optional<std::string> first = reader.nextLine();
  if (!first || !first->starts_with(kPartMark) || !first->ends_with("\n"))
    return notPart("its first line does not name its study");
  preamble.identity = first->substr(std::string_view(kPartMark).size());
  const std::optional<std::string> second = reader.nextLine();
  if (!second || !second->starts_with(kPartMark + std::string("shard ")))
    return unexpected(reader.at(2) +
                      "it lists every run of the grid, as parts written before parts held their own runs only; run "
                      "its shard again to merge it");
  if (*second != kPartMark + shardLine(shard) + "\n")
    return unexpected(reader.at(2) + "its file name says " + shardText(shard) + ", its text " +
                      quotedToken(second->substr(2, second->size() - 3), 60));
  for (;;) {
    const std::size_t line = reader.line() + 1;
    Expected<std::optional<CsvRecord>> record = reader.nextRecord();
    if (!record) return unexpected(record.error());
    if (!*record) return unexpected(reader.at(line) + "no header line after the study's sweeps");
    const std::string sweepMark = kPartMark + std::string(kSweepMark);
    if (!(*record)->text.starts_with(sweepMark)) {
      preamble.header = std::move(**record);
      return preamble;
    }
    Expected<CsvRecords> fields = csvRecords(std::string_view((*record)->text).substr(sweepMark.size()));
    const std::optional<Field> field =
        fields && fields->records.size() == 1 ? fieldByName(fields->records[0].fields[0]) : std::nullopt;
    if (!field || fields->records[0].fields.size() < 2) return unexpected(reader.at(line) + "not a sweep of an input");
    std::vector<std::string>& values = fields->records[0].fields;
    preamble.sweeps.push_back({*field, (*record)->text, std::vector<std::string>(values.begin() + 1, values.end())});
    preamble.sweepLines.push_back((*record)->text);
  }
}

// Runs of `count` parts that shard `number` holds, of a grid of `runs`.
std::size_t shardRuns(std::size_t runs, int number, int count) {
  const auto first = static_cast<std::size_t>(number - 1), step = static_cast<std::size_t>(count);
  return first < runs ? (runs - first + step - 1) / step : 0;
}

// Lets a merge open as many parts as the system allows: 1,000 shards need
// more files open at once than the usual first limit of 1,024 leaves room for.
void allowOpenFiles(std::size_t parts) {
  struct rlimit limit {};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= parts + 64) return;
  limit.rlim_cur = limit.rlim_max == RLIM_INFINITY ? parts + 64 : std::min<rlim_t>(limit.rlim_max, parts + 64);
  ::setrlimit(RLIMIT_NOFILE, &limit);
}

}  // namespace

Expected<std::string> partsIdentity(const std::vector<SummaryPart>& parts) {
  std::string identity;
  for (const SummaryPart& part : parts) {
    CsvFileReader reader(part.path);
    if (const Expected<void> opened = reader.open(); !opened) return unexpected(opened.error());
    const std::optional<std::string> first = reader.nextLine();
    if (!first || !first->starts_with(kPartMark) || !first->ends_with("\n"))
      return unexpected(part.path + ": not a summary part (its first line does not name its study)");
    const std::string study = first->substr(std::string_view(kPartMark).size());
    if (identity.empty()) identity = study;
    if (study != identity)
      return unexpected(parts.front().path + " and " + part.path + " are not parts of one study: they name " +
                        identity.substr(0, identity.size() - 1) + " and " + study.substr(0, study.size() - 1));
  }
  return identity;
}

Expected<MergedSummary> mergeSummaryParts(const std::vector<SummaryPart>& parts, const std::string& outputDir,
                                          const TextPut& put) {
  MergedSummary merged;
  if (parts.empty()) return merged;
  const int count = parts.front().shard.count;
  allowOpenFiles(parts.size());
  std::vector<CsvFileReader> readers;
  readers.reserve(parts.size());
  PartPreamble first;  // the others are compared with it and let go: a part's sweeps may be long
  const auto notOneStudy = [&](std::size_t k, const std::string& how) {
    return unexpected(parts.front().path + " and " + parts[k].path + " are not parts of one study: " + how);
  };
  for (std::size_t k = 0; k < parts.size(); ++k) {
    CsvFileReader& reader = readers.emplace_back(parts[k].path);
    if (const Expected<void> opened = reader.open(); !opened) {
      if (errno == EMFILE || errno == ENFILE)
        return unexpected(opened.error() + " (" + std::to_string(parts.size()) +
                          " parts are more files than this process may open at once: raise ulimit -n)");
      return unexpected(opened.error());
    }
    Expected<PartPreamble> preamble = readPreamble(reader, parts[k].shard);
    if (!preamble) return unexpected(preamble.error());
    if (k == 0) {
      first = std::move(*preamble);
      continue;
    }
    const auto name = [](const std::string& identity) { return identity.substr(0, identity.size() - 1); };
    if (preamble->identity != first.identity)
      return notOneStudy(k, "they name " + name(first.identity) + " and " + name(preamble->identity));
    if (preamble->sweepLines != first.sweepLines) return notOneStudy(k, "their sweeps differ");
    if (preamble->header.text != first.header.text) return notOneStudy(k, "their columns differ");
  }
  merged.identity = first.identity;

  const std::vector<std::string>& header = first.header.fields;
  const std::size_t varied = first.sweeps.size();
  const auto headerAt = [&] { return readers.front().at(first.header.line); };
  bool namesSweeps = header.size() > varied;
  for (std::size_t c = 0; namesSweeps && c < varied; ++c)
    namesSweeps = header[c] == fieldInfo(first.sweeps[c].field).name;
  if (!namesSweeps || !isSummaryTail(header, varied))
    return unexpected(headerAt() + "not the header of a study's summary");
  const std::size_t status = *findSummaryColumn(header, SummaryColumn::status);
  const std::size_t message = *findSummaryColumn(header, SummaryColumn::message);

  const Expected<Grid> grid = makeGrid(FieldTexts::defaults(), first.sweeps, SIZE_MAX);
  if (!grid) return unexpected(parts.front().path + ": " + grid.error());
  const std::string split = " in " + std::to_string(count) + (count == 1 ? " part\n" : " parts\n");
  if (identityRuns(first.identity) != grid->size() || !first.identity.ends_with(split))
    return unexpected(parts.front().path + ": it names " + first.identity.substr(0, first.identity.size() - 1) +
                      ", but its sweeps make " + std::to_string(grid->size()) + " runs, split as " +
                      shardText(parts.front().shard));

  // Which reader holds each shard's runs; -1 for a shard that left no part.
  std::vector<int> readerOf(static_cast<std::size_t>(count), -1);
  for (std::size_t k = 0; k < parts.size(); ++k) readerOf[static_cast<std::size_t>(parts[k].shard.number - 1)] = int(k);
  std::vector<std::string> folders;
  for (const SummaryPart& part : parts) folders.push_back(folderFrom(part.path, outputDir));

  merged.runs = grid->size();
  if (!put(first.header.text)) return merged;
  std::string text;
  for (std::size_t i = 0; i < grid->size(); ++i) {
    const Shard owner = shardOfRun(i, count);
    const std::vector<std::string> values = grid->values(i);
    std::string label;
    for (std::size_t c = 0; c < varied; ++c) label += (c ? ", " : "") + header[c] + "=" + values[c];
    const int k = readerOf[static_cast<std::size_t>(owner.number - 1)];
    const auto unfinished = [&](const std::string& state, const std::string& reason) {
      if (merged.unfinished.size() < kNamedUnfinished) merged.unfinished.push_back({label, state, reason});
      ++merged.unfinishedRuns;
    };
    if (k < 0) {
      std::vector<std::string> fields = values;
      fields.resize(header.size());
      fields[status] = "not run";
      fields[message] =
          "its shard, " + std::to_string(owner.number) + " of " + std::to_string(count) + ", left no summary part";
      text = csvLine(fields);
      if (merged.missing.empty() || merged.missing.back().shard.number != owner.number)
        merged.missing.push_back({owner, shardRuns(grid->size(), owner.number, count)});
      ++merged.missingRuns;
      if (!put(text)) return merged;
      continue;
    }
    CsvFileReader& reader = readers[static_cast<std::size_t>(k)];
    const std::size_t line = reader.line() + 1;
    Expected<std::optional<CsvRecord>> next = reader.nextRecord();
    if (!next) return unexpected(next.error());
    if (!*next)
      return unexpected(reader.at(line) + "ends after " + std::to_string(i / static_cast<std::size_t>(count)) +
                        " of the " + std::to_string(shardRuns(grid->size(), owner.number, count)) + " runs of " +
                        shardText(owner) + ": run the shard again");
    const CsvRecord& record = **next;
    const std::string where = reader.at(record.line);
    if (record.fields.size() != header.size())
      return unexpected(where + "run " + std::to_string(i + 1) + " has " + std::to_string(record.fields.size()) +
                        " fields, the header " + std::to_string(header.size()));
    if (!std::equal(values.begin(), values.end(), record.fields.begin()))
      return unexpected(where + "run " + std::to_string(i + 1) + "'s inputs are not those of its place in the grid");
    if (const auto fault = rowFault(header, varied, record.fields, grid->name(i) + ".p-d"))
      return unexpected(where + *fault);
    // The data file lies beside the part; the merged summary names it from where it lies.
    const std::string& from = folders[static_cast<std::size_t>(k)];
    if (from.empty() || record.fields[varied].empty()) {
      text = record.text;
    } else {
      std::vector<std::string> fields = record.fields;
      fields[varied] = from + "/" + fields[varied];
      text = csvLine(fields);
    }
    if (record.fields[status] == "finished")
      ++merged.finished;
    else
      unfinished(record.fields[status], record.fields[message]);
    if (!put(text)) return merged;
  }
  for (CsvFileReader& reader : readers) {
    const std::size_t line = reader.line() + 1;
    Expected<std::optional<CsvRecord>> extra = reader.nextRecord();
    if (!extra) return unexpected(extra.error());
    if (*extra) return unexpected(reader.at(line) + "more runs than its shard has in the grid");
  }
  return merged;
}

}  // namespace fb
