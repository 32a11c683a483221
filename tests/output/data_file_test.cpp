#include "output/data_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <tuple>

#include "engine/inputs.h"
#include "engine/number_writer.h"

namespace {

fb::ParameterSet paramsFrom(const fb::FieldTexts& t) { return fb::readParameterSet(t).params; }

TEST(DataFileRows, an_item_that_fills_its_zone_pushes_the_next_a_zone_further) {
  fb::StepResult r;
  r.step = 3;
  r.P = 12345678901.25;  // 14 characters
  EXPECT_EQ(fb::rowText(r), " 3            0.00000       12345678901.25              0.00000       0.00000");
  r.P = -0.004;  // rounds to zero but keeps its sign
  r.sigma = -0.0;
  EXPECT_EQ(fb::rowText(r), " 3            0.00000       -0.00         0.00000       0.00000");
}

// Lines 2 to 6 are pinned by the reference files; line 1 carries the clock.
TEST(DataFileHeader, the_first_line_names_the_law_and_the_time_of_the_run) {
  const fb::ParameterSet p = paramsFrom(fb::FieldTexts::defaults());
  EXPECT_EQ(fb::headerLines(p, fb::deriveValues(p), {9, 5, 7, 3, 4, 2026})[0],
            "Bridging Law (Tri-linear) calculated at 09:05:07 on 03-04-2026, Function lb model (P and \x83\xC2)");
}

TEST(DataFileHeader, snubbing_terms_follow_the_signs_of_fp1_and_fd1) {
  fb::FieldTexts t = fb::FieldTexts::defaults();
  t[fb::Field::fp1] = "-0.01";
  t[fb::Field::fd1] = "-0.1";
  const fb::ParameterSet p = paramsFrom(t);
  EXPECT_EQ(fb::headerLines(p, fb::deriveValues(p), {})[2],
            "    Af(mm2)=0.007854, Lf(mm)=12,  Snubbing coef.=0.5, 0+-0.1*lb, Strength degr.=0.3");
}

TEST(DataFileReading, the_header_and_rows_read_back_as_written_and_a_foreign_line_is_named) {
  fb::FieldTexts t = fb::FieldTexts::defaults();
  t[fb::Field::fp1] = "-0.01";  // not written
  t[fb::Field::fd1] = "-0.1";
  t[fb::Field::Am] = "1.5e7";
  const fb::ParameterSet p = paramsFrom(t);
  std::string text;
  for (const std::string& line : fb::headerLines(p, fb::deriveValues(p), {9, 5, 7, 3, 4, 2026})) text += line + "\r\n";
  text += fb::rowText({3, 0.125, 12345.25, -1.5, 0.75}) + "\r\n";

  const fb::Expected<fb::DataFileContent> read = fb::parseDataFile(text);
  ASSERT_TRUE(read) << read.error();
  const std::map<std::string, std::string> header(read->header.begin(), read->header.end());
  EXPECT_EQ(header.at("time"), "09:05:07");
  EXPECT_EQ(header.at("date"), "03-04-2026");
  EXPECT_EQ(header.at("Am"), "1.5E+07");
  EXPECT_EQ(header.at("fp0"), "0.5");
  EXPECT_EQ(header.count("fp1"), 0u);
  EXPECT_EQ(header.at("fd1"), "-0.1");
  EXPECT_EQ(header.at("totalFiber"), fb::formatGeneral(fb::deriveValues(p).totalFiber));
  EXPECT_EQ(header.size(), 19u);  // 15 inputs, the clock's two and the two counts
  ASSERT_EQ(read->rows.size(), 1u);
  const fb::StepResult& r = read->rows[0];
  EXPECT_EQ(std::tie(r.step, r.Wcr, r.P, r.sigma, r.effectiveFiberRatio),
            std::make_tuple(std::int16_t{3}, 0.125, 12345.25, -1.5, 0.75));

  // A preset is noted at the end of the orientation line, and read back; without one the line is as it was.
  fb::ParameterSet preset = p;
  preset.orientation = "isotropic";
  const std::string line = fb::headerLines(preset, fb::deriveValues(preset), {})[3];
  const std::string without = fb::headerLines(p, fb::deriveValues(p), {})[3];
  EXPECT_EQ(line, without + ",  Orientation preset=isotropic");
  std::string noted = text;
  noted.replace(noted.find(without), without.size(), line);
  const auto withPreset = fb::parseDataFile(noted);
  ASSERT_TRUE(withPreset) << withPreset.error();
  const std::map<std::string, std::string> notedHeader(withPreset->header.begin(), withPreset->header.end());
  EXPECT_EQ(notedHeader.at("orientation"), "isotropic");

  std::string foreign = text;
  foreign.replace(foreign.find("Z-X="), 4, "Z-Y=");
  EXPECT_EQ(fb::parseDataFile(foreign).error(), "line 4: not the header line of a FiberBridge data file");
  EXPECT_EQ(fb::parseDataFile(text.substr(0, text.find("\r\n") + 2)).error(), "line 1: the header ends early");

  // Saved again by an editor in UTF-8 (phi and sigma as two bytes each) or UTF-16: the encoding is named.
  std::string utf8 = text;
  for (const auto& [shiftJis, unicode] : {std::pair{"\x83\xC2", "\xCF\x86"}, {"\x83\xD0", "\xCF\x83"}})
    for (std::size_t at; (at = utf8.find(shiftJis)) != std::string::npos;) utf8.replace(at, 2, unicode);
  ASSERT_NE(utf8, text);
  EXPECT_EQ(fb::parseDataFile(utf8).error(),
            "line 1: not the header line of a FiberBridge data file (the file reads as UTF-8 text; FiberBridge writes "
            "its data files in Shift-JIS, code page 932: save it in that encoding again)");
  std::string utf16 = "\xFF\xFE";
  for (const char c : std::string("Bridging Law")) utf16 += std::string{c, '\0'};
  EXPECT_NE(fb::parseDataFile(utf16).error().find("(the file reads as UTF-16 text;"), std::string::npos);
}

TEST(GeneralNumbers, seven_significant_digits_without_trailing_zeros) {
  const std::pair<float, const char*> cases[] = {
      {2500.0f, "2500"},
      {0.02f, "0.02"},
      {0.007854f, "0.007854"},
      {0.0f, "0"},
      {-0.0f, "0"},
      {6366.1831f, "6366.183"},
      {-0.1f, "-0.1"},
      {1234567.0f, "1234567"},
      {12345678.0f, "1.234568E+07"},
      {0.0001f, "0.0001"},
      {0.00001f, "1E-05"},
  };
  for (const auto& [value, text] : cases) EXPECT_EQ(fb::formatGeneral(value), text);
}

std::string readAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(DataFile, lines_end_in_cr_lf_and_failures_give_the_system_error_number) {
  const auto path = std::filesystem::temp_directory_path() / "fiberbridge_data_file_test.p-d";
  const fb::ParameterSet p = paramsFrom(fb::FieldTexts::defaults());
  {
    fb::DiskDataFile file;
    ASSERT_EQ(file.open(path.string()), 0);
    ASSERT_EQ(fb::writeHeader(file, p, fb::deriveValues(p), {}), 0);
    ASSERT_EQ(fb::writeRow(file, fb::StepResult{}), 0);
    ASSERT_EQ(file.close(), 0);
  }
  const std::string text = readAll(path);
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 7);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 7);
  std::filesystem::remove(path);

  // Read-only for everybody: root, whom the system lets write it, is refused as a user is.
  std::ofstream(path, std::ios::binary) << "kept\r\n";
  std::filesystem::permissions(path, std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
  fb::DiskDataFile readOnly;
  EXPECT_EQ(readOnly.open(path.string()), EACCES);
  EXPECT_EQ(readAll(path), "kept\r\n");
  std::filesystem::remove(path);

  fb::DiskDataFile missingFolder;
  EXPECT_EQ(missingFolder.open("/nonexistent-folder/x.p-d"), ENOENT);

  fb::DiskDataFile full;
  ASSERT_EQ(full.open("/dev/full"), 0);
  EXPECT_EQ(fb::writeHeader(full, p, fb::deriveValues(p), {}), ENOSPC);
  full.abandon();
  EXPECT_TRUE(std::filesystem::exists("/dev/full")) << "a device is never removed";

  // A pipe would hold the run until a reader comes: refused at once.
  ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
  fb::DiskDataFile pipe;
  EXPECT_EQ(pipe.open(path.string()), ENXIO);
  std::filesystem::remove(path);

  // A file that never got its header is no result: abandoned, it is gone.
  fb::DiskDataFile headless;
  ASSERT_EQ(headless.open(path.string()), 0);
  headless.abandon();
  EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace
