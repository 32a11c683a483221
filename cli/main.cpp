// fiberbridge-cli: the bridging-law calculation without a window. It runs the
// same driver as the Start button and writes the same data file; sweeps run
// many such calculations side by side, and fits run it until the computed
// curve matches a measured one. A sweep split into shards for a cluster's job
// array is merged again with --merge.
#include <new>

#include "cli/cli_options.h"
#include "cli/commands.h"
#include "cli/terminal_view.h"

int main(int argc, char** argv) {
  const fb::CommandLine command = fb::parseCommandLine(argc, argv);
  if (!command.options) return command.exitCode;
  const fb::CliOptions& options = *command.options;
  try {
    if (options.isMerge()) return fb::runMerge(options);
    if (options.isFit()) return fb::runFit(options);
    if (options.isScatter()) return fb::runScatter(options);
    return options.isStudy() ? fb::runSweep(options) : fb::runSingle(options);
  } catch (const std::bad_alloc&) {
    // A data file being written keeps its complete rows: its writer closes it on the way out.
    fb::printError("not enough memory for the run's fiber class table");
    return fb::kExitFailed;
  }
}
