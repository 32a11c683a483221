#include "cli/command_table.h"

#include <array>

#include "cli/commands.h"
#include "cli/common_checks.h"

namespace fb {
namespace {

// The order settles a command line that names several commands: a merge
// goes alone, a scatter without a sweep or a fit, a fit without a sweep, as
// their checks then say.
const std::array kCommands{
    Command{"merge", [](const GivenOptions& g) { return !g.o.merge.dirs.empty(); }, checkMerge, nullptr, runMerge},
    Command{"scatter", [](const GivenOptions& g) { return !g.scatterTexts.empty(); }, checkScatter, checkRunCurves,
            runScatter},
    Command{"fit", [](const GivenOptions& g) { return !g.fitTexts.empty(); }, checkFit, checkFitCurves, runFit},
    Command{"sweep", [](const GivenOptions& g) { return !g.sweepTexts.empty(); }, checkSweep, checkRunCurves, runSweep},
    Command{"law", [](const GivenOptions& g) { return !g.o.law.tablePath.empty(); }, checkLaw, checkLawTable, runLaw},
    Command{"run", [](const GivenOptions&) { return true; }, checkSingle, checkRunCurves, runSingle},
};

}  // namespace

const Command& askedCommand(const GivenOptions& g) {
  for (const Command& command : kCommands)
    if (command.asked(g)) return command;
  return kCommands.back();
}

}  // namespace fb
