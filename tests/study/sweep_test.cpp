#include "study/studies/sweep.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>

#include "engine/field_table.h"
#include "engine/number_reader.h"
#include "study/studies/study_folder.h"
#include "tests/support/cli_folder.h"
#include "tests/support/reason.h"

namespace {

using fb::Field;

TEST(Sweep, ranges_and_lists_give_the_value_texts) {
  const struct {
    const char* text;
    Field field;
    std::vector<std::string> values;
  } cases[] = {
      {"kxy=0.5:2:4", Field::kxy, {"0.5", "1", "1.5", "2"}},
      {"Vf=0.01, 0.02 ,&H1", Field::Vf, {"0.01", "0.02", "&H1"}},
      {"division=10:20:3", Field::division, {"10", "15", "20"}},
      {"division=2e1,&H10, 30 ", Field::division, {"2e1", "&H10", "30"}},
      {"A=+2:1e-5:2", Field::A, {"2", "1e-05"}},
      {"Vf=0.1:0.3:3", Field::Vf, {"0.1", "0.2", "0.3"}},  // stored in single precision
  };
  for (const auto& c : cases) {
    const auto sweep = fb::parseSweep(c.text);
    ASSERT_TRUE(sweep) << c.text << ": " << sweep.error();
    EXPECT_EQ(sweep->field, c.field) << c.text;
    EXPECT_EQ(sweep->values, c.values) << c.text;
  }
}

TEST(Sweep, malformed_specs_are_refused_with_the_reason) {
  const struct {
    const char* text;
    const char* reason;
  } cases[] = {
      {"kxy", "expected NAME=FROM:TO:COUNT"},
      {"Kxy=1,2", "unknown input name \"Kxy\""},
      {"dataFile=a,b", "unknown input name"},
      {"kxy=1:2", "a range is FROM:TO:COUNT"},
      {"kxy=1:2:3:4", "a range is FROM:TO:COUNT"},
      {"kxy=a:2:3", "FROM is not a number"},
      {"kxy=1:2mm:3", "TO is not a number"},
      {"kxy=1:2:1", "COUNT must be a whole number"},
      {"kxy=1:2:2.5", "COUNT must be"},
      {"kxy=1,,2", "an empty value in the list"},
      {"fp0=0.5,O.6", "\"O.6\" is not a number"},  // the letter O read as 0 would run another study
      {"Lf=12mm,13", "\"12mm\" is not a number"},
      {"kxy=1,nan", "\"nan\" is not a number"},
      {"kxy=1,1e400", "\"1e400\" is not a finite number"},
      {"division=10.5,20", "\"10.5\" is not a whole number, which division takes"},  // it would run 10
      {"division=3:4:3", "division takes whole numbers, and this range gives 3.5"},
      {"division=10:20:4", "division takes whole numbers, and this range gives 13.3"},
  };
  for (const auto& c : cases) {
    const std::string reason = fbtest::reasonOf(fb::parseSweep(c.text));
    EXPECT_NE(reason.find(c.reason), std::string::npos) << c.text << ": " << reason;
  }
}

TEST(Sweep, range_texts_read_back_to_exactly_the_value_the_field_stores) {
  const auto kxy = fb::parseSweep("kxy=0.5:2:64");
  ASSERT_TRUE(kxy);
  for (int i = 0; i < 64; ++i) {
    const float expected = static_cast<float>(std::lerp(0.5, 2.0, i / 63.0));
    const float back = static_cast<float>(fb::numberReader(kxy->values[i]));
    EXPECT_EQ(std::bit_cast<std::uint32_t>(back), std::bit_cast<std::uint32_t>(expected)) << kxy->values[i];
  }
  const auto A = fb::parseSweep("A=0.1:0.7:7");
  ASSERT_TRUE(A);
  for (int i = 0; i < 7; ++i) EXPECT_EQ(fb::numberReader(A->values[i]), std::lerp(0.1, 0.7, i / 6.0)) << A->values[i];
}

TEST(Sweep, grid_puts_the_first_sweep_outermost_and_names_runs_safely) {
  const std::vector<fb::Sweep> sweeps = {fb::parseSweep("kxy=0.5,2").value(), fb::parseSweep("Vf=0.01,&H1").value()};
  const auto grid = fb::makeGrid(fb::FieldTexts::defaults(), sweeps);
  ASSERT_TRUE(grid) << grid.error();
  ASSERT_EQ(grid->size(), 4u);
  std::vector<std::string> names, labels;
  for (std::size_t i = 0; i < grid->size(); ++i)
    names.push_back(grid->run(i).name), labels.push_back(grid->run(i).label);
  EXPECT_EQ(names, (std::vector<std::string>{"kxy=0.5_Vf=0.01", "kxy=0.5_Vf=_H1", "kxy=2_Vf=0.01", "kxy=2_Vf=_H1"}));
  EXPECT_EQ(labels[3], "kxy=2, Vf=&H1");
  EXPECT_EQ(grid->run(2).texts[Field::kxy], "2");
  EXPECT_EQ(grid->run(2).texts[Field::Vf], "0.01");
  EXPECT_EQ(grid->run(2).texts[Field::Am], "2500");

  const auto blanks = fb::parseSweep("kxy=1 2,1\t2");  // both read as 12
  ASSERT_TRUE(blanks) << blanks.error();
  const std::string clash = fbtest::reasonOf(fb::makeGrid(fb::FieldTexts::defaults(), {*blanks}));
  EXPECT_NE(clash.find("kxy=1_2"), std::string::npos) << clash;
}

// Run i of a grid is made from i alone: a mixed-radix number, the last sweep
// its last digit. Every run of a three-sweep grid with sweeps of unequal
// lengths is the one that nested loops give, and its name finds it again.
TEST(Sweep, a_grids_runs_made_from_their_index_are_the_nested_loops_runs) {
  const std::vector<fb::Sweep> sweeps = {fb::parseSweep("kxy=0.5,1,2").value(), fb::parseSweep("Vf=0.01,0.02").value(),
                                         fb::parseSweep("division=3,4,5,6,7").value()};
  const auto grid = fb::makeGrid(fb::FieldTexts::defaults(), sweeps);
  ASSERT_TRUE(grid) << grid.error();
  ASSERT_EQ(grid->size(), 30u);
  std::size_t index = 0;
  for (std::size_t a = 0; a < 3; ++a)
    for (std::size_t b = 0; b < 2; ++b)
      for (std::size_t c = 0; c < 5; ++c, ++index) {
        const fb::GridRun run = grid->run(index);
        EXPECT_EQ(run.picks, (std::vector<std::size_t>{a, b, c})) << index;
        EXPECT_EQ(run.values, grid->values(index));
        EXPECT_EQ(run.texts[Field::division], sweeps[2].values[c]);
        EXPECT_EQ(grid->find(run.name), index) << run.name;
      }
  EXPECT_FALSE(grid->find("kxy=0.5_Vf=0.01"));
  EXPECT_FALSE(grid->find("kxy=0.5_Vf=0.03_division=3"));
  EXPECT_FALSE(grid->find("kxy=0.5_Vf=0.01_division=3_x"));

  // A grid past the guard asks to be allowed, and then costs its sweeps only.
  const std::vector<fb::Sweep> huge = {fb::parseSweep("kxy=0.5:2:10000").value(),
                                       fb::parseSweep("Vf=0.01:0.02:10000").value()};
  EXPECT_NE(fbtest::reasonOf(fb::makeGrid(fb::FieldTexts::defaults(), huge)).find("more than 10000000 runs"),
            std::string::npos);
  const auto allowed = fb::makeGrid(fb::FieldTexts::defaults(), huge, SIZE_MAX);
  ASSERT_TRUE(allowed);
  EXPECT_EQ(allowed->size(), 100'000'000u);
  EXPECT_EQ(allowed->run(100'000'000 - 1).label, "kxy=2, Vf=0.02");
  EXPECT_EQ(allowed->run(10001).picks, (std::vector<std::size_t>{1, 1}));
}

// A study's name, the hash its messages show, tells how it is split, not only
// its grid: a shard of the study in two parts is not one of it in three.
TEST(Sweep, a_studys_name_tells_how_it_is_split_and_what_it_runs) {
  const std::vector<fb::FieldTexts> runs(2, fb::FieldTexts::defaults());
  const auto name = [&](int parts) {
    const std::string identity = fb::studyIdentity(runs, parts);
    return identity.substr(0, identity.find(','));
  };
  EXPECT_EQ(name(2), name(2));
  EXPECT_NE(name(2), name(3));
  EXPECT_NE(name(1), name(2));

  // A grid's identity: the same runs however spelt; another base, value or order is another study.
  const auto identity = [](std::vector<std::string> sweeps, fb::FieldTexts base = fb::FieldTexts::defaults()) {
    std::vector<fb::Sweep> parsed;
    for (const std::string& s : sweeps) parsed.push_back(fb::parseSweep(s).value());
    return fb::studyIdentity(fb::makeGrid(base, parsed).value(), 2);
  };
  const std::string study = identity({"kxy=0.5:2:4", "Vf=0.01,0.02"});
  EXPECT_EQ(study, identity({"kxy=0.5,1,1.5,2", "Vf=0.01,0.02"}));
  EXPECT_NE(study, identity({"Vf=0.01,0.02", "kxy=0.5:2:4"}));
  EXPECT_NE(study, identity({"kxy=0.5:2:4", "Vf=0.01,0.03"}));
  fb::FieldTexts other = fb::FieldTexts::defaults();
  other[Field::kzx] = "2";
  EXPECT_NE(study, identity({"kxy=0.5:2:4", "Vf=0.01,0.02"}, other));
  other = fb::FieldTexts::defaults();
  other[Field::dataFile] = "elsewhere.p-d";  // each run's file is named by the grid
  EXPECT_EQ(study, identity({"kxy=0.5:2:4", "Vf=0.01,0.02"}, other));
  EXPECT_NE(study.find(", 8 runs in 2 parts"), std::string::npos) << study;
}

using SweepRuns = fbtest::CliFolder;

TEST_F(SweepRuns, each_data_file_is_the_single_runs_and_the_summary_keeps_grid_order) {
  const fbtest::Outcome o = run(
      {"--division", "3", "--sweep", "kxy=2,0.5", "--sweep", "Vf=0.02,0.01", "--output-dir", "study", "--jobs", "2"});
  ASSERT_EQ(o.status, 0) << o.err;
  const auto rows = fbtest::lines(fbtest::readFile(at("study/summary.csv")));
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(rows[0].substr(0, 31), "kxy,Vf,data file,status,peak fo");
  const char* order[] = {"2,0.02,kxy=2_Vf=0.02.p-d,finished,", "2,0.01,kxy=2_Vf=0.01.p-d,finished,",
                         "0.5,0.02,kxy=0.5_Vf=0.02.p-d,finished,", "0.5,0.01,kxy=0.5_Vf=0.01.p-d,finished,"};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(rows[i + 1].rfind(order[i], 0), 0u) << rows[i + 1];

  ASSERT_EQ(run({"-o", "one.p-d", "--division", "3", "--kxy", "0.5", "--Vf", "0.02"}).status, 0);
  EXPECT_EQ(fbtest::withoutClockLine(fbtest::readFile(at("study/kxy=0.5_Vf=0.02.p-d"))),
            fbtest::withoutClockLine(fbtest::readFile(at("one.p-d"))));
}

TEST_F(SweepRuns, a_refused_combination_is_reported_and_the_others_still_run) {
  const fbtest::Outcome o = run({"--division", "3", "--sweep", "Af=0,0.007854", "--output-dir", "study"});
  EXPECT_EQ(o.status, 1);
  const auto rows = fbtest::lines(fbtest::readFile(at("study/summary.csv")));
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[1], "0,,refused,,,,,,Af (fiber sectional area) must be positive,,,,,,,");
  EXPECT_EQ(rows[2].rfind("0.007854,Af=0.007854.p-d,finished,4.54", 0), 0u) << rows[2];
  EXPECT_FALSE(std::filesystem::exists(at("study/Af=0.p-d")));
  EXPECT_TRUE(std::filesystem::exists(at("study/Af=0.007854.p-d")));
  EXPECT_NE(o.err.find("1 of 2 runs refused or failed"), std::string::npos) << o.err;
}

