#include "cli/cli_options.h"

#include <sys/stat.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <sstream>

#include "cli/terminal_view.h"
#include "engine/cpu_allotment.h"
#include "engine/field_table.h"
#include "engine/message_text.h"
#include "engine/number_format.h"
#include "engine/number_text.h"
#include "engine/version.h"
#include "output/text_file.h"
#include "plot/figure.h"
#include "study/input_set.h"

namespace fb {
namespace {

CommandLine usageError(const std::string& message) {
  printError(message);
  return {std::nullopt, kExitUsage};
}

bool isDevice(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode) && !S_ISDIR(status.st_mode);
}

constexpr const char* kDescription =
    "FiberBridge: the bridging law of a cracked short-fiber composite.\n"
    "Every input takes the text the window's box would hold, read the same way.";
constexpr const char* kInputsGroup = "Inputs";
constexpr const char* kSweepValue = "NAME=VALUES";
constexpr const char* kFitValue = "NAME=LO:HI";
constexpr const char* kScatterValue = "NAME=DIST:A:B";

// What the option table fills in, before the checks.
struct Given {
  CliOptions o;
  FieldTexts inputs;
  std::vector<std::pair<Field, CLI::Option*>> inputOptions;
  std::vector<std::string> sweepTexts;
  std::vector<std::string> fitTexts;
  std::string shardText;
  std::string seedText = "1";  // read strictly, not by the option parser, which takes "-1" and ""
  // The design options, read strictly like the seed.
  std::string Jtip, Km, Em, sigmaFc, margins, map, mapLevel, samples;
  std::vector<std::string> scatterTexts;
};

// The whole text as a number from 0 to 2^64 - 1, digits only.
std::optional<std::uint64_t> wholeNumber64(std::string_view text) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos) return std::nullopt;
  std::uint64_t value = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec != std::errc{} || result.ptr != text.data() + text.size()) return std::nullopt;
  return value;
}

// Strain-hardening design: the matrix, the indices' margins, maps and scatter.
void addDesignOptions(CLI::App& app, Given& g) {
  constexpr const char* kGroup = "Strain-hardening design";
  app.add_option("--Jtip", g.Jtip, "crack-tip toughness of the matrix (J/m2), for the PSH energy index J'b/Jtip")
      ->type_name("J/m2")
      ->group(kGroup);
  app.add_option("--Km", g.Km, "matrix fracture toughness (MPa m^0.5); with --Em gives Jtip = Km^2/Em")
      ->type_name("MPa*m^0.5")
      ->group(kGroup);
  app.add_option("--Em", g.Em, "matrix modulus (GPa), with --Km")->type_name("GPa")->group(kGroup);
  app.add_option("--sigma-fc", g.sigmaFc, "first-crack strength (MPa), for the PSH strength index sigma0/sigma_fc")
      ->type_name("MPa")
      ->group(kGroup);
  const PshMargins margins;
  app.add_option("--psh-margins", g.margins,
                 "margins the energy and strength indices must exceed (default " + formatShortest(margins.energy) +
                     "," + formatShortest(margins.strength) + ", for saturated multiple cracking after " +
                     std::string(kPshMarginsSource) + ")")
      ->type_name("ENERGY,STRENGTH")
      ->group(kGroup);
  app.add_option(
         "--map", g.map,
         "with two --sweep options and --plot, draw METRIC over the grid as a design map: " + summaryMetricKeys())
      ->type_name("METRIC")
      ->group(kGroup);
  app.add_option("--map-level", g.mapLevel, "the map's contour line (default: the margin of a PSH index)")
      ->type_name("V")
      ->group(kGroup);
  app.add_option("--scatter", g.scatterTexts,
                 "draw an input from a distribution: NAME=normal:MEAN:SD, NAME=lognormal:MEAN:SD (of the input "
                 "itself) or NAME=uniform:LO:HI; repeated for several inputs")
      ->type_name(kScatterValue)
      ->group(kGroup)
      ->take_all()
      ->expected(1);
  app.add_option("--samples", g.samples, "samples of a scatter, from a Latin hypercube of --seed (default 64)")
      ->type_name("N")
      ->group(kGroup);
  app.add_option("--band", g.o.band,
                 "write a scatter's band to FILE.csv: mean, sd, 5, 50 and 95 % of the stress over the crack width")
      ->type_name("FILE")
      ->group(kGroup);
}

// Reads the design options of `g` into `o`; the usage error when one is wrong.
Expected<void> readDesignOptions(const CLI::App& app, Given& g) {
  CliOptions& o = g.o;
  const auto given = [&app](const char* name) { return app.count(name) > 0; };
  std::optional<std::string> problem;
  // A positive finite number, or the reason naming the option.
  const auto positive = [&problem](const char* name, const std::string& text) {
    const auto value = strictNumber(trim(text));
    if (!value || !std::isfinite(*value) || !(*value > 0)) {
      if (!problem) problem = std::string(name) + " " + quotedToken(text) + ": must be a positive number";
      return 0.0;
    }
    return *value;
  };
  const bool anyMatrix = given("--Jtip") || given("--Km") || given("--Em") || given("--sigma-fc");
  if (anyMatrix) {
    if (given("--Jtip") && (given("--Km") || given("--Em")))
      return unexpected("--Jtip, or --Km with --Em, gives the crack-tip toughness; not both");
    if (given("--Km") != given("--Em")) return unexpected("--Km and --Em go together (Jtip = Km^2/Em)");
    if (!given("--Jtip") && !given("--Km"))
      return unexpected("the PSH indices need --Jtip (or --Km with --Em) with --sigma-fc");
    if (!given("--sigma-fc")) return unexpected("the PSH indices need --sigma-fc with the crack-tip toughness");
    MatrixProperties m;
    m.Jtip = given("--Jtip") ? positive("--Jtip", g.Jtip)
                             : crackTipToughness(positive("--Km", g.Km), positive("--Em", g.Em));
    m.sigmaFc = positive("--sigma-fc", g.sigmaFc);
    if (problem) return unexpected(*problem);
    // Km^2/Em can round to 0 or overflow; so can the indices that divide by these.
    if (!std::isnormal(m.Jtip))
      return unexpected((given("--Jtip")
                             ? "--Jtip"
                             : "--Km and --Em give Jtip = Km^2/Em = " + formatShortest(m.Jtip) + " J/m2, which") +
                        std::string(" is too small or too large to divide by"));
    if (!std::isnormal(m.sigmaFc)) return unexpected("--sigma-fc is too small to divide by");
    if (given("--psh-margins")) {
      const Expected<PshMargins> margins = parsePshMargins(g.margins);
      if (!margins) return unexpected("--psh-margins " + quotedToken(g.margins) + ": " + margins.error());
      m.margins = *margins;
    }
    o.matrix = m;
  } else if (given("--psh-margins")) {
    return unexpected("--psh-margins goes with the matrix: --Jtip (or --Km and --Em) and --sigma-fc");
  }

  if (given("--map")) {
    o.map = summaryMetricByName(g.map);
    if (!o.map) return unexpected("--map " + quotedToken(g.map) + ": not a metric; one of " + summaryMetricKeys());
    const bool index = o.map == SummaryMetric::energyIndex || o.map == SummaryMetric::strengthIndex;
    if (index && !o.matrix)
      return unexpected("--map " + g.map + " needs the matrix: --Jtip (or --Km and --Em) and --sigma-fc");
    if (o.map == SummaryMetric::rms && o.measuredPaths.empty()) return unexpected("--map rms needs --measured");
    if (o.sweeps.size() != 2) return unexpected("--map draws two swept inputs: give exactly two --sweep options");
    if (o.plot.empty()) return unexpected("--map draws into the file of --plot: name one");
  }
  if (given("--map-level")) {
    if (!o.map) return unexpected("--map-level goes with --map");
    o.mapLevel = strictNumber(trim(g.mapLevel));
    if (!o.mapLevel) return unexpected("--map-level " + quotedToken(g.mapLevel) + ": must be a number");
  }

  for (const std::string& text : g.scatterTexts) {
    Expected<ScatterInput> scatter = parseScatter(text);
    if (!scatter) return unexpected(scatter.error());
    for (const ScatterInput& s : o.scatter)
      if (s.field == scatter->field) return unexpected(std::string(fieldInfo(s.field).name) + " is scattered twice");
    for (const auto& [field, option] : g.inputOptions)
      if (field == scatter->field && option->count() > 0) {
        const std::string name(fieldInfo(field).name);
        return unexpected("--" + name + " and --scatter " + name + " both set " + name);
      }
    o.scatter.push_back(std::move(*scatter));
  }
  if (given("--samples")) {
    const auto n = strictNumber(trim(g.samples));
    if (!n || *n != std::floor(*n) || *n < 1 || *n > kMaxScatterSamples)
      return unexpected("--samples " + quotedToken(g.samples) + ": must be a whole number from 1 to " +
                        std::to_string(kMaxScatterSamples));
    o.samples = static_cast<int>(*n);
  }
  if (!o.isScatter() && (given("--samples") || given("--band")))
    return unexpected("--samples and --band go with --scatter");
  if (o.isScatter()) {
    if (o.isStudy() || o.isFit()) return unexpected("--scatter goes without --sweep and --fit");
    if (given("--output"))
      return unexpected(
          "a scatter writes its samples' data files into --output-dir, if given; -o names a single run's file");
    if (!o.csv.empty()) return unexpected("--csv writes a single run's rows; a scatter's band goes to --band");
    if (o.measuredPaths.size() > 1) return unexpected("a scatter compares with one --measured curve");
  }
  return {};
}

// The whole option table, one option per input of the field table; what the
// command line gives lands in `g`.
void addOptions(CLI::App& app, Given& g) {
  app.set_version_flag("--version", std::string(kVersion));
  app.get_formatter()->column_width(32);

  CliOptions& o = g.o;
  o.texts = FieldTexts::defaults();
  g.inputs = o.texts;
  for (const FieldInfo& info : kFields) {
    if (info.field == Field::dataFile) continue;
    CLI::Option* option = app.add_option("--" + std::string(info.name), g.inputs[info.field], std::string(info.meaning))
                              ->capture_default_str()
                              ->group(kInputsGroup);
    g.inputOptions.emplace_back(info.field, option);
  }
  app.add_option("-o,--output", o.texts[Field::dataFile],
                 "the data file to write (a single run); every output named by a symbolic link is written to "
                 "the file the link points to")
      ->type_name("FILE");
  app.add_flag("-q,--quiet", o.quiet, "no progress on standard error");

  app.add_option("--inputs", o.inputsPath,
                 "read inputs from FILE ('name = value' lines; - reads standard input); options given here override "
                 "it")
      ->type_name("FILE")
      ->group("Input sets");
  app.add_option("--save-inputs", o.saveInputs, "write the complete input set to FILE, to repeat the run exactly")
      ->type_name("FILE")
      ->group("Input sets");
  app.add_option("--csv", o.csv, "also write the rows as CSV to FILE (a single run)")
      ->type_name("FILE")
      ->group("Results");
  app.add_option("--plot", o.plot, "draw the stress and fiber-ratio graphs into FILE.svg or FILE.png")
      ->type_name("FILE")
      ->group("Results");
  app.add_option("--measured", o.measuredPaths,
                 "a measured curve (crack width mm, stress MPa and optionally its standard deviation MPa per line; "
                 "- reads standard input) to plot and compare with; a fit takes several, one per specimen")
      ->type_name("FILE")
      ->group("Results")
      ->take_all()
      ->expected(1);
  app.add_option("--sweep", g.sweepTexts,
                 "vary an input: NAME=FROM:TO:COUNT or NAME=V1,V2,...; repeated, the sweeps form a grid")
      ->type_name(kSweepValue)
      ->group("Studies")
      ->take_all()
      ->expected(1);
  app.add_option("--fit", g.fitTexts,
                 "fit an input to --measured or --pullout within its bounds: NAME=LO:HI, up to 8 inputs")
      ->type_name(kFitValue)
      ->group("Calibration")
      ->take_all()
      ->expected(1);
  app.add_option("--pullout", o.pulloutPaths,
                 "a single-fiber pullout test to fit (slip mm, load N and optionally its standard deviation N per "
                 "line; '# lb = ' and '# angle = ' give its embedded length mm and inclination degrees); repeated")
      ->type_name("FILE")
      ->group("Calibration")
      ->take_all()
      ->expected(1);
  app.add_option("--fit-starts", o.fitStarts, "local searches of a fit: the given values, then a Latin hypercube")
      ->capture_default_str()
      ->type_name("N")
      ->group("Calibration");
  app.add_option("--seed", g.seedText, "seed of the Latin hypercube of a fit or a scatter")
      ->capture_default_str()
      ->type_name("N")
      ->group("Calibration");
  app.add_option("--fit-log", o.fitLog, "write one CSV row per run of the fit to FILE")
      ->type_name("FILE")
      ->group("Calibration");
  app.add_option("--fit-report", o.fitReport,
                 "write the fit's values, 95 % intervals, basins and warnings as JSON to FILE")
      ->type_name("FILE")
      ->group("Calibration");
  app.add_flag("--log-width", o.logWidth, "draw the fit's plot on a logarithmic crack-width axis")
      ->group("Calibration");
  app.add_option("--output-dir", o.outputDir, "where a sweep writes its data files and summary.csv")
      ->type_name("DIR")
      ->group("Studies");
  addDesignOptions(app, g);
  app.add_option("--shard", g.shardText,
                 "run only part K of N of the sweep's grid (runs K, K + N, K + 2N, ... in grid order) and write "
                 "summary-shard-K-of-N.csv into --output-dir, for --merge")
      ->type_name("K/N")
      ->group("Studies");
  app.add_option("--merge", o.mergeDirs,
                 "merge the summary parts of a sharded sweep found in DIR... into summary.csv in --output-dir "
                 "(default: the one DIR given)")
      ->type_name("DIR")
      ->group("Studies")
      ->take_all()
      ->expected(1, 1 << 16);
  // No default shown: the CPUs differ from machine to machine and job to job.
  o.jobs = allottedCpus();
  app.add_option("--jobs", o.jobs,
                 "threads of a run, a sweep or a fit (1 to 4096; default: the CPUs this process may use, "
                 "at most SLURM_CPUS_PER_TASK)")
      ->type_name("N")
      ->group("Studies (and fits)");
}

}  // namespace

