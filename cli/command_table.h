#pragma once

// The commands of fiberbridge-cli, one entry each: the options that ask for
// it, its own checks, and what runs it.

#include <string_view>

#include "cli/cli_options.h"
#include "cli/option_table.h"

namespace fb {

struct Command {
  std::string_view name;                      // "sweep"
  bool (*asked)(const GivenOptions&);         // whether the command line names it
  Checked (*check)(GivenOptions&);            // its options, once the inputs are read
  Checked (*checkCurves)(const CliOptions&);  // the curves it read; null: it reads none (a merge)
  int (*run)(const CliOptions&);              // gives the exit status
};

/// The command the command line asks for: the first in the table whose
/// options are given; a single run when no other is.
const Command& askedCommand(const GivenOptions& g);

}  // namespace fb
