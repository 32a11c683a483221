#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/field_table.h"
#include "study/measured_curve.h"
#include "study/sweep.h"

namespace fb {

inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;  // inputs refused, or a file could not be written
inline constexpr int kExitUsage = 2;   // the command line or a file it names is wrong

/// Everything the command line asks for, checked and with its files read.
struct CliOptions {
  FieldTexts texts;  // the defaults, then --inputs, then the command line; dataFile is -o
  std::string outputDir;
  std::string saveInputs, csv, plot;
  std::string measuredPath;
  std::vector<MeasuredPoint> measured;
  std::vector<Sweep> sweeps;
  unsigned jobs = 1;
  bool quiet = false;

  bool isStudy() const { return !sweeps.empty(); }
};

struct CommandLine {
  std::optional<CliOptions> options;  // empty: exit with `exitCode` (help, version, usage error)
  int exitCode = kExitDone;
};

/// Parses and checks the command line; usage errors are reported on standard error.
CommandLine parseCommandLine(int argc, char** argv);

/// The bash completion script of fiberbridge-cli, made from the same option
/// table, so that every input of the field table is completed.
std::string bashCompletion();

}  // namespace fb