namespace {

// Why a written file may not be an output: a pipe or socket (a write would
// wait for a reader) or a study's folder lock (its study would lose its hold).
std::optional<std::string> unfitOutput(const NamedFile& file) {
  const std::string target = followLinks(file.path);
  struct stat status {};
  if (::stat(target.c_str(), &status) == 0 && (S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode)))
    return "a pipe or socket, not a file to write";
  const std::filesystem::path name(target);
  if (name.filename() == kStudyLockName || sameFile(target, (name.parent_path() / kStudyLockName).string()))
    return "the lock file of a study's folder";
  return std::nullopt;
}

}  // namespace

Expected<void> findFileClash(const std::vector<NamedFile>& files) {
  for (std::size_t i = 0; i < files.size(); ++i) {
    const NamedFile& b = files[i];
    if (!b.read)
      if (const auto unfit = unfitOutput(b)) return unexpected(b.option + " " + b.path + ": " + *unfit);
    for (std::size_t j = 0; j < i; ++j) {
      const NamedFile& a = files[j];
      if (a.read && b.read) continue;
      // A terminal or /dev/null loses nothing when read and written, or written twice.
      if (isDevice(a.onDisk()) || isDevice(b.onDisk())) continue;
      if (sameFile(a.onDisk(), b.onDisk()))
        return unexpected(a.option + " " + a.path + " and " + b.option + " " + b.path + " name the same file");
    }
  }
  return {};
}

