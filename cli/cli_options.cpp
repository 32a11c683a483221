#include "cli/cli_options.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <limits>
#include <sstream>
#include <string_view>
#include <vector>

#include "cli/command_table.h"
#include "cli/named_files.h"
#include "cli/option_table.h"
#include "cli/terminal_view.h"
#include "engine/message_text.h"
#include "plot/figure.h"

namespace fb {
namespace {

CommandLine usageError(const std::string& message) {
  printError(message);
  return {std::nullopt, kExitUsage};
}

// CLI11's own words after the program's name, with the way to the help.
CommandLine parseFailure(const std::string& message) {
  printError(message);
  std::fputs("Run with --help for more information.\n", stderr);
  return {std::nullopt, kExitUsage};
}

CommandLine refused(const UsageProblem& problem) {
  if (!problem.missingOption) return usageError(problem.reason);
  return parseFailure(CLI::RequiredError(problem.reason).what());
}

// How many single-letter edits, letters compared without case, turn `a` into `b`.
std::size_t editDistance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const bool same =
          std::tolower(static_cast<unsigned char>(a[i - 1])) == std::tolower(static_cast<unsigned char>(b[j - 1]));
      const std::size_t next = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
      diagonal = row[j];
      row[j] = next;
    }
  }
  return row[b.size()];
}

// " (did you mean --Vf?)" for the first long option of the command line that
// the program does not know and that lies within a few edits of one it does.
std::string nearestOptionHint(const CLI::App& app, int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--") break;
    if (!arg.starts_with("--") || arg.size() < 3) continue;
    const std::string name(arg.substr(2, arg.find('=') == std::string_view::npos ? arg.npos : arg.find('=') - 2));
    if (app.get_option_no_throw("--" + name)) continue;
    std::string best;
    std::size_t closest = std::max<std::size_t>(1, name.size() / 3) + 1;
    for (const CLI::Option* option : app.get_options())
      for (const std::string& known : option->get_lnames())
        if (const std::size_t d = editDistance(name, known); d < closest) {
          closest = d;
          best = known;
        }
    if (!best.empty()) return " (did you mean --" + best + "?)";
  }
  return "";
}

// The whole text as a number from 0 to 2^64 - 1, digits only.
std::optional<std::uint64_t> wholeNumber64(std::string_view text) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos) return std::nullopt;
  std::uint64_t value = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec != std::errc{} || result.ptr != text.data() + text.size()) return std::nullopt;
  return value;
}

// What every command shares, before the command is known: the threads, the
// seed, the files' names, and the inputs with the sweeps and fits that vary them.
[[nodiscard]] Expected<void> readInputs(const CLI::App& app, GivenOptions& g) {
  CliOptions& o = g.o;
  if (o.jobs < 1 || o.jobs > 4096) return unexpected("--jobs must lie between 1 and 4096");
  if (const auto seed = wholeNumber64(g.seedText))
    g.seed = *seed;
  else
    return unexpected("--seed " + quotedToken(g.seedText) + ": must be a whole number from 0 to " +
                      std::to_string(std::numeric_limits<std::uint64_t>::max()));
  // An empty name would quietly mean "none" or the current folder.
  for (const char* name : {"--output", "--inputs", "--save-inputs", "--csv", "--plot", "--output-dir", "--fit-log",
                           "--fit-report", "--band"}) {
    const CLI::Option* option = app.get_option(name);
    if (option->count() > 0 && option->as<std::string>().empty())
      return unexpected(std::string(name) + " needs a name");
  }
  for (const std::string& path : o.measuredPaths)
    if (path.empty()) return unexpected("--measured needs a name");
  for (const std::string& path : o.fit.pulloutPaths)
    if (path.empty()) return unexpected("--pullout needs a name");
  for (const std::string& path : o.fit.beamPaths)
    if (path.empty()) return unexpected("--beam-measured needs a name");
  if (app.get_option("--fit-prior")->count() > 0 && o.fit.priorPath.empty())
    return unexpected("--fit-prior needs a name");
  if (const auto one = oneReaderOfStandardInput(o); !one) return one;
  if (const auto one = oneWriterOfStandardOutput(o); !one) return one;

  if (const auto file = readInputsFile(o); !file) return file;
  for (const auto& [field, option] : g.inputOptions)
    if (option->count() > 0) o.texts[field] = g.inputs[field];

  for (const std::string& text : g.sweepTexts) {
    Expected<Sweep> sweep = parseSweep(text);
    if (!sweep) return unexpected(sweep.error());
    const std::string name(fieldInfo(sweep->field).name);
    for (const Sweep& s : o.sweep.sweeps)
      if (s.field == sweep->field) return unexpected(name + " is swept twice");
    if (g.inputGiven(sweep->field)) return unexpected("--" + name + " and --sweep " + name + " both set " + name);
    o.sweep.sweeps.push_back(std::move(*sweep));
  }
  for (const std::string& text : g.fitTexts) {
    const Expected<FreeInput> free = parseFreeInput(text);
    if (!free) return unexpected(free.error());
    o.fit.free.push_back(*free);
  }
  return {};
}

}  // namespace

CommandLine parseCommandLine(int argc, char** argv) {
  CLI::App app{kDescription, "fiberbridge-cli"};
  GivenOptions g(app);
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
    return parseFailure(e.what() + nearestOptionHint(app, argc, argv));
  }

  if (const auto read = readInputs(app, g); !read) return usageError(read.error());
  o.command = &askedCommand(g);
  if (const auto checked = o.command->check(g); !checked) return refused(checked.error());
  if (!o.command->checkCurves) return {std::move(o), kExitDone};

  if (const auto plot = checkPlotPath(o.plot); !o.plot.empty() && !plot)
    return usageError("--plot " + o.plot + ": " + plot.error());
  if (const auto apart = findFileClash(namedFiles(o)); !apart) return usageError(apart.error());
  if (const auto read = readCurves(o); !read) return usageError(read.error());
  if (const auto checked = o.command->checkCurves(o); !checked) return refused(checked.error());
  return {std::move(o), kExitDone};
}

}  // namespace fb
