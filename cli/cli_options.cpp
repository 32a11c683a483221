#include "cli/cli_options.h"

#include <sys/stat.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <thread>

#include "cli/terminal_view.h"
#include "engine/field_table.h"
#include "engine/message_text.h"
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

unsigned allCores() { return std::max(1u, std::thread::hardware_concurrency()); }

constexpr const char* kDescription =
    "FiberBridge: the bridging law of a cracked short-fiber composite.\n"
    "Every input takes the text the window's box would hold, read the same way.";
constexpr const char* kInputsGroup = "Inputs";
constexpr const char* kSweepValue = "NAME=VALUES";
constexpr const char* kFitValue = "NAME=LO:HI";

// What the option table fills in, before the checks.
struct Given {
  CliOptions o;
  FieldTexts inputs;
  std::vector<std::pair<Field, CLI::Option*>> inputOptions;
  std::vector<std::string> sweepTexts;
  std::vector<std::string> fitTexts;
  std::string seedText = "1";  // read strictly, not by the option parser, which takes "-1" and ""
};

// The whole text as a number from 0 to 2^64 - 1, digits only.
std::optional<std::uint64_t> wholeNumber64(std::string_view text) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos) return std::nullopt;
  std::uint64_t value = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec != std::errc{} || result.ptr != text.data() + text.size()) return std::nullopt;
  return value;
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
  app.add_option("--seed", g.seedText, "seed of the fit's Latin hypercube")
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
  // No default shown: the number of cores differs from machine to machine.
  o.jobs = allCores();
  app.add_option("--jobs", o.jobs, "runs of a sweep or a fit at a time (1 to 4096; default: all cores)")
      ->type_name("N")
      ->group("Studies (and fits)");
}

}  // namespace

std::optional<std::string> findFileClash(const std::vector<NamedFile>& files) {
  for (std::size_t i = 0; i < files.size(); ++i) {
    for (std::size_t j = 0; j < i; ++j) {
      const NamedFile &a = files[j], &b = files[i];
      if ((a.read && b.read) || a.path == "-" || b.path == "-") continue;
      if (!a.read && !b.read && isDevice(a.path)) continue;
      if (sameFile(a.path, b.path))
        return a.option + " " + a.path + " and " + b.option + " " + b.path + " name the same file";
    }
  }
  return std::nullopt;
}

std::vector<NamedFile> namedFiles(const CliOptions& o) {
  std::vector<NamedFile> files;
  if (!o.inputsPath.empty()) files.push_back({"--inputs", o.inputsPath, true});
  for (const std::string& path : o.measuredPaths) files.push_back({"--measured", path, true});
  for (const std::string& path : o.pulloutPaths) files.push_back({"--pullout", path, true});
  if (o.isStudy())
    files.push_back({"--output-dir", (std::filesystem::path(o.outputDir) / "summary.csv").string()});
  else if (!o.texts[Field::dataFile].empty())
    files.push_back({"-o", o.texts[Field::dataFile]});
  if (!o.fitLog.empty()) files.push_back({"--fit-log", o.fitLog});
  if (!o.fitReport.empty()) files.push_back({"--fit-report", o.fitReport});
  for (const auto& [option, path] : {std::pair{"--csv", &o.csv}, {"--plot", &o.plot}, {"--save-inputs", &o.saveInputs}})
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
    return {std::nullopt, app.exit(e)};
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
  for (const char* name :
       {"--output", "--inputs", "--save-inputs", "--csv", "--plot", "--output-dir", "--fit-log", "--fit-report"}) {
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
    const InputSet file = readInputSet(o.inputsPath);
    if (file.error) return usageError(*file.error);
    for (const auto& [field, text] : file.values) o.texts[field] = text;
  }
  for (const auto& [field, option] : g.inputOptions)
    if (option->count() > 0) o.texts[field] = g.inputs[field];

  for (const std::string& text : g.sweepTexts) {
    SweepParse parsed = parseSweep(text);
    if (!parsed.sweep) return usageError(parsed.error);
    const std::string name(fieldInfo(parsed.sweep->field).name);
    for (const Sweep& s : o.sweeps)
      if (s.field == parsed.sweep->field) return usageError(name + " is swept twice");
    for (const auto& [field, option] : g.inputOptions)
      if (field == parsed.sweep->field && option->count() > 0)
        return usageError("--" + name + " and --sweep " + name + " both set " + name);
    o.sweeps.push_back(std::move(*parsed.sweep));
  }

  for (const std::string& text : g.fitTexts) {
    FreeInputParse parsed = parseFreeInput(text);
    if (!parsed.input) return usageError(parsed.error);
    o.fit.push_back(*parsed.input);
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
             app.count("--seed") > 0) {
    return usageError("--fit-starts, --seed, --fit-log, --fit-report and --log-width go with --fit");
  } else if (o.measuredPaths.size() > 1) {
    return usageError("several --measured curves go with --fit; a run or a sweep compares with one");
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

  std::string reason;
  if (!o.plot.empty() && !isPlotPath(o.plot, &reason)) return usageError("--plot " + o.plot + ": " + reason);
  if (const auto clash = findFileClash(namedFiles(o))) return usageError(*clash);
  for (const std::string& path : o.measuredPaths) {
    MeasuredCurve curve = readMeasuredCurve(path);
    if (curve.error) return usageError(*curve.error);
    // A run compares with a curve of its own inputs; a specimen's inputs are for a fit.
    if (!o.isFit() && !curve.inputs.empty())
      return usageError("--measured " + path + " sets " + std::string(fieldInfo(curve.inputs[0].field).name) +
                        " for its specimen; such curves go with --fit");
    if (o.measured.empty()) o.measured = curve.points;
    o.specimens.push_back({path == "-" ? "(standard input)" : path, std::move(curve.inputs), std::move(curve.points)});
  }
  for (const std::string& path : o.pulloutPaths) {
    PulloutCurve curve = readPulloutCurve(path);
    if (curve.error) return usageError(*curve.error);
    o.pullouts.push_back({path == "-" ? "(standard input)" : path, std::move(curve.inputs), curve.lb, curve.angle,
                          curve.lbLine, std::move(curve.points)});
  }
  if (o.isFit())
    if (const auto problem =
            checkFitSettings({o.texts, o.fit, o.specimens, o.fitStarts, o.seed, o.jobs, nullptr, o.pullouts}))
      return usageError(*problem);
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
    auto& kind = type == "FILE"                             ? files
                 : type == "DIR"                            ? dirs
                 : type == kSweepValue || type == kFitValue ? sweeps
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
