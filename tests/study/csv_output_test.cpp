// summary.csv and the fit log as a spreadsheet reads them: a field with a
// quote, a comma or a line end comes back whole, in its own column.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "study/studies/csv_file_reader.h"
#include "study/studies/summaries.h"
#include "study/studies/summary_parts.h"
#include "tests/support/cli_folder.h"

namespace {

using Records = std::vector<std::vector<std::string>>;

// The records of a CSV text as RFC 4180 reads them: quoted fields may hold
// separators and line ends, and a doubled quote stands for one.
Records csvRecords(const std::string& text) {
  Records records(1, std::vector<std::string>(1));
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    std::string& field = records.back().back();
    if (quoted) {
      if (c != '"')
        field += c;
      else if (i + 1 < text.size() && text[i + 1] == '"')
        field += text[++i];
      else
        quoted = false;
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      records.back().emplace_back();
    } else if (c == '\n') {
      records.emplace_back(1);
    } else {
      field += c;
    }
  }
  if (records.back() == std::vector<std::string>(1)) records.pop_back();  // after the last line end
  return records;
}

// Where the header names the message: before the design columns, which come last.
std::size_t messageColumn(const std::vector<std::string>& header) {
  return static_cast<std::size_t>(std::find(header.begin(), header.end(), "message") - header.begin());
}

TEST(CsvOutput, a_summary_field_with_quotes_commas_or_line_ends_stays_one_field) {
  fb::Sweep sweep;
  sweep.field = fb::Field::kxy;
  fb::GridRun run;
  run.values = {"1,5"};
  fb::RunOutcome outcome;
  outcome.status = fb::RunStatus::failed;
  outcome.summary.headerWritten = true;
  outcome.summary.dataFile = "/study/a,\"b\".p-d";
  outcome.message = "the disk is full;\twhen the run\r\nbegan";
  const std::vector<fb::RunOutcome> outcomes = {outcome};
  const std::string text = fb::studySummaryCsv({sweep}, {run}, outcomes, {});
  const Records records = csvRecords(text);
  ASSERT_EQ(records.size(), 2u);
  ASSERT_EQ(records[1].size(), records[0].size());
  EXPECT_EQ(records[1].front(), "1,5");
  EXPECT_EQ(records[1][1], "a,\"b\".p-d");
  EXPECT_EQ(records[1][2], "failed");
  EXPECT_EQ(records[1][messageColumn(records[0])], "the disk is full;\twhen the run\r\nbegan");
  // A spreadsheet that splits at semicolons or tabs keeps it whole too.
  EXPECT_NE(text.find(",\"the disk is full;\t"), std::string::npos) << text;

  // A merge of summary parts reads them back the same.
  const auto merged = fb::csvRecords(text);
  ASSERT_TRUE(merged) << merged.error();
  ASSERT_EQ(merged->records.size(), records.size());
  for (std::size_t i = 0; i < records.size(); ++i) EXPECT_EQ(merged->records[i].fields, records[i]) << i;
}

using CsvFiles = fbtest::CliFolder;

// A merge reads each part a record at a time: a record whose quoted field
// holds a line end is still one record, numbered by the line it starts on.
TEST_F(CsvFiles, a_file_read_record_by_record_keeps_quoted_line_ends_and_names_an_open_quote) {
  fbtest::writeFile(at("part.csv"), "a,b\n1,\"two\nlines, \"\"quoted\"\"\"\n3,4\n5,\"open\n6\n");
  fb::CsvFileReader reader(at("part.csv").string());
  ASSERT_TRUE(reader.open());
  std::vector<fb::CsvRecord> read;
  for (int i = 0; i < 3; ++i) {
    auto record = reader.nextRecord();
    ASSERT_TRUE(record && *record) << i;
    read.push_back(**record);
  }
  EXPECT_EQ(read[1].fields, (std::vector<std::string>{"1", "two\nlines, \"quoted\""}));
  EXPECT_EQ(read[1].line, 2u);
  EXPECT_EQ(read[2].fields, (std::vector<std::string>{"3", "4"}));
  EXPECT_EQ(read[2].line, 4u);
  const auto open = reader.nextRecord();
  ASSERT_FALSE(open);
  EXPECT_EQ(open.error(), at("part.csv").string() + ":5: a quoted field is not closed");
  // Not a regular file: a folder, or a pipe that would hold the merge.
  fb::CsvFileReader folder(dir.string());
  EXPECT_FALSE(folder.open());
}

// An input whose text holds a quote and a comma is refused with that text in the reason.
TEST_F(CsvFiles, a_refusal_reason_reads_back_whole_from_the_summary_and_the_fit_log) {
  const fbtest::Outcome study = run({"--sweep", "kxy=1,2", "--division", "2", "--Af", "x,\"y", "--output-dir", "s"});
  EXPECT_EQ(study.status, 1);
  const std::string reason = "Af: \"x,\\x22y\" reads as 0; Af (fiber sectional area) must be positive";
  EXPECT_NE(study.out.find("kxy=2: refused: " + reason + "\n"), std::string::npos) << study.out;
  const Records summary = csvRecords(fbtest::readFile(at("s/summary.csv")));
  ASSERT_EQ(summary.size(), 3u);
  for (const auto& record : {summary[1], summary[2]}) {
    ASSERT_EQ(record.size(), summary[0].size());
    EXPECT_EQ(record[2], "refused");
    EXPECT_EQ(record[messageColumn(summary[0])], reason);
  }

  fbtest::writeFile(at("m.csv"), "0.1,1\n0.3,2\n");
  const fbtest::Outcome fit = run({"--measured", "m.csv", "--fit", "A=1:8", "--fit-starts", "2", "--division", "4",
                                   "--Af", "x,\"y", "--fit-log", "log.csv"});
  EXPECT_EQ(fit.status, 1);
  const Records log = csvRecords(fbtest::readFile(at("log.csv")));
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[0], (std::vector<std::string>{"phase", "A", "RMS difference to measured (MPa)", "note"}));
  for (std::size_t i = 1; i < log.size(); ++i) {
    ASSERT_EQ(log[i].size(), 4u) << i;
    EXPECT_EQ(log[i][2], "") << "a refused run has no RMS";
    EXPECT_EQ(log[i][3], reason);
  }
}

}  // namespace