std::vector<NamedFile> namedFiles(const CliOptions& o) {
  std::vector<NamedFile> files;
  if (!o.inputsPath.empty()) files.push_back({"--inputs", o.inputsPath, true});
  for (const std::string& path : o.measuredPaths) files.push_back({"--measured", path, true});
  for (const std::string& path : o.pulloutPaths) files.push_back({"--pullout", path, true});
  if (o.isStudy() || (o.isScatter() && !o.outputDir.empty()))
    files.push_back({"--output-dir", (std::filesystem::path(o.outputDir) / "summary.csv").string()});
  else if (!o.texts[Field::dataFile].empty())
    files.push_back({"-o", o.texts[Field::dataFile]});
  if (!o.fitLog.empty()) files.push_back({"--fit-log", o.fitLog});
  if (!o.fitReport.empty()) files.push_back({"--fit-report", o.fitReport});
  for (const auto& [option, path] :
       {std::pair{"--csv", &o.csv}, {"--plot", &o.plot}, {"--save-inputs", &o.saveInputs}, {"--band", &o.band}})
    if (!path->empty()) files.push_back({option, *path});
  return files;
}

CommandLine parseCommandLine(int argc, char** argv) {
  CLI::App app{kDescription, "fiberbridge-cli"};
  Given g;
  addOptions(app, g);
  CliOptions& o = g.o;

  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& e) {
    // Through the program's own buffer, whose last flush tells a lost standard output.
    std::ostringstream help;
    const int status = app.exit(e, help);
    std::fputs(help.str().c_str(), stdout);
    return {std::nullopt, status};
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return {std::nullopt, kExitUsage};
  }

  if (o.jobs < 1 || o.jobs > 4096) return usageError("--jobs must lie between 1 and 4096");
  if (const auto seed = wholeNumber64(g.seedText))
    o.seed = *seed;
  else
    return usageError("--seed " + quotedToken(g.seedText) + ": must be a whole number from 0 to " +
                      std::to_string(std::numeric_limits<std::uint64_t>::max()));
  // An empty name would quietly mean "none" or the current folder.
  for (const char* name : {"--output", "--inputs", "--save-inputs", "--csv", "--plot", "--output-dir", "--fit-log",
                           "--fit-report", "--band"}) {
    const CLI::Option* option = app.get_option(name);
    if (option->count() > 0 && option->as<std::string>().empty())
      return usageError(std::string(name) + " needs a name");
  }
  const auto readsStandardInput = [](const std::string& path) { return path == "-"; };
  for (const std::string& path : o.measuredPaths)
    if (path.empty()) return usageError("--measured needs a name");
  for (const std::string& path : o.pulloutPaths)
    if (path.empty()) return usageError("--pullout needs a name");
  if (std::count_if(o.measuredPaths.begin(), o.measuredPaths.end(), readsStandardInput) +
          std::count_if(o.pulloutPaths.begin(), o.pulloutPaths.end(), readsStandardInput) +
          (o.inputsPath == "-" ? 1 : 0) >
      1)
    return usageError("only one of --inputs, --measured and --pullout can read standard input (-)");

  if (!o.inputsPath.empty()) {
    const Expected<InputSet> file = readInputSet(o.inputsPath);
    if (!file) return usageError(file.error());
    for (const auto& [field, text] : file->values) o.texts[field] = text;
  }
  for (const auto& [field, option] : g.inputOptions)
    if (option->count() > 0) o.texts[field] = g.inputs[field];

  for (const std::string& text : g.sweepTexts) {
    Expected<Sweep> sweep = parseSweep(text);
    if (!sweep) return usageError(sweep.error());
    const std::string name(fieldInfo(sweep->field).name);
    for (const Sweep& s : o.sweeps)
      if (s.field == sweep->field) return usageError(name + " is swept twice");
    for (const auto& [field, option] : g.inputOptions)
      if (field == sweep->field && option->count() > 0)
        return usageError("--" + name + " and --sweep " + name + " both set " + name);
    o.sweeps.push_back(std::move(*sweep));
  }

  for (const std::string& text : g.fitTexts) {
    const Expected<FreeInput> free = parseFreeInput(text);
    if (!free) return usageError(free.error());
    o.fit.push_back(*free);
  }

  if (o.isMerge()) {
    for (const CLI::Option* option : app.get_options()) {
      const std::string name = option->get_lnames().empty() ? "" : "--" + option->get_lnames().front();
      if (option->count() > 0 && name != "--merge" && name != "--output-dir" && name != "--quiet")
        return usageError("--merge goes alone, with --output-dir at most; " + name + " belongs to a run");
    }
    for (const std::string& dir : o.mergeDirs)
      if (dir.empty()) return usageError("--merge needs a name");
    if (o.outputDir.empty()) {
      if (o.mergeDirs.size() > 1) return usageError("--merge of several folders needs --output-dir");
      o.outputDir = o.mergeDirs.front();
    }
    return {std::move(o), kExitDone};
  }
  if (const auto read = readDesignOptions(app, g); !read) return usageError(read.error());
  if (app.count("--shard") > 0) {
    const Expected<Shard> shard = parseShard(g.shardText);
    if (!shard) return usageError(shard.error());
    o.shard = *shard;
    if (!o.isStudy()) return usageError("--shard splits a sweep's grid; it needs --sweep");
    if (!o.plot.empty()) return usageError("--plot draws a whole study; a shard of one cannot");
  }

  const bool outputGiven = app.count("--output") > 0;
  if (o.isFit()) {
    if (o.isStudy()) return usageError("--fit and --sweep cannot go together");
    if (o.measuredPaths.empty() && o.pulloutPaths.empty())
      return usageError("--fit needs --measured or --pullout, the curves to fit");
    if (!o.outputDir.empty()) return usageError("--output-dir is for sweeps; a fit writes the fitted run's file of -o");
  } else if (!o.pulloutPaths.empty()) {
    return usageError("--pullout goes with --fit: a pullout test is fitted, then its law predicts a run");
  } else if (!o.fitLog.empty() || !o.fitReport.empty() || o.logWidth || app.count("--fit-starts") > 0 ||
             (app.count("--seed") > 0 && !o.isScatter())) {
    return usageError("--fit-starts, --seed, --fit-log, --fit-report and --log-width go with --fit");
  } else if (o.measuredPaths.size() > 1) {
    return usageError("several --measured curves go with --fit; a run or a sweep compares with one");
  } else if (o.isScatter()) {
    // Checked with the design options.
  } else if (o.isStudy()) {
    if (outputGiven) return usageError("a sweep writes its data files into --output-dir; -o names a single run's file");
    if (o.outputDir.empty()) return usageError("a sweep needs --output-dir");
    if (!o.csv.empty())
      return usageError("--csv writes a single run's rows; a sweep's results go to summary.csv in --output-dir");
  } else {
    if (!outputGiven) {
      app.exit(CLI::RequiredError("--output"));
      return {std::nullopt, kExitUsage};
    }
    if (!o.outputDir.empty()) return usageError("--output-dir is for sweeps; a single run writes the file of -o");
  }

  if (const auto plot = checkPlotPath(o.plot); !o.plot.empty() && !plot)
    return usageError("--plot " + o.plot + ": " + plot.error());
  if (const auto apart = findFileClash(namedFiles(o)); !apart) return usageError(apart.error());
  for (const std::string& path : o.measuredPaths) {
    Expected<MeasuredCurve> read = readMeasuredCurve(path);
    if (!read) return usageError(read.error());
    MeasuredCurve& curve = *read;
    // A run compares with a curve of its own inputs; a specimen's inputs are for a fit.
    if (!o.isFit() && !curve.inputs.empty())
      return usageError("--measured " + path + " sets " + std::string(fieldInfo(curve.inputs[0].field).name) +
                        " for its specimen; such curves go with --fit");
    if (o.measured.empty()) o.measured = curve.points;
    o.specimens.push_back({path == "-" ? "(standard input)" : path, std::move(curve.inputs), std::move(curve.points)});
  }
  for (const std::string& path : o.pulloutPaths) {
    Expected<PulloutCurve> read = readPulloutCurve(path);
    if (!read) return usageError(read.error());
    PulloutCurve& curve = *read;
    o.pullouts.push_back({path == "-" ? "(standard input)" : path, std::move(curve.inputs), curve.lb, curve.angle,
                          curve.lbLine, std::move(curve.points)});
  }
  // A specimen given twice would count its points twice and narrow the intervals.
  for (std::size_t i = 0; i < o.specimens.size(); ++i)
    for (std::size_t j = 0; j < i; ++j)
      if (o.specimens[i].measured == o.specimens[j].measured && o.specimens[i].inputs == o.specimens[j].inputs)
        return usageError("--measured " + o.measuredPaths[j] + " and --measured " + o.measuredPaths[i] +
                          " hold the same curve; give each specimen once");
  for (std::size_t i = 0; i < o.pullouts.size(); ++i)
    for (std::size_t j = 0; j < i; ++j) {
      const PulloutSpecimen &a = o.pullouts[j], &b = o.pullouts[i];
      if (a.measured == b.measured && a.inputs == b.inputs && a.lb == b.lb && a.angle == b.angle)
        return usageError("--pullout " + o.pulloutPaths[j] + " and --pullout " + o.pulloutPaths[i] +
                          " hold the same test; give each test once");
    }
  if (o.isFit())
    if (const auto possible =
            checkFitSettings({o.texts, o.fit, o.specimens, o.fitStarts, o.seed, o.jobs, nullptr, o.pullouts});
        !possible)
      return usageError(possible.error());
  return {std::move(o), kExitDone};
}

