#include "cli/completion.h"

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

#include "cli/option_table.h"
#include "engine/field_table.h"
#include "study/studies/summary_metrics.h"

namespace fb {
namespace {

std::string joined(const std::vector<std::string>& words, const std::string& separator) {
  std::string text;
  for (const std::string& w : words) text += (text.empty() ? "" : separator) + w;
  return text;
}

}  // namespace

std::string bashCompletion() {
  CLI::App app{kDescription, "fiberbridge-cli"};
  GivenOptions g(app);
  addOptions(app, g);

  // The inputs each kind of value may name, up to its '=': a sweep or a
  // scatter any number, a fit only what it can vary (no count).
  std::vector<std::string> numberNames, fittableNames;
  for (const FieldInfo& info : kFields) {
    if (!info.isNumber()) continue;
    numberNames.push_back(std::string(info.name) + "=");
    if (info.precision() != Precision::int16) fittableNames.push_back(std::string(info.name) + "=");
  }
  std::vector<std::string> metrics;
  for (const SummaryMetricInfo& info : kSummaryMetrics) metrics.emplace_back(info.key);

  // Every name of every option, and the options by what their value is.
  std::vector<std::string> names, files, dirs, sweeps, fits, scatters, maps, plainValues;
  for (const CLI::Option* option : app.get_options()) {
    std::vector<std::string> spellings;
    for (const std::string& s : option->get_snames()) spellings.push_back("-" + s);
    for (const std::string& l : option->get_lnames()) spellings.push_back("--" + l);
    names.insert(names.end(), spellings.begin(), spellings.end());
    if (option->get_expected_max() == 0) continue;  // a flag
    const std::string& type = option->get_type_name();
    auto& kind = type == "FILE"               ? files
                 : type == "DIR"              ? dirs
                 : type == kSweepValue        ? sweeps
                 : type == kFitValue          ? fits
                 : type == kScatterValue      ? scatters
                 : option->check_lname("map") ? maps
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
  // A value that names an input: complete the name up to the '=', and then,
  // `after` it (readline's word begins there), what follows, if anything.
  const auto inputNames = [](const std::vector<std::string>& words, const std::string& after = "") {
    return "if [[ $cur == *=* ]]; then\n                COMPREPLY=($(compgen -W '" + after +
           "' -- \"${cur#*=}\"))\n            else\n                COMPREPLY=($(compgen -W '" + joined(words, " ") +
           "' -- \"$cur\"))\n            fi\n            compopt -o nospace\n            return ;;";
  };
  branch(files, "_filedir\n            return ;;");
  branch(dirs, "_filedir -d\n            return ;;");
  branch(sweeps, inputNames(numberNames));
  branch(scatters, inputNames(numberNames, "normal: lognormal: uniform:"));
  branch(fits, inputNames(fittableNames));
  branch(maps, "COMPREPLY=($(compgen -W '" + joined(metrics, " ") + "' -- \"$cur\"))\n            return ;;");
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
