// fiberbridge-cli: the bridging-law calculation without a window. It runs the
// same driver as the Start button and writes the same data file; sweeps run
// many such calculations side by side, and fits run it until the computed
// curve matches a measured one. A sweep split into shards for a cluster's job
// array is merged again with --merge.
#include <unistd.h>

#include <cstdio>
#include <exception>
#include <new>

#include "cli/cli_options.h"
#include "cli/command_table.h"
#include "cli/terminal_view.h"
#include "engine/inputs.h"

namespace {

int runCommand(int argc, char** argv) {
  const fb::CommandLine command = fb::parseCommandLine(argc, argv);
  if (!command.options) return command.exitCode;
  const fb::CliOptions& options = *command.options;
  // A value a fit could not decide stays in doubt in every run made from it.
  for (const std::string& warning : options.savedWarnings)
    fb::printError("warning: " + warning + " (saved in " + options.inputsPath + ")");
  // The window reads "1,5" as 1 without a word; a script should hear of it.
  for (const std::string& warning : fb::cutTextWarnings(options.texts)) fb::printError("warning: " + warning);
  try {
    return options.command->run(options);
  } catch (const std::bad_alloc&) {
    // A data file being written keeps its complete rows: its writer closes it on the way out.
    fb::printError("not enough memory for the run's fiber class table");
    return fb::kExitFailed;
  }
}

// A failure no command foresaw still ends with its reason and a failed
// status, not with an abort that names nothing.
int runReportingFailures(int argc, char** argv) {
  constexpr const char* kUnknown = "stopped by an unexpected error that gave no reason";
  try {
    return runCommand(argc, argv);
  } catch (const std::bad_alloc&) {
    // A run's own shortage is caught and named by the run: this one came earlier.
    fb::printError("not enough memory for the command line and the files it names");
  } catch (const std::exception& e) {
    fb::printError(*e.what() != '\0' ? e.what() : kUnknown);
  } catch (...) {
    fb::printError(kUnknown);
  }
  return fb::kExitFailed;
}

}  // namespace

int main(int argc, char** argv) {
  // Kept whole until the end where it is no terminal, so that a failure to
  // write shows at the last flush, with the system's reason.
  static char whole[1 << 16];  // glibc takes the size only with a buffer
  if (!::isatty(STDOUT_FILENO)) std::setvbuf(stdout, whole, _IOFBF, sizeof whole);
  const int status = runReportingFailures(argc, argv);
  // The summary line or a scatter's statistics may be the only copy of a
  // result: a lost standard output is a failure, not a success.
  if (!fb::standardOutputWritten() && status == fb::kExitDone) return fb::kExitFailed;
  return status;
}