namespace {

std::string joined(const std::vector<std::string>& words, const std::string& separator) {
  std::string text;
  for (const std::string& w : words) text += (text.empty() ? "" : separator) + w;
  return text;
}

}  // namespace

std::string bashCompletion() {
  CLI::App app{kDescription, "fiberbridge-cli"};
  Given g;
  addOptions(app, g);

  // Every name of every option, and the options by what their value is.
  std::vector<std::string> names, files, dirs, sweeps, plainValues, inputNames;
  for (const CLI::Option* option : app.get_options()) {
    std::vector<std::string> spellings;
    for (const std::string& s : option->get_snames()) spellings.push_back("-" + s);
    for (const std::string& l : option->get_lnames()) spellings.push_back("--" + l);
    names.insert(names.end(), spellings.begin(), spellings.end());
    if (option->get_group() == kInputsGroup)
      for (const std::string& l : option->get_lnames()) inputNames.push_back(l + "=");
    if (option->get_expected_max() == 0) continue;  // a flag
    const std::string& type = option->get_type_name();
    auto& kind = type == "FILE"                                                      ? files
                 : type == "DIR"                                                     ? dirs
                 : type == kSweepValue || type == kFitValue || type == kScatterValue ? sweeps
                                                                                     : plainValues;
    kind.insert(kind.end(), spellings.begin(), spellings.end());
  }

  std::string script =
      "# bash completion for fiberbridge-cli, made from its option table by fiberbridge-completion.\n"
      "_fiberbridge_cli()\n"
      "{\n"
      "    local cur prev words cword split\n"
      "    _init_completion -s || return\n"
      "\n"
      "    case $prev in\n";
  const auto branch = [&script](const std::vector<std::string>& spellings, const std::string& action) {
    if (!spellings.empty()) script += "        " + joined(spellings, "|") + ")\n            " + action + "\n";
  };
  branch(files, "_filedir\n            return ;;");
  branch(dirs, "_filedir -d\n            return ;;");
  // A sweep names an input and its values: complete the name up to the '='.
  branch(sweeps, "COMPREPLY=($(compgen -W '" + joined(inputNames, " ") +
                     "' -- \"$cur\"))\n            compopt -o nospace\n            return ;;");
  branch(plainValues, "return ;;");
  script +=
      "    esac\n"
      "    $split && return\n"
      "\n"
      "    if [[ $cur == -* ]]; then\n"
      "        COMPREPLY=($(compgen -W '" +
      joined(names, " ") +
      "' -- \"$cur\"))\n"
      "    fi\n"
      "} &&\n"
      "    complete -F _fiberbridge_cli fiberbridge-cli\n";
  return script;
}

}  // namespace fb