TEST_F(SweepRuns, data_files_an_earlier_study_left_are_named_as_not_part_of_this_one) {
  const std::vector<std::string> study = {"--division", "2", "--output-dir", "study", "--sweep"};
  const auto sweep = [&](const std::string& values) {
    std::vector<std::string> args = study;
    args.push_back(values);
    return run(args);
  };
  fbtest::Outcome o = sweep("kxy=1,2");
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.err, "");
  for (const char* name : {"old-e", "old-a", "old-b", "old-c", "old-d"})
    fbtest::writeFile(at("study/" + std::string(name) + ".p-d"), "");
  fbtest::writeFile(at("study/notes.txt"), "");

  o = sweep("kxy=2,3");
  EXPECT_EQ(o.status, 0) << "the runs' own outcome";
  EXPECT_NE(o.err.find("6 data files in study are not part of this study: kxy=1.p-d, old-a.p-d, old-b.p-d, old-c.p-d, "
                       "old-d.p-d and 1 more\n"),
            std::string::npos)
      << o.err;

  // A refused run writes no file: one of that name is an earlier study's.
  std::filesystem::create_directories(at("other"));
  fbtest::writeFile(at("other/Af=0.p-d"), "");
  o = run({"--division", "2", "--output-dir", "other", "--sweep", "Af=0,0.007854"});
  EXPECT_EQ(o.status, 1);
  EXPECT_NE(o.err.find("1 data file in other is not part of this study: Af=0.p-d\n"), std::string::npos) << o.err;
}

TEST_F(SweepRuns, contradictory_study_options_are_usage_errors) {
  const std::vector<std::vector<std::string>> cases = {
      {"--sweep", "kxy=1,2"},                                             // no --output-dir
      {"--sweep", "kxy=1,2", "--output-dir", "d", "-o", "x.p-d"},         // -o in a sweep
      {"--sweep", "kxy=1,2", "--output-dir", "d", "--csv", "x.csv"},      // --csv in a sweep
      {"--sweep", "kxy=1,2", "--sweep", "kxy=3,4", "--output-dir", "d"},  // swept twice
      {"--sweep", "kxy=1,2", "--kxy", "3", "--output-dir", "d"},          // set and swept
      {"--sweep", "kxy=1,1", "--output-dir", "d"},                        // one name twice
      {"--sweep", "kxy=1,2", "--output-dir", "d", "--jobs", "0"},
  };
  for (const auto& args : cases) {
    const fbtest::Outcome o = run(args);
    EXPECT_EQ(o.status, 2) << args.back() << ": " << o.err;
    EXPECT_FALSE(std::filesystem::exists(at("d/summary.csv")));
  }
}

}  // namespace
