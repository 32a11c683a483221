// A study owns its output folder; shards of one study share it, and their
// summary parts merge into the summary.csv of the whole study.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <thread>

#include "tests/support/cli_folder.h"

namespace {

using fbtest::readFile;

class Shards : public fbtest::CliFolder {
 protected:
  // Eight runs, one refused (kxy 0), whose reason holds commas that the summary quotes.
  const std::vector<std::string> study = {"-q",         "--sweep", "kxy=0,0.5,1,2", "--sweep", "Vf=0.01,0.02",
                                          "--division", "6"};
  fbtest::Outcome runStudy(std::vector<std::string> extra) const {
    std::vector<std::string> args = study;
    args.insert(args.end(), extra.begin(), extra.end());
    return run(args);
  }
  // Starts a long study in folder `cwd` (made here), writing into `dir`; gives
  // its process once its summary exists, so that it holds `dir`.
  pid_t startLong(const std::string& cwd, const std::string& dir, std::vector<std::string> extra = {}) const {
    std::filesystem::create_directories(at(cwd));
    std::vector<std::string> args = {"-q",     "--sweep", "kxy=0.5:2:20", "--division", "1500",
                                     "--jobs", "1",       "--output-dir", "../" + dir};
    args.insert(args.end(), extra.begin(), extra.end());
    const pid_t pid = start(args, "cd '" + cwd + "' &&");
    const std::string summary = at(dir + "/" + (extra.empty() ? "summary.csv" : "summary-shard-1-of-2.csv"));
    for (int i = 0; i < 1000 && !std::filesystem::exists(summary); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return pid;
  }
};

TEST_F(Shards, merged_parts_give_the_whole_studys_summary_and_name_what_is_missing) {
  ASSERT_EQ(runStudy({"--output-dir", "whole"}).status, 1);  // kxy 0 is refused
  const std::string whole = readFile(at("whole/summary.csv"));

  // Three shards into one folder, and the same three into a folder each.
  for (const char* k : {"1/3", "2/3", "3/3"}) {
    const fbtest::Outcome shared = runStudy({"--output-dir", "shared", "--shard", k});
    EXPECT_EQ(shared.status, std::string(k) == "3/3" ? 0 : 1) << k << shared.err;
    EXPECT_EQ(shared.err.find("not part of this study"), std::string::npos) << shared.err;
    runStudy({"--output-dir", std::string("own") + k[0], "--shard", k});
  }
  EXPECT_FALSE(std::filesystem::exists(at("shared/summary.csv")));
  const fbtest::Outcome merged = run({"--merge", "shared"});
  EXPECT_EQ(merged.status, 1) << merged.err;  // the refused runs did not finish
  EXPECT_EQ(readFile(at("shared/summary.csv")), whole);
  EXPECT_NE(merged.out.find("6 of 8 runs finished"), std::string::npos) << merged.out;
  EXPECT_NE(merged.out.find("kxy=0, Vf=0.01: refused: kxy (orientation intensity x-y) must be positive"),
            std::string::npos)
      << merged.out;
  // Merged elsewhere, the summary names each data file from where it lies.
  EXPECT_EQ(run({"--merge", "own1", "own2", "own3", "--output-dir", "out"}).status, 1);
  const auto wholeRows = fbtest::lines(whole), outRows = fbtest::lines(readFile(at("out/summary.csv")));
  ASSERT_EQ(outRows.size(), wholeRows.size());
  for (std::size_t i = 1; i < wholeRows.size(); ++i) {
    std::string expected = wholeRows[i];
    if (const auto name = expected.find(",kxy="); name != std::string::npos)
      expected.insert(name + 1, "../own" + std::to_string((i - 1) % 3 + 1) + "/");
    EXPECT_EQ(outRows[i], expected);
    const std::string file = expected.substr(expected.find(',', expected.find(',') + 1) + 1);
    if (!file.starts_with(",")) {
      EXPECT_TRUE(std::filesystem::exists(at("out") / file.substr(0, file.find(','))));
    }
  }
  for (const char* file : {"/kxy=1_Vf=0.02.p-d", "/kxy=2_Vf=0.01.p-d"})
    EXPECT_EQ(fbtest::withoutClockLine(readFile(at(std::string("shared") + file))),
              fbtest::withoutClockLine(readFile(at(std::string("whole") + file))));

  // A shard that left no part: its runs are named and the merge fails.
  const fbtest::Outcome partial = run({"--merge", "own1", "own3", "--output-dir", "partial"});
  EXPECT_EQ(partial.status, 1);
  EXPECT_NE(partial.out.find("shard 2 of 3 left no summary part: its 3 runs are missing (run it with --shard 2/3)"),
            std::string::npos)
      << partial.out;
  EXPECT_NE(partial.err.find("3 of 8 runs are missing"), std::string::npos) << partial.err;
  const auto rows = fbtest::lines(readFile(at("partial/summary.csv")));
  ASSERT_EQ(rows.size(), 9u);
  EXPECT_EQ(rows[2].substr(0, 20), "0,0.02,,not run,,,,,");
  // The reason in the message column; the design columns after it stay empty.
  EXPECT_TRUE(rows[2].ends_with(",\"its shard, 2 of 3, left no summary part\",,,,,,,")) << rows[2];

  // Parts that do not belong together are refused before anything is written.
  runStudy({"--output-dir", "other", "--shard", "2/3", "--kzx", "2"});
  const fbtest::Outcome mixed = run({"--merge", "own1", "other", "--output-dir", "mixed"});
  EXPECT_EQ(mixed.status, 2);
  EXPECT_NE(mixed.err.find("are not parts of one study"), std::string::npos) << mixed.err;
  runStudy({"--output-dir", "four", "--shard", "1/4"});
  EXPECT_EQ(run({"--merge", "own2", "four", "--output-dir", "mixed"}).status, 2);
  EXPECT_EQ(run({"--merge", "own2", "own2", "--output-dir", "mixed"}).status, 2);  // shard 2 twice
  EXPECT_FALSE(std::filesystem::exists(at("mixed/summary.csv")));
}

TEST_F(Shards, shard_and_merge_usage_errors_exit_2) {
  for (const char* bad : {"0/2", "3/2", "1/0", "a/2", "2", "1/2/3", "-1/2"})
    EXPECT_EQ(runStudy({"--output-dir", "s", "--shard", bad}).status, 2) << bad;
  EXPECT_EQ(run({"--shard", "1/2", "-o", "r.p-d"}).status, 2);  // not a sweep
  EXPECT_EQ(runStudy({"--output-dir", "s", "--shard", "1/2", "--plot", "p.svg"}).status, 2);
  EXPECT_EQ(run({"--merge", "a", "b"}).status, 2);  // several folders need --output-dir
  EXPECT_EQ(run({"--merge", "a", "--kxy", "2"}).status, 2);
  EXPECT_EQ(run({"--merge", "nothing-here"}).status, 2);
  std::filesystem::create_directories(at("mixed"));
  for (const char* part : {"summary-shard-1-of-2.csv", "summary-shard-2-of-3.csv"})
    fbtest::writeFile(at(std::string("mixed/") + part), "");
  const fbtest::Outcome mixed = run({"--merge", "mixed"});
  EXPECT_NE(mixed.err.find("belong to splits into different numbers of parts"), std::string::npos) << mixed.err;
}

TEST_F(Shards, a_study_holds_its_folder_against_other_studies_but_not_its_own_shards) {
  const pid_t first = startLong("a", "busy");
  const fbtest::Outcome second = runStudy({"--output-dir", "busy"});
  EXPECT_EQ(second.status, 1);
  EXPECT_NE(second.err.find("busy: another study is writing into this folder"), std::string::npos) << second.err;
  EXPECT_EQ(runStudy({"--output-dir", "busy", "--shard", "1/2"}).status, 1);
  EXPECT_EQ(run({"--merge", "busy"}).status, 2);
  EXPECT_EQ(finish(first).status, 0);
  EXPECT_FALSE(std::filesystem::exists(at("busy/kxy=0_Vf=0.01.p-d")));  // nothing of the second
  EXPECT_NE(readFile(at("busy/summary.csv")).find("2,kxy=2.p-d,finished"), std::string::npos);

  // Once the folder is free, another study may take it.
  EXPECT_EQ(runStudy({"--output-dir", "busy"}).status, 1);  // kxy 0 refused, the rest finished

  // Two shards of one study share a folder; a shard twice, or another study's shard, may not.
  const pid_t shard1 = startLong("b", "shared", {"--shard", "1/2"});
  const fbtest::Outcome again = run({"-q", "--sweep", "kxy=0.5:2:20", "--division", "1500", "--jobs", "1",
                                     "--output-dir", "shared", "--shard", "1/2"});
  EXPECT_EQ(again.status, 1);
  EXPECT_NE(again.err.find("shard 1 of 2 of this study is already writing"), std::string::npos) << again.err;
  const fbtest::Outcome other = runStudy({"--output-dir", "shared", "--shard", "2/2"});
  EXPECT_EQ(other.status, 1);  // kxy 0 would be refused too: the reason tells
  EXPECT_NE(other.err.find("shared: another study is writing into this folder"), std::string::npos) << other.err;
  const fbtest::Outcome sibling = run({"-q", "--sweep", "kxy=0.5:2:20", "--division", "1500", "--jobs", "1",
                                       "--output-dir", "shared", "--shard", "2/2"});
  EXPECT_EQ(sibling.status, 0) << sibling.err;
  EXPECT_EQ(finish(shard1).status, 0);
  EXPECT_EQ(run({"--merge", "shared"}).status, 0);
}

TEST_F(Shards, parts_of_another_study_never_take_the_place_of_a_newer_summary) {
  for (const char* k : {"1/3", "2/3", "3/3"}) {
    runStudy({"--output-dir", "old", "--shard", k});
    runStudy({"--output-dir", std::string("part") + k[0], "--shard", k});
  }
  // Another study, unsharded or split otherwise, does not start beside the old parts.
  for (const std::vector<std::string>& other :
       std::vector<std::vector<std::string>>{{"--kzx", "2"}, {"--shard", "1/2"}, {"--kzx", "2", "--shard", "1/3"}}) {
    std::vector<std::string> args = {"--output-dir", "old"};
    args.insert(args.end(), other.begin(), other.end());
    const fbtest::Outcome r = runStudy(args);
    EXPECT_EQ(r.status, 1) << other.back();
    EXPECT_NE(r.err.find("old holds summary parts of another study (summary-shard-1-of-3.csv, "), std::string::npos)
        << r.err;
  }
  EXPECT_FALSE(std::filesystem::exists(at("old/summary.csv")));
  EXPECT_FALSE(std::filesystem::exists(at("old/summary-shard-1-of-2.csv")));

  // Nor does a merge put them in place of a newer study's summary, or beside another study's parts.
  runStudy({"--output-dir", "new", "--kzx", "2"});
  runStudy({"--output-dir", "split", "--shard", "1/2"});
  const std::string newer = readFile(at("new/summary.csv"));
  for (const std::string out : {"new", "split"}) {
    const fbtest::Outcome merge = run({"--merge", "part1", "part2", "part3", "--output-dir", out});
    EXPECT_EQ(merge.status, 1) << out;
    EXPECT_NE(
        merge.err.find(out == "new" ? "new/summary.csv is the summary of another study" : "split holds summary parts"),
        std::string::npos)
        << merge.err;
  }
  EXPECT_EQ(readFile(at("new/summary.csv")), newer);
  EXPECT_FALSE(std::filesystem::exists(at("split/summary.csv")));

  // The refused studies left no trace: the study, its merges and its shards go on, again and again.
  for (int again = 0; again < 2; ++again) {
    EXPECT_EQ(run({"--merge", "old"}).err.find("another study"), std::string::npos);
    EXPECT_EQ(run({"--merge", "part1", "part2", "part3", "--output-dir", "merged"}).err.find("another study"),
              std::string::npos);
    for (const char* k : {"1/3", "2/3", "3/3"})
      EXPECT_EQ(runStudy({"--output-dir", "old", "--shard", k}).err.find("another study"), std::string::npos);
  }
  EXPECT_TRUE(std::filesystem::exists(at("old/summary.csv")));
  EXPECT_TRUE(std::filesystem::exists(at("merged/summary.csv")));
}

TEST_F(Shards, shards_whose_summary_rows_would_differ_are_not_one_study) {
  // The same points in another file are the same curve; the matrix counts by its Jtip.
  fbtest::writeFile(at("m.csv"), "0.1,1\n0.2,0.5\n");
  fbtest::writeFile(at("same.csv"), "Wcr (mm),sigma (MPa)\n0.1,1.0\n0.2,0.50\n");
  fbtest::writeFile(at("other.csv"), "0.1,1\n0.2,0.6\n");
  runStudy({"--output-dir", "base", "--shard", "1/2", "--measured", "m.csv", "--Jtip", "5", "--sigma-fc", "1"});
  struct Case {
    std::vector<std::string> options;
    bool oneStudy;
  };
  const std::vector<Case> cases = {
      {{"--measured", "same.csv", "--Km", "0.5", "--Em", "50", "--sigma-fc", "1"}, true},
      {{"--measured", "other.csv", "--Jtip", "5", "--sigma-fc", "1"}, false},
      {{"--Jtip", "5", "--sigma-fc", "1"}, false},
      {{"--measured", "m.csv"}, false},
      {{"--measured", "m.csv", "--Jtip", "6", "--sigma-fc", "1"}, false},
      {{"--measured", "m.csv", "--Km", "0.1", "--Em", "2.5", "--sigma-fc", "1"}, false},
      {{"--measured", "m.csv", "--Jtip", "5", "--sigma-fc", "1.1"}, false},
      {{"--measured", "m.csv", "--Jtip", "5", "--sigma-fc", "1", "--psh-margins", "2,1.3"}, false},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const std::string dir = "shard2-" + std::to_string(i);
    std::vector<std::string> args = {"--output-dir", dir, "--shard", "2/2"};
    args.insert(args.end(), cases[i].options.begin(), cases[i].options.end());
    runStudy(args);
    const fbtest::Outcome merge = run({"--merge", "base", dir, "--output-dir", "merged-" + std::to_string(i)});
    EXPECT_EQ(merge.status, cases[i].oneStudy ? 1 : 2) << i << merge.err;  // one study: only kxy 0 refused
    EXPECT_EQ(merge.err.find("are not parts of one study") == std::string::npos, cases[i].oneStudy) << i;
  }
}

TEST_F(Shards, a_merge_refuses_a_row_that_is_not_what_the_study_wrote) {
  for (const char* k : {"1/3", "2/3", "3/3"}) runStudy({"--output-dir", "good", "--shard", k});
  // Shard 1 of 3 ran runs 1, 4 and 7; run 4 (kxy=0.5, Vf=0.02) is line 7 of its part,
  // after the study's, the shard's and the two sweeps' lines and the header.
  struct Plant {
    std::string from, to;
    bool everyPart;  // so that the parts still agree with one another
    std::string says;
  };
  const std::vector<Plant> plants = {
      {",kxy=0.5_Vf=0.02.p-d,", ",../../x,", false, "summary-shard-1-of-3.csv:7: its data file \"../../x\""},
      {"kxy=0.5_Vf=0.02.p-d,finished,", "kxy=0.5_Vf=0.02.p-d,done,", false, "-1-of-3.csv:7: its status \"done\""},
      {"kxy=0.5_Vf=0.02.p-d,finished,", "kxy=0.5_Vf=0.02.p-d,finished,x", false, "-1-of-3.csv:7: its peak force (kN)"},
      {"\n0.5,0.02,", "\n0.5,0.01,", false, "-1-of-3.csv:7: run 4's inputs are not those of its place in the grid"},
      {"peak force (kN)", "peak force (N)", true, "-1-of-3.csv:5: not the header of a study's summary"},
      {" runs in 3 parts", " runs in 2 parts", true, "-1-of-3.csv: it names study "},
      {"# sweep Vf,0.01,0.02", "# sweep Vf,0.01,0.03", false, "are not parts of one study: their sweeps differ"},
      {"# shard 1 of 3", "# shard 2 of 3", false, "-1-of-3.csv:2: its file name says shard 1 of 3"},
      {"# shard 1 of 3: runs 1, 4, 7, ... of the grid (counted from 1)\n# sweep kxy,0,0.5,1,2\n# sweep Vf,0.01,0.02\n",
       "", false, "-1-of-3.csv:2: it lists every run of the grid"},
      // A run's row twice: the next run's place holds another run's inputs.
      {"\n0,0.01,,refused,,,,,,kxy (orientation intensity x-y) must be positive,,,,,,,\n",
       "\n0,0.01,,refused,,,,,,kxy (orientation intensity x-y) must be positive,,,,,,,\n"
       "0,0.01,,refused,,,,,,kxy (orientation intensity x-y) must be positive,,,,,,,\n",
       false, "-1-of-3.csv:7: run 4's inputs are not those"},
  };
  for (const Plant& plant : plants) {
    std::filesystem::remove_all(at("bad"));
    std::filesystem::copy(at("good"), at("bad"));
    for (const char* part :
         {"bad/summary-shard-1-of-3.csv", "bad/summary-shard-2-of-3.csv", "bad/summary-shard-3-of-3.csv"}) {
      if (!plant.everyPart && std::string(part).find("-1-of-") == std::string::npos) continue;
      std::string text = readFile(at(part));
      const auto where = text.find(plant.from);
      ASSERT_NE(where, std::string::npos) << plant.from;
      fbtest::writeFile(at(part), text.replace(where, plant.from.size(), plant.to));
    }
    const fbtest::Outcome merge = run({"--merge", "bad"});
    EXPECT_EQ(merge.status, 2) << plant.says;
    EXPECT_NE(merge.err.find(plant.says), std::string::npos) << plant.says << " / " << merge.err;
    EXPECT_FALSE(std::filesystem::exists(at("bad/summary.csv")));
  }
  // A part that lost its last run (a shard cut short), or holds one run too many.
  for (const bool cut : {true, false}) {
    std::filesystem::remove_all(at("bad"));
    std::filesystem::copy(at("good"), at("bad"));
    std::string text = readFile(at("bad/summary-shard-1-of-3.csv"));
    const std::size_t last = text.rfind('\n', text.size() - 2) + 1;
    fbtest::writeFile(at("bad/summary-shard-1-of-3.csv"), cut ? text.substr(0, last) : text + text.substr(last));
    const fbtest::Outcome merge = run({"--merge", "bad"});
    EXPECT_EQ(merge.status, 2);
    EXPECT_NE(merge.err.find(cut ? "-1-of-3.csv:8: ends after 2 of the 3 runs of shard 1 of 3"
                                 : "-1-of-3.csv:9: more runs than its shard has in the grid"),
              std::string::npos)
        << merge.err;
    EXPECT_FALSE(std::filesystem::exists(at("bad/summary.csv")));
  }
}

// A shard killed by its time limit and run again with --resume does only
// what was left, and ends with the files a clean run writes.
TEST_F(Shards, a_killed_shard_resumed_finishes_only_what_was_left) {
  const std::vector<std::string> shard = {
      "-q", "--sweep", "kxy=0.5:2:24", "--division", "2500", "--jobs", "1", "--output-dir", "s", "--shard", "2/2"};
  const pid_t killed = start(shard);
  const auto finishedRows = [&] {
    const std::string part = readFile(at("s/summary-shard-2-of-2.csv"));
    std::size_t count = 0;
    for (std::size_t at = part.find(",finished,"); at != std::string::npos; at = part.find(",finished,", at + 1))
      ++count;
    return count;
  };
  for (int i = 0; i < 3000 && finishedRows() < 2; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ::kill(killed, SIGKILL);
  finish(killed);
  const std::size_t before = finishedRows();
  ASSERT_GE(before, 2u);
  ASSERT_LT(before, 12u) << "the shard ended before it was killed";

  std::vector<std::string> resumed = shard;
  resumed.push_back("--resume");
  const fbtest::Outcome again = run(resumed);
  ASSERT_EQ(again.status, 0) << again.err;
  EXPECT_NE(again.out.find("12 of 12 runs of shard 2 of 2 finished (" + std::to_string(before) +
                           " kept from the earlier attempt)"),
            std::string::npos)
      << again.out;
  std::vector<std::string> clean = shard;
  clean[8] = "clean";
  ASSERT_EQ(run(clean).status, 0);
  EXPECT_EQ(readFile(at("s/summary-shard-2-of-2.csv")), readFile(at("clean/summary-shard-2-of-2.csv")));
  for (const auto& entry : std::filesystem::directory_iterator(at("clean"))) {
    if (entry.path().extension() != ".p-d") continue;
    EXPECT_EQ(fbtest::withoutClockLine(readFile(entry.path())),
              fbtest::withoutClockLine(readFile(at("s") / entry.path().filename())))
        << entry.path();
  }

  // A data file cut short, or of other inputs, runs again; the others are kept.
  // Cut at a row's end, as a disk that filled up leaves it: every row it keeps is whole.
  std::string cut = readFile(at("s/kxy=0.5652174.p-d"));
  ASSERT_GT(cut.size(), 40u);
  fbtest::writeFile(at("s/kxy=0.5652174.p-d"), cut.substr(0, cut.rfind('\n', cut.size() - 2) + 1));
  std::string other = readFile(at("s/kxy=2.p-d"));
  fbtest::writeFile(at("s/kxy=2.p-d"), other.replace(other.find("2500"), 4, "2501"));
  const fbtest::Outcome repaired = run(resumed);
  EXPECT_NE(repaired.out.find("(10 kept from the earlier attempt)"), std::string::npos) << repaired.out;
  EXPECT_EQ(fbtest::withoutClockLine(readFile(at("s/kxy=2.p-d"))),
            fbtest::withoutClockLine(readFile(at("clean/kxy=2.p-d"))));

  // Another study's summary is not resumed from.
  ASSERT_EQ(run({"-q", "--sweep", "kxy=0.5:2:24", "--division", "6", "--output-dir", "u"}).status, 0);
  const fbtest::Outcome changed =
      run({"-q", "--sweep", "kxy=0.5:2:24", "--division", "6", "--kzx", "2", "--output-dir", "u", "--resume"});
  EXPECT_EQ(changed.status, 0);
  EXPECT_NE(changed.err.find("not this study's summary; every run runs again"), std::string::npos) << changed.err;
  EXPECT_EQ(changed.out.find("kept from"), std::string::npos) << changed.out;
}

TEST_F(Shards, a_study_on_a_full_disk_calls_its_failed_data_files_its_own) {
  // A limit of 512 bytes lets the summary be written but no data file's header;
  // the data file of the refused run is an earlier study's, and is named.
  std::filesystem::create_directories(at("s"));
  fbtest::writeFile(at("s/kxy=0.p-d"), "earlier\r\n");
  std::signal(SIGXFSZ, SIG_DFL);
  const fbtest::Outcome r = run({"-q", "--sweep", "kxy=0,1,2", "--division", "6", "--output-dir", "s"}, "ulimit -f 1;");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("kxy=1: failed: s/kxy=1.p-d: File too large"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("1 data file in s is not part of this study: kxy=0.p-d\n"), std::string::npos) << r.err;
}

}  // namespace
