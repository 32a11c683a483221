#include "study/inputs/measured_curve.h"

#include <gtest/gtest.h>

#include "study/inputs/pullout_curve.h"
#include "tests/support/cli_folder.h"
#include "tests/support/curve_weights.h"

namespace {

TEST(MeasuredCurve, reads_comma_semicolon_and_tab_files_with_or_without_a_header) {
  const struct {
    const char* what;
    const char* text;
  } cases[] = {
      {"comma", "0.1,1.5\n0.5,2\n"},
      {"header, CR LF, BOM", "\xEF\xBB\xBFWcr (mm),sigma (MPa)\r\n0.1,1.5\r\n0.5,2\r\n"},
      {"semicolon, decimal comma", "Wcr;sigma\n0,1;1,5\n0,5 ; 2\n"},
      {"tab, decimal comma", "0,1\t1.5\n+0.5\t2e0\n"},
      {"comments, blanks, trailing separator", "# specimen 3\n\n0.1,1.5,\n   \n0.5, 2\n"},
      {"CR-only line ends", "Wcr,sigma\r0.1,1.5\r0.5,2\r"},
  };
  for (const auto& c : cases) {
    const auto read = fb::parseMeasuredCurve(c.text, "m.csv");
    ASSERT_TRUE(read) << c.what << ": " << read.error();
    const fb::MeasuredCurve& curve = *read;
    ASSERT_EQ(curve.points.size(), 2u) << c.what;
    EXPECT_EQ(curve.points[0].Wcr, 0.1) << c.what;
    EXPECT_EQ(curve.points[0].sigma, 1.5) << c.what;
    EXPECT_EQ(curve.points[1].Wcr, 0.5) << c.what;
    EXPECT_EQ(curve.points[1].sigma, 2.0) << c.what;
    EXPECT_FALSE(fbtest::weighted(curve)) << c.what;
  }
}

TEST(MeasuredCurve, a_value_too_small_for_a_double_reads_as_the_0_it_rounds_to) {
  const auto read = fb::parseMeasuredCurve("1e-400,2\n0.5,-2e-324\n", "m.csv");
  ASSERT_TRUE(read) << read.error();
  const fb::MeasuredCurve& curve = *read;
  ASSERT_EQ(curve.points.size(), 2u);
  EXPECT_EQ(curve.points[0].Wcr, 0.0);
  EXPECT_EQ(curve.points[1].sigma, 0.0);
}

TEST(MeasuredCurve, reads_a_specimens_inputs_and_the_standard_deviations) {
  const auto read = fb::parseMeasuredCurve(
      "# specimen 3, made by hand = 2 hours\n# kxy = 2  # from the cut face\n# noise = 8 %\n# Vf=0.01\n"
      "Wcr;sigma;sd\n# Lf = 13\n0,1;1,5;0,25\n0,5;2;1e-1\n",
      "m.csv");
  ASSERT_TRUE(read) << read.error();
  const fb::MeasuredCurve& curve = *read;
  std::vector<std::pair<fb::Field, std::string>> inputs;
  for (const fb::SpecimenInput& i : curve.inputs) inputs.emplace_back(i.field, i.value);
  EXPECT_EQ(inputs, (decltype(inputs){{fb::Field::kxy, "2"}, {fb::Field::Vf, "0.01"}, {fb::Field::Lf, "13"}}));
  ASSERT_EQ(curve.points.size(), 2u);
  EXPECT_EQ(curve.points[0].sd, 0.25);
  EXPECT_EQ(curve.points[1].sd, 0.1);
  EXPECT_TRUE(fbtest::weighted(curve));
}

TEST(MeasuredCurve, a_bad_line_names_the_file_and_line) {
  const struct {
    const char* text;
    const char* message;
  } cases[] = {
      {"Wcr,sigma\n0.1,1\n0.2,x\n", "m.csv:3: stress \"x\" is not a finite number"},
      {"0.1,1\nWcr,sigma\n", "m.csv:2: crack width \"Wcr\" is not a finite number"},
      {"0.1,1.5x\n0.5,2\n", "m.csv:1: stress \"1.5x\" is not a finite number"},  // a number begins: no header
      {"w,s\n0.1,nan\n", "m.csv:2: stress \"nan\" is not a finite number"},
      {"w,s\n0x1p-3,1\n", "m.csv:2: crack width \"0x1p-3\" is not a finite number"},
      {"w,s\n0.1,\x1b[2J\n", "m.csv:2: stress \"\\x1b[2J\" is not a finite number"},
      {"0.1,1,2,3\n",
       "m.csv:1: expected 2 values (crack width in mm, stress in MPa) or 3 (and the standard "
       "deviation in MPa), found 4"},
      {"0.1,1\n0,2,3\n", "m.csv:2: expected 2 values (crack width in mm, stress in MPa), found 3"},
      {"w,s,sd\n0.1,1,1\n0,2\n",
       "m.csv:3: expected 3 values (crack width in mm, stress in MPa, standard deviation in MPa), found 2"},
      {"0.1,1,x\n", "m.csv:1: standard deviation \"x\" is not a finite number"},
      {"0.1;1;0,1\n0.2;1;-0,1\n", "m.csv:2: standard deviation \"-0,1\" is not greater than 0"},
      {"0.1,1,0\n", "m.csv:1: standard deviation \"0\" is not greater than 0"},
      {"# Vff = 0.01\n0.1,1\n", "m.csv:1: unknown input name \"Vff\""},
      {"# Vf = 1 %\n0.1,1\n", "m.csv:1: Vf: \"1 %\" is not a number"},
      {"# kxy = 2\n\n# kxy = 1\n0.1,1\n", "m.csv:3: kxy is given twice (first on line 1)"},
      {"# dataFile = b.p-d\n0.1,1\n", "m.csv:1: a specimen cannot change the data file"},
      {"w,s\n# division = 60\n0.1,1\n", "m.csv:2: a specimen cannot change the crack-width division"},
      {"0.1,1\n# Vf = 0.01\n0.2,1\n", "m.csv:2: specimen inputs go before the first measured point"},
      {"0.1;1\n0.2,5;1\n", "m.csv:2: crack width \"0.2,5\" is not a finite number"},
      {"0.1,1\n0.2,1e999\n", "m.csv:2: stress \"1e999\" is not a finite number"},
      {"0.1,1\n0.2,-1e400\n", "m.csv:2: stress \"-1e400\" is not a finite number"},
      {"0.1,1,1e-400\n", "m.csv:1: standard deviation \"1e-400\" is not greater than 0"},  // it reads as 0
      {"Wcr,sigma\n", "m.csv: no measured points"},
      {"", "m.csv: no measured points"},
  };
  for (const auto& c : cases) {
    const auto curve = fb::parseMeasuredCurve(c.text, "m.csv");
    ASSERT_FALSE(curve) << c.text;
    EXPECT_EQ(curve.error().substr(0, std::string(c.message).size()), c.message) << c.text;
  }
}

TEST(PulloutCurve, reads_the_tests_length_angle_inputs_and_loads_by_the_measured_curves_rules) {
  const auto read = fb::parsePulloutCurve(
      "# a synthetic test\n# lb = 3  # mm\n# angle = 30\n# Af = 0.0012566\nslip (mm);load (N);sd (N)\n"
      "0;0;0,02\n0,5;1,25;0,02\n0,5;1,5;0,02\n3;0;0,02\n",
      "p.csv");
  ASSERT_TRUE(read) << read.error();
  const fb::PulloutCurve& curve = *read;
  EXPECT_EQ(curve.lb, 3.0);
  EXPECT_EQ(curve.angle, 30.0);
  EXPECT_EQ(curve.lbLine, 2);
  ASSERT_EQ(curve.inputs.size(), 1u);
  EXPECT_EQ(curve.inputs[0].field, fb::Field::Af);
  ASSERT_EQ(curve.points.size(), 4u);
  EXPECT_EQ(curve.points[1].slip, 0.5);
  EXPECT_EQ(curve.points[2].load, 1.5);
  EXPECT_TRUE(fbtest::weighted(curve));
  EXPECT_EQ(fb::parsePulloutCurve("# lb = 2\n0.1,1\n", "p.csv").value().angle, 0.0);  // straight by default
  // What stretched besides the fiber: its free length with its modulus, or the rig's compliance.
  const auto free = fb::parsePulloutCurve("# lb = 2\n# free length = 10\n# Ef = 40\n0.1,1\n", "p.csv");
  ASSERT_TRUE(free) << free.error();
  EXPECT_EQ(free->stretch, (fb::PulloutStretch{10, 40, 0}));
  EXPECT_DOUBLE_EQ(fb::stretchPerNewton(free->stretch, 0.0125), 10 / (40e3 * 0.0125));
  EXPECT_EQ(fb::parsePulloutCurve("# lb = 2\n# compliance = 0.01\n0.1,1\n", "p.csv").value().stretch.compliance, 0.01);
  // The fiber's slips: each less its load's stretch, never back, never below 0.
  EXPECT_EQ(fb::fiberSlips({{0, 0, 0}, {0.5, 1, 0}, {1, 2, 0}, {1.5, 0.5, 0}}, 0.25),
            (std::vector<double>{0, 0.25, 0.5, 1.375}));
  EXPECT_EQ(fb::fiberSlips({{0.25, 2, 0}, {0.75, 2, 0}, {0.75, 4, 0}}, 0.25), (std::vector<double>{0, 0.25, 0.25}));
}

TEST(PulloutCurve, a_bad_test_names_the_file_and_line) {
  const struct {
    const char* text;
    const char* message;
  } cases[] = {
      {"slip,load\n0.1,1\n", "p.csv:2: the embedded length, `# lb = ` in mm, goes before the first point"},
      {"# lb = 0\n0,1\n", "p.csv:1: lb (embedded length) must be greater than 0 mm"},
      {"# lb = -2\n0,1\n", "p.csv:1: lb (embedded length) must be greater than 0 mm"},
      {"# lb = 3 mm\n0,1\n", "p.csv:1: lb: \"3 mm\" is not a finite number"},
      {"# lb = 3\n# angle = 91\n0,1\n", "p.csv:2: angle (inclination) must lie from 0 to 90 degrees"},
      {"# lb = 3\n# angle = -5\n0,1\n", "p.csv:2: angle (inclination) must lie from 0 to 90 degrees"},
      {"# lb = 3\n# lb = 4\n0,1\n", "p.csv:2: lb is given twice (first on line 1)"},
      {"# lb = 3\n0,1\n# angle = 10\n", "p.csv:3: angle goes before the first measured point"},
      {"# lb = 3\n0,1\n3.5,0\n", "p.csv:3: slip 3.5 mm lies beyond lb = 3 mm"},
      {"# lb = 3\n-0.1,1\n", "p.csv:2: slip -0.1 mm is below 0"},
      {"# lb = 3\n0.2,1\n0.1,1\n", "p.csv:3: slip 0.1 mm goes back from 0.2 mm"},
      {"# lb = 3\n0.1,one\n", "p.csv:2: load \"one\" is not a finite number"},
      {"# lb = 3\n0.1,1,2,3\n",
       "p.csv:2: expected 2 values (slip in mm, load in N) or 3 (and the standard deviation in N), found 4"},
      {"# lb = 3\n# Vff = 1\n0.1,1\n", "p.csv:2: unknown input name \"Vff\""},
      {"# lb = 3\n", "p.csv: no measured points (slip in mm, load in N)"},
      {"# lb = 3\n# free length = 10\n0.1,1\n", "p.csv:2: a free length needs the fiber's modulus, Ef in GPa"},
      {"# lb = 3\n# Ef = 40\n0.1,1\n", "p.csv:2: Ef goes with the free length, in mm"},
      {"# lb = 3\n# free length = 10\n# Ef = 40\n# compliance = 0.01\n0.1,1\n",
       "p.csv:4: give the free length with Ef, or the compliance, not both"},
      {"# lb = 3\n# compliance = -0.01\n0.1,1\n", "p.csv:2: compliance: must be 0 or more, not -0.01"},
      {"# lb = 3\n# Ef = 0\n0.1,1\n", "p.csv:2: Ef: must be greater than 0, not 0"},
  };
  for (const auto& c : cases) {
    const auto curve = fb::parsePulloutCurve(c.text, "p.csv");
    ASSERT_FALSE(curve) << c.text;
    EXPECT_EQ(curve.error().substr(0, std::string(c.message).size()), c.message) << c.text;
  }
}

using MeasuredCurveFile = fbtest::CliFolder;

TEST_F(MeasuredCurveFile, the_summary_gives_the_rms_difference_and_a_bad_file_stops_before_the_run) {
  fbtest::writeFile(at("m.csv"), "Wcr (mm);sigma (MPa)\n0,5;1\n2;0,25\n9;1\n");
  const fbtest::Outcome o = run({"-o", "a.p-d", "--division", "3", "--measured", "m.csv"});
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_NE(o.out.find(" mm, bridging energy "), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("RMS difference to the measured curve "), std::string::npos) << o.out;
  EXPECT_NE(o.out.find(" MPa over 2 of 3 points"), std::string::npos) << o.out;

  fbtest::writeFile(at("bad.csv"), "0.1,1\n0.2\n");
  const fbtest::Outcome bad = run({"-o", "b.p-d", "--measured", "bad.csv"});
  EXPECT_EQ(bad.status, 2);
  EXPECT_NE(bad.err.find("bad.csv:2: expected 2 values"), std::string::npos) << bad.err;
  EXPECT_FALSE(std::filesystem::exists(at("b.p-d")));
}

}  // namespace
