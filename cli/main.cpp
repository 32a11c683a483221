// fiberbridge-cli: the bridging-law calculation without a window. It runs the
// same driver as the Start button and writes the same data file; sweeps run
// many such calculations side by side.
#include "cli/cli_options.h"
#include "cli/commands.h"

int main(int argc, char** argv) {
  const fb::CommandLine command = fb::parseCommandLine(argc, argv);
  if (!command.options) return command.exitCode;
  return command.options->isStudy() ? fb::runSweep(*command.options) : fb::runSingle(*command.options);
}
