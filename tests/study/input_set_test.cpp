#include "study/inputs/input_set.h"

#include <gtest/gtest.h>

#include <bit>

#include "engine/field_table.h"
#include "engine/number_reader.h"
#include "tests/support/cli_folder.h"
#include "tests/support/reason.h"

namespace {

using fb::Field;

TEST(InputSet, reads_names_and_value_texts_past_comments_blanks_and_line_ends) {
  const auto set = fb::parseInputSet(
      "\xEF\xBB\xBF# a study\r\n\r\nVf = 0.015\r\n  Am\t=  2 500   # mm2\nkxy=12mm\ndivision =\n", "in.txt");
  ASSERT_TRUE(set) << set.error();
  const std::vector<std::pair<Field, std::string>> expected = {
      {Field::Vf, "0.015"}, {Field::Am, "2 500"}, {Field::kxy, "12mm"}, {Field::division, ""}};
  EXPECT_EQ(set->values, expected);
}

TEST(InputSet, names_the_file_and_line_of_a_bad_line) {
  const struct {
    const char* text;
    const char* message;
  } cases[] = {
      {"Vf = 0.01\n\nVff = 2\n", "in.txt:3: unknown input name \"Vff\""},
      {"vf = 0.01\n", "in.txt:1: unknown input name \"vf\" (names are case-sensitive: Vf)"},
      // A line of some other file is not echoed; a name is, escaped.
      {"# inputs\nroot:$6$salt$hash:19000:0:99999:7:::\n", "in.txt:2: expected 'name = value', found no '='"},
      {"\x1b]0;title\x07 = 1\n", "in.txt:1: unknown input name \"\\x1b]0;title\\x07\""},
      {"Vf = 0.015 = 3\n", "in.txt:1: expected 'name = value', found a second '=' after \"Vf\""},
      {"kxy = 1\rVf = 0.01\rkxy = 2\r", "in.txt:3: kxy is given twice (first on line 1)"},  // CR-only ends
      {" = 2\n", "in.txt:1: no input name before '='"},
      {"kxy = 1\nAm = 1\nkxy = 2\n", "in.txt:3: kxy is given twice (first on line 1)"},
      {"dataFile = x.p-d\n", "in.txt:1: unknown input name \"dataFile\""},
  };
  for (const auto& c : cases) {
    const auto set = fb::parseInputSet(c.text, "in.txt");
    ASSERT_FALSE(set) << c.text;
    EXPECT_EQ(set.error().substr(0, std::string(c.message).size()), c.message);
  }
  EXPECT_NE(fbtest::reasonOf(fb::readInputSet("/nonexistent/in.txt")).find("/nonexistent/in.txt: "), std::string::npos);
}

TEST(InputSet, saved_texts_read_back_to_exactly_the_values_of_the_originals) {
  // Texts that the line format would mangle: comments, line ends, padding.
  const char* texts[] = {
      "0.02", "2 500", " 0.5 ", "12mm",     "&H1F", "5#7", "#5", "1\n5", "5\r", "1e999", "0.1234567890123456789",
      "",     "-0",    "abc",   "12mm=long"};
  for (const char* text : texts) {
    fb::FieldTexts set = fb::FieldTexts::defaults();
    set[Field::A] = text;
    const auto back = fb::parseInputSet(fb::inputSetText(set, {"note\nwith a line end"}), "saved");
    ASSERT_TRUE(back) << back.error();
    ASSERT_EQ(back->values.size(), fb::kFieldCount - 2);  // no data file, and no preset where none is used
    for (const auto& [field, value] : back->values) {
      const double expected = fb::numberReader(set[field]);
      EXPECT_EQ(std::bit_cast<std::uint64_t>(fb::numberReader(value)), std::bit_cast<std::uint64_t>(expected))
          << fb::fieldInfo(field).name << " from \"" << text << "\" saved as \"" << value << "\"";
    }
  }
}

using InputSetFile = fbtest::CliFolder;

TEST_F(InputSetFile, saved_inputs_repeat_the_run_and_the_command_line_overrides_the_file) {
  ASSERT_EQ(run({"-o", "a.p-d", "--division", "3", "--kxy", "0.7", "--Vf", "1.5e-2", "--fd1", "-0.1 ", "--save-inputs",
                 "a.inputs"})
                .status,
            0);
  ASSERT_EQ(run({"-o", "b.p-d", "--inputs", "a.inputs"}).status, 0);
  EXPECT_EQ(fbtest::withoutClockLine(fbtest::readFile(at("b.p-d"))),
            fbtest::withoutClockLine(fbtest::readFile(at("a.p-d"))));

  ASSERT_EQ(run({"-o", "c.p-d", "--inputs", "a.inputs", "--kxy", "2"}).status, 0);
  ASSERT_EQ(run({"-o", "d.p-d", "--division", "3", "--kxy", "2", "--Vf", "0.015", "--fd1", "-0.1"}).status, 0);
  EXPECT_EQ(fbtest::withoutClockLine(fbtest::readFile(at("c.p-d"))),
            fbtest::withoutClockLine(fbtest::readFile(at("d.p-d"))));
}

TEST_F(InputSetFile, a_bad_line_is_a_usage_error_with_file_and_line_and_nothing_is_written) {
  fbtest::writeFile(at("bad.inputs"), "Vf = 0.01\nLf: 12\n");
  const fbtest::Outcome o = run({"-o", "x.p-d", "--inputs", "bad.inputs", "--save-inputs", "s.inputs"});
  EXPECT_EQ(o.status, 2);
  EXPECT_NE(o.err.find("bad.inputs:2: expected 'name = value'"), std::string::npos) << o.err;
  EXPECT_FALSE(std::filesystem::exists(at("x.p-d")));
  EXPECT_FALSE(std::filesystem::exists(at("s.inputs")));
}

}  // namespace
