#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/field_table.h"
#include "study/calibration.h"
#include "study/design_indices.h"
#include "study/measured_curve.h"
#include "study/scatter.h"
#include "study/study_folder.h"
#include "study/summary_metrics.h"
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
  std::string inputsPath;
  std::vector<std::string> measuredPaths;  // one per specimen; several only for a fit
  std::vector<MeasuredPoint> measured;     // the first curve's points, for a run or a study
  std::vector<Specimen> specimens;         // every curve with the inputs it sets, for a fit
  std::vector<std::string> pulloutPaths;   // single-fiber pullout tests, for a fit
  std::vector<PulloutSpecimen> pullouts;
  std::vector<Sweep> sweeps;
  std::optional<Shard> shard;          // the part of the sweep's grid this process runs
  std::vector<std::string> mergeDirs;  // folders holding summary parts to merge
  std::vector<FreeInput> fit;          // the inputs a fit varies, with their bounds
  int fitStarts = kDefaultFitStarts;
  std::uint64_t seed = 1;
  std::string fitLog, fitReport;
  bool logWidth = false;  // the fit's plot on a logarithmic width axis
  unsigned jobs = 1;
  bool quiet = false;
  std::optional<MatrixProperties> matrix;  // --Jtip or --Km with --Em, and --sigma-fc: the PSH indices
  std::optional<SummaryMetric> map;        // a sweep of two inputs drawn as a design map
  std::optional<double> mapLevel;          // its contour line, else the margin of an index
  std::vector<ScatterInput> scatter;
  int samples = 64;
  std::string band;

  bool isStudy() const { return !sweeps.empty(); }
  bool isMerge() const { return !mergeDirs.empty(); }
  bool isScatter() const { return !scatter.empty(); }
  bool isFit() const { return !fit.empty(); }
};

struct CommandLine {
  std::optional<CliOptions> options;  // empty: exit with `exitCode` (help, version, usage error)
  int exitCode = kExitDone;
};

/// Parses and checks the command line; usage errors are reported on standard error.
CommandLine parseCommandLine(int argc, char** argv);

/// A file the command names, as an option gave it.
struct NamedFile {
  std::string option;  // "--csv"
  std::string path;
  bool read = false;  // an input (--inputs, --measured); else written
  /// Where its bytes come from or go to: standard input for an input read
  /// from "-", which may be a file that an output names.
  std::string onDisk() const { return read && path == "-" ? "/dev/stdin" : path; }
};

/// Fails with the first two files that name one file on disk (through links,
/// hard links, /dev/stdin or "-" for standard input) where that would lose
/// data: a file written twice, or written over one that is read; or with an
/// output that is a pipe, a socket or a study's folder lock. Devices such as
/// /dev/null may be written twice.
Expected<void> findFileClash(const std::vector<NamedFile>& files);

/// The files of a single run, or those of a study but its data files.
std::vector<NamedFile> namedFiles(const CliOptions& options);

/// The bash completion script of fiberbridge-cli, made from the same option
/// table, so that every input of the field table is completed.
std::string bashCompletion();

}  // namespace fb
