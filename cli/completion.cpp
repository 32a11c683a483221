#include "cli/completion.h"

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

#include "cli/option_table.h"

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
