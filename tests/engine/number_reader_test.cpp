#include "engine/number_reader.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <string>

#include "engine/number_writer.h"

namespace {

struct ReadCase {
  const char* text;
  double value;
};

TEST(NumberReader, reads_the_longest_numeric_prefix_as_a_text_box_does) {
  const ReadCase cases[] = {
      {"2500", 2500}, {"2 500", 2500}, {"\t4\n2", 42}, {"0,5", 0},   {"1e-3", 0.001},  {"12mm", 12},
      {"", 0},        {"abc", 0},      {"-", 0},       {".5", 0.5},  {"-.5", -0.5},    {"+3", 3},
      {"1.2.3", 1.2}, {"1e", 1},       {"1e+", 1},     {"2E2", 200}, {"1.5e+2x", 150}, {"&H1F", 31},
      {"&hff", 255},  {"&O17", 15},    {"&o9", 0},     {"&O18", 1},  {"&H", 0},        {"0.007854", 0.007854},
  };
  for (const ReadCase& c : cases) EXPECT_EQ(fb::numberReader(c.text), c.value) << '"' << c.text << '"';
}

TEST(NumberReader, overflowing_exponents_read_as_infinite_for_the_input_check) {
  EXPECT_EQ(fb::numberReader("1e400"), std::numeric_limits<double>::infinity());
  EXPECT_EQ(fb::numberReader("-1e400"), -std::numeric_limits<double>::infinity());
  EXPECT_EQ(fb::numberReader("1e-400"), 0.0);
  // The exact texts written for saved values read back to the same value, infinities too.
  constexpr double inf = std::numeric_limits<double>::infinity();
  for (const double value : {inf, -inf, 0.1, -2.5e-300, std::numeric_limits<double>::denorm_min()})
    EXPECT_EQ(fb::numberReader(fb::exactText(value)), value) << fb::exactText(value);
  for (const float value : {0.1f, 3.4e38f, -std::numeric_limits<float>::denorm_min()})
    EXPECT_EQ(static_cast<float>(fb::numberReader(fb::exactText(value))), value) << fb::exactText(value);
}

// The window's toolkit switches the C library to the user's locale. The test
// builds a comma-decimal one of its own, so that it can fail on any machine.
TEST(NumberReader, reads_a_decimal_point_under_a_comma_decimal_locale) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("fiberbridge_locale_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string build = "localedef -i de_DE -f UTF-8 -c '" + (dir / "de_DE.UTF-8").string() + "' >/dev/null 2>&1";
  ASSERT_EQ(std::system(build.c_str()), 0) << "localedef and Debian's locales package build the test locale";
  ::setenv("LOCPATH", dir.c_str(), 1);
  ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr);
  EXPECT_EQ(std::strtod("0.5", nullptr), 0.0) << "under this locale the C library stops at the point";
  EXPECT_EQ(fb::numberReader("0.5"), 0.5);
  EXPECT_EQ(fb::numberReader("1.5e-3"), 0.0015);
  std::setlocale(LC_ALL, "C");
  ::unsetenv("LOCPATH");
  std::filesystem::remove_all(dir);
}

TEST(DivisionRounding, rounds_halves_to_even_and_refuses_what_16_bits_cannot_hold) {
  EXPECT_EQ(fb::roundDivision(30.5), 30);
  EXPECT_EQ(fb::roundDivision(31.5), 32);
  EXPECT_EQ(fb::roundDivision(2.5), 2);
  EXPECT_EQ(fb::roundDivision(-2.5), -2);
  EXPECT_EQ(fb::roundDivision(32767.4), 32767);
  EXPECT_EQ(fb::roundDivision(-32768.5), -32768);
  EXPECT_FALSE(fb::roundDivision(32767.5).has_value());
  EXPECT_FALSE(fb::roundDivision(-32769).has_value());
  EXPECT_FALSE(fb::roundDivision(std::nan("")).has_value());
  EXPECT_FALSE(fb::roundDivision(std::numeric_limits<double>::infinity()).has_value());
}

}  // namespace
