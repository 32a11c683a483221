// Runs the built fiberbridge-cli as users do and reads what it wrote.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/version.h"
#include "tests/support/cli_folder.h"

namespace {

namespace fs = std::filesystem;
using Cli = fbtest::CliFolder;
using fbtest::lines;
using fbtest::readFile;

TEST_F(Cli, default_inputs_give_one_summary_line_and_no_progress_without_a_terminal) {
  const fbtest::Outcome r = run({"--output", "bridging.p-d"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out,
            "peak force 5.1888 kN, peak stress 2.0755 MPa at Wcr 0.266666666666667 mm, bridging energy "
            "1.4679 N/mm, half the peak stress at Wcr 0.43573 mm, J'b 272.066 J/m2; written to bridging.p-d\n");
}

TEST_F(Cli, a_quiet_sweep_says_only_what_did_not_finish_and_its_summary) {
  const fbtest::Outcome r = run({"-q", "--sweep", "Vf=0.01,-1,0.02", "--division", "2", "--output-dir", "q"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out,
            "Vf=-1: refused: Vf (fiber volume fraction) must be positive\n"
            "2 of 3 runs finished; summary in q/summary.csv\n");
  EXPECT_EQ(fbtest::lines(run({"--sweep", "Vf=0.01,0.02", "--division", "2", "--output-dir", "loud"}).out).size(), 3u);
}

TEST_F(Cli, option_texts_are_read_as_the_window_reads_its_boxes) {
  const fbtest::Outcome r =
      run({"-o", "a.p-d", "--Am=2 500", "--fp1", "-0.01", "--Vf", "0.02mix", "--division", "1.5"});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<std::string> file = lines(readFile(at("a.p-d")));
  EXPECT_EQ(file.size(), 6u + 5u);  // 1.5 rounds to 2: five steps
  EXPECT_EQ(file[1].substr(0, 37), "  Sectional area of matrix (mm2)=2500");
  EXPECT_NE(file[2].find("Snubbing coef.=0.5, 0+0*lb"), std::string::npos);  // no fp1 term when negative
  // A text the window's reading cuts is named with what it was read as; a whole number, blanks aside, is not.
  EXPECT_EQ(r.err, "fiberbridge-cli: warning: Vf \"0.02mix\" is read as 0.02 (the number at its start)\n");
  const fbtest::Outcome none = run({"-o", "b.p-d", "--thetaRxy", "abc", "--division", "2"});
  EXPECT_EQ(none.err, "fiberbridge-cli: warning: thetaRxy \"abc\" holds no number and is read as 0\n");
}

TEST_F(Cli, refused_inputs_exit_1_name_the_field_and_leave_no_file) {
  const struct {
    std::vector<std::string> args;
    const char* field;
  } cases[] = {
      {{"--Af", "0"}, "Af"},
      {{"--Vf", "1.5"}, "Vf"},
      {{"--division", "16384"}, "division"},
      {{"--division", "-1"}, "division"},  // the window's run without steps: no result for a script
      {{"--Ca", "0", "--Da", "0"}, "Ca/Da"},
      {{"--fp0", "200"}, "fp0/fp1"},
      {{"--fd0", "200"}, "fd0/fd1"},
      {{"--fd0", "-1e20"}, "fd0/fd1"},
      {{"--Aa", "1e38", "--Ba", "3"}, "Aa/Ba"},
      {{"--A", "1e38", "--B", "1"}, "A/B"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"-o", "refused.p-d"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const fbtest::Outcome r = run(args);
    EXPECT_EQ(r.status, 1) << c.field;
    EXPECT_NE(r.err.find(std::string(": ") + c.field + " ("), std::string::npos) << c.field << ": " << r.err;
    EXPECT_FALSE(fs::exists(at("refused.p-d"))) << c.field;
    EXPECT_EQ(r.out, "") << c.field;
  }
}

TEST_F(Cli, usage_errors_exit_2) {
  EXPECT_EQ(run({"--division", "3"}).status, 2);  // no --output
  EXPECT_EQ(run({"-o", "x.p-d", "--bogus", "1"}).status, 2);
  // A misspelt option is named after the program, with the nearest one.
  const fbtest::Outcome misspelt = run({"-o", "x.p-d", "--vf", "0.01"});
  EXPECT_EQ(misspelt.status, 2);
  EXPECT_TRUE(misspelt.err.starts_with("fiberbridge-cli: ")) << misspelt.err;
  EXPECT_NE(misspelt.err.find("(did you mean --Vf?)"), std::string::npos) << misspelt.err;
  EXPECT_NE(run({"-o", "x.p-d", "--divison", "9"}).err.find("(did you mean --division?)"), std::string::npos);
  EXPECT_EQ(run({"-o", "x.p-d", "--bogus", "1"}).err.find("did you mean"), std::string::npos) << "nothing near";
  EXPECT_EQ(run({"-o", "x.p-d", "--Am"}).status, 2);
  // Every input's help names its unit.
  const fbtest::Outcome help = run({"--help"});
  for (const char* line : {"--Lf TEXT=12                  fiber length (mm)\n",
                           "--Vf TEXT=0.02                fiber volume fraction (no unit)\n",
                           "--ruptureStrength TEXT=569    rupture strength (MPa)\n"})
    EXPECT_NE(help.out.find(line), std::string::npos) << line;
  const fbtest::Outcome version = run({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "fiberbridge-cli " + std::string(fb::kVersion) + "\n");
}

// "-" for --csv or --band is standard output, for a pipe; the lines of
// results then go to standard error, and a run that writes rows or a plot
// needs no data file.
TEST_F(Cli, rows_and_a_band_go_to_standard_output_and_the_report_beside_the_messages) {
  ASSERT_EQ(run({"-o", "r.p-d", "--csv", "rows.csv", "--division", "4"}).status, 0);
  const fbtest::Outcome piped = run({"--csv", "-", "--division", "4"});
  ASSERT_EQ(piped.status, 0) << piped.err;
  EXPECT_EQ(piped.out, readFile(at("rows.csv")));
  EXPECT_TRUE(piped.err.starts_with("peak force ")) << piped.err;
  EXPECT_EQ(piped.err.find("written to"), std::string::npos) << "no data file was asked for: " << piped.err;
  EXPECT_FALSE(std::filesystem::exists(at("-")));

  const fbtest::Outcome plotted = run({"--plot", "p.svg", "--division", "4"});
  EXPECT_EQ(plotted.status, 0) << plotted.err;
  EXPECT_TRUE(plotted.out.starts_with("peak force ")) << plotted.out;
  EXPECT_TRUE(std::filesystem::exists(at("p.svg")));

  const fbtest::Outcome band =
      run({"--scatter", "Vf=normal:0.02:0.002", "--samples", "4", "--division", "4", "--band", "-"});
  ASSERT_EQ(band.status, 0) << band.err;
  EXPECT_TRUE(band.out.starts_with("Wcr (mm),mean (MPa),")) << band.out;
  EXPECT_NE(band.err.find("scatter of Vf=normal:0.02:0.002 over 4 samples"), std::string::npos) << band.err;
  EXPECT_NE(band.err.find("band of 9 crack widths on standard output"), std::string::npos) << band.err;

  expectRefused({
      {{"-o", "-", "--division", "4"}, "-o -: only --csv and --band write to standard output (-); name a file"},
      {{"--csv", "-", "--plot", "-"}, "--plot -: only --csv and --band"},
      {{"--csv", "rows.csv", "--save-inputs", "-"}, "--save-inputs -: only --csv and --band"},
  });
  EXPECT_FALSE(std::filesystem::exists(at("-")));
}

// The composite's tension law for FE codes: a run's with the matrix's
// softening, or a table from elsewhere; what a code cannot take is refused
// before anything runs.
TEST_F(Cli, a_tension_law_goes_out_for_fe_codes_and_what_they_cannot_take_is_refused) {
  const fbtest::Outcome r =
      run({"--division", "6", "--ft", "3", "--Gf", "0.1", "--export", "abaqus:law.inp", "--export", "csv:law.csv"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("tension law of "), std::string::npos) << r.out;
  const std::string inp = readFile(at("law.inp"));
  EXPECT_NE(inp.find("*CONCRETE TENSION STIFFENING, TYPE=DISPLACEMENT\n3, 0\n"), std::string::npos) << inp;
  EXPECT_EQ(lines(readFile(at("law.csv")))[2], "0,3");

  fbtest::writeFile(at("law.txt"), "crack width,stress\n0,2.5\n0.1,1.5\n1,0.5\n");
  const fbtest::Outcome table = run({"--sigma-w", "law.txt", "--export", "diana:law.dat", "--crack-band", "20"});
  ASSERT_EQ(table.status, 0) << table.err;
  EXPECT_NE(readFile(at("law.dat")).find("TENVAL\n        2.5 0\n        1.5 0.005\n"), std::string::npos);

  fbtest::writeFile(at("falling.txt"), "0,2.5\n0.1,1.5\n0.05,0.5\n");
  expectRefused({
      {{"--division", "6", "--export", "abaqus:x.inp"}, "an Abaqus table begins at the tensile strength"},
      {{"--division", "6", "--ft", "3", "--Gf", "0.1", "--export", "diana:x.dat"}, "give --crack-band h (mm)"},
      {{"--division", "6", "--ft", "3", "--export", "csv:x.csv"}, "--ft and --Gf go together"},
      {{"--division", "6", "--ft", "-3", "--Gf", "0.1", "--export", "csv:x.csv"}, "--ft \"-3\": must be a positive"},
      {{"--division", "6", "--ft", "3", "--Gf", "0.1", "-o", "a.p-d"}, "go with --export"},
      {{"--export", "nastran:x"}, "\"nastran\" is not a format"},
      {{"--sweep", "kxy=1,2", "--output-dir", "s", "--export", "csv:x.csv"}, "--export belongs to a single run's"},
      {{"--sigma-w", "law.txt", "--ft", "3", "--Gf", "0.1", "--export", "csv:x.csv"}, "--ft belongs to a run"},
      {{"--sigma-w", "falling.txt", "--export", "csv:x.csv"}, "falling.txt:3: the crack widths of a law must rise"},
      {{"--sigma-w", "law.txt", "--export", "csv:law.txt"}, "name the same file"},
      {{"--sigma-w", "law.txt", "--export", "csv:-"}, "--export csv:-: only --csv and --band write to standard"},
  });
  EXPECT_FALSE(std::filesystem::exists(at("x.inp")) || std::filesystem::exists(at("x.dat")) ||
               std::filesystem::exists(at("x.csv")));
}

// The beam of a tension law: its figures, its class from them (said to be
// mean values), and its curve; what it cannot be computed from is refused.
TEST_F(Cli, a_beam_gives_its_residual_strengths_and_its_class_from_mean_values) {
  fbtest::writeFile(at("plastic.txt"), "0,1\n10,1\n");
  fbtest::writeFile(at("pascal.txt"), "0,1e6\n10,1e6\n");
  const fbtest::Outcome r = run({"--sigma-w", "plastic.txt", "--Ec", "30", "--beam", "--beam-curve", "beam.csv"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("beam 150 x 150 mm, span 500 mm, notch 25 mm (cracked hinge, Olesen 2001): fL "),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("from these mean values (one run, not characteristic ones): class 2.5c, fR3/fR1 1.04"),
            std::string::npos)
      << r.out;
  const auto curve = lines(readFile(at("beam.csv")));
  EXPECT_EQ(curve[0], "CMOD (mm),load (kN)");
  EXPECT_GT(curve.size(), 100u);
  const fbtest::Outcome run1 =
      run({"--division", "8", "--ft", "3", "--Gf", "0.1", "--Ec", "30", "--beam", "--beam-size", "100,100,300,15"});
  EXPECT_EQ(run1.status, 0) << run1.err;
  EXPECT_NE(run1.out.find("beam 100 x 100 mm, span 300 mm, notch 15 mm"), std::string::npos) << run1.out;
  // A scatter's samples give the characteristic values: their 5 % quantile, below their mean.
  const fbtest::Outcome scatter = run({"--division", "8", "--ft", "3", "--Gf", "0.1", "--Ec", "30", "--beam",
                                       "--scatter", "Vf=normal:0.02:0.004", "--samples", "16"});
  ASSERT_EQ(scatter.status, 0) << scatter.err;
  const std::size_t beams = scatter.out.find("beams of 16 samples (cracked hinge, Olesen 2001): fL mean ");
  ASSERT_NE(beams, std::string::npos) << scatter.out;
  const std::size_t fR1 = scatter.out.find("fR1 mean ", beams) + 9;
  const double mean = std::stod(scatter.out.substr(fR1));
  const double fifth = std::stod(scatter.out.substr(scatter.out.find(", 5 % ", fR1) + 6));
  EXPECT_GT(fifth, 0);
  EXPECT_LT(fifth, mean);
  EXPECT_NE(scatter.out.find("from the characteristic values (the samples' 5 % quantile"), std::string::npos);
  expectRefused({
      {{"--division", "8", "--ft", "3", "--Gf", "0.1", "--beam"}, "--beam needs the modulus --Ec (GPa)"},
      {{"--division", "8", "--ft", "3", "--Gf", "0.1", "--Ec", "30", "--export", "csv:x.csv", "--scatter",
        "Vf=normal:0.02:0.004"},
       "--export belongs to a single run's tension law; a scatter's samples give their beams' characteristic"},
      {{"--division", "8", "--Ec", "30", "--beam"}, "--Ec goes with the matrix's --ft and --Gf"},
      {{"--division", "8", "--beam-curve", "b.csv"}, "--beam-size and --beam-curve go with --beam"},
      {{"--sigma-w", "plastic.txt", "--Ec", "30", "--beam", "--beam-size", "150,150,500,150"}, "shallower"},
      {{"--sweep", "kxy=1,2", "--output-dir", "s", "--beam"},
       "--beam belongs to a single run's tension law or a --sigma-w table"},
      // A value in another unit: MPa for GPa, N/m for N/mm; a table of Pa for MPa; a beam in metres.
      {{"--sigma-w", "plastic.txt", "--Ec", "30000", "--beam"}, "--Ec 30000: a cementitious composite's modulus"},
      {{"--division", "8", "--ft", "3", "--Gf", "100", "--export", "csv:x.csv"}, "--Gf 100: a cementitious"},
      {{"--sigma-w", "pascal.txt", "--Ec", "30", "--beam"}, "pascal.txt:1: a law's stress lies between 0 and 100"},
      {{"--sigma-w", "plastic.txt", "--Ec", "30", "--beam", "--beam-size", "0.15,0.15,0.5,0.025e4"}, "shallower"},
  });
}

// A beam test fitted through the beam of each run's composite law: the
// forward beam of A = 2 read at a few CMODs gives A back, reported and drawn.
TEST_F(Cli, a_fit_to_a_beam_test_finds_the_input_that_made_it) {
  const std::vector<std::string> matrix{"--division", "8", "--ft", "3", "--Gf", "0.1", "--Ec", "30"};
  std::vector<std::string> forward = matrix;
  for (const char* arg : {"--A", "2", "--beam", "--beam-curve", "truth.csv"}) forward.push_back(arg);
  ASSERT_EQ(run(forward).status, 0);
  std::string test = "# comes from the forward beam\nCMOD (mm),load (kN)\n";
  const auto truth = lines(readFile(at("truth.csv")));
  for (std::size_t i = 40; i < truth.size(); i += 12) test += truth[i] + "\n";
  fbtest::writeFile(at("beam.csv"), test);
  std::vector<std::string> fit = matrix;
  for (const char* arg : {"--fit", "A=1:3", "--fit-starts", "1", "--beam-measured", "beam.csv", "--fit-report",
                          "fit.json", "--plot", "fit.svg"})
    fit.push_back(arg);
  const fbtest::Outcome r = run(fit);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("measured points of 1 beam test: "), std::string::npos) << r.out;
  const std::size_t a = r.out.find("  A = ");
  ASSERT_NE(a, std::string::npos) << r.out;
  EXPECT_NEAR(std::stod(r.out.substr(a + 6)), 2, 0.01) << r.out;
  EXPECT_NE(r.out.find("RMS difference to the beam tests: "), std::string::npos) << r.out;
  EXPECT_NE(readFile(at("fit.json")).find("\"beam_rms\": "), std::string::npos);
  EXPECT_NE(readFile(at("fit.svg")).find("Beam load F (kN)"), std::string::npos);
  fbtest::writeFile(at("back.csv"), "0.5,10\n0.4,9\n");
  std::vector<std::string> back = matrix;
  for (const char* arg : {"--fit", "A=1:3", "--beam-measured", "back.csv"}) back.push_back(arg);
  expectRefused({
      {{"--division", "8", "--beam-measured", "beam.csv"}, "--beam-measured goes with --fit"},
      {{"--division", "8", "--ft", "3", "--Gf", "0.1", "--fit", "A=1:3", "--measured", "beam.csv"},
       "--ft, --Gf, --Ec and --beam-size go with --beam-measured in a fit"},
      {{"--division", "8", "--Ec", "30", "--fit", "A=1:3", "--beam-measured", "beam.csv"},
       "--Ec goes with the matrix's --ft and --Gf"},
      {{"--division", "8", "--ft", "3", "--Gf", "0.1", "--fit", "A=1:3", "--beam-measured", "beam.csv"},
       "--beam-measured needs the modulus --Ec (GPa)"},
      {{"--division", "8", "--ft", "3", "--Gf", "0.1", "--Ec", "30", "--fit", "A=1:3", "--beam-measured", "beam.csv",
        "--export", "csv:x.csv"},
       "--export belongs to a single run's tension law; a fit takes --ft, --Gf, --Ec and --beam-size"},
      {back, "back.csv:2: CMOD 0.4 mm goes back from 0.5 mm"},
  });
}

TEST_F(Cli, a_seed_is_a_whole_number_that_fits_64_bits) {
  fbtest::writeFile(at("m.csv"), "0.1,1\n0.2,2\n");
  const struct {
    const char* seed;
    bool taken;
  } cases[] = {
      {"-1", false}, {"1.5", false}, {"1e3", false},  {"18446744073709551616", false}, {"12abc", false},
      {"", false},   {" 5", false},  {"0x10", false}, {"18446744073709551615", true},  {"0", true},
  };
  for (const auto& c : cases) {
    // No start is a usage error of its own, so that a seed taken starts no fit.
    const fbtest::Outcome r =
        run({"-o", "a.p-d", "--measured", "m.csv", "--fit", "A=0.5:4", "--fit-starts", "0", "--seed", c.seed});
    EXPECT_EQ(r.status, 2) << c.seed;
    const std::string refusal =
        "--seed \"" + std::string(c.seed) + "\": must be a whole number from 0 to 18446744073709551615";
    EXPECT_EQ(r.err.find(refusal) != std::string::npos, !c.taken) << c.seed << ": " << r.err;
  }
}

// A command line that names two commands, or a curve of a fit's specimen for
// another command, is refused before anything runs: neither is done halfway.
TEST_F(Cli, a_command_line_naming_two_commands_is_refused_and_writes_nothing) {
  fbtest::writeFile(at("m.csv"), "0.1,1.2\n0.3,1.9\n0.8,1.0\n2,0.3\n");
  fbtest::writeFile(at("specimen.csv"), "# Vf = 0.01\n0.1,1.2\n0.3,1.9\n");
  const std::string scatter = "Vf=normal:0.02:0.002";
  expectRefused({
      {{"--scatter", scatter, "--fit", "A=1:8", "--measured", "m.csv", "-q"}, "--scatter goes without --sweep"},
      {{"--merge", "parts", "--sweep", "kxy=1,2"}, "--merge goes alone"},
      {{"--merge", "parts", "--fit", "A=1:8", "--measured", "m.csv"}, "--merge goes alone"},
      {{"--merge", "parts", "--scatter", scatter}, "--merge goes alone"},
      {{"--sweep", "kxy=1,2", "--output-dir", "study", "--measured", "specimen.csv"}, "sets Vf for its specimen"},
      {{"--scatter", scatter, "--samples", "2", "--measured", "specimen.csv"}, "sets Vf for its specimen"},
  });
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(dir)) left.push_back(entry.path().filename().string());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"m.csv", "specimen.csv", "stderr.txt", "stdout.txt"}));
}

// The toolkit loads only with the PNG painter module; linked in, it would
// make every start several times slower.
TEST_F(Cli, starts_without_the_window_toolkit) {
  const std::string libraries = (dir / "ldd").string();
  ASSERT_EQ(std::system(("ldd " FIBERBRIDGE_CLI " > " + libraries).c_str()), 0);
  const std::string needed = readFile(libraries);
  EXPECT_NE(needed.find("libc.so"), std::string::npos) << needed;
  EXPECT_EQ(needed.find("libQt"), std::string::npos) << needed;
}

}  // namespace
