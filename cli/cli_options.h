#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/field_table.h"
#include "study/design/design_indices.h"
#include "study/design/fe_export.h"
#include "study/design/notched_beam.h"
#include "study/design/scatter.h"
#include "study/design/tension_law.h"
#include "study/fit/calibration.h"
#include "study/inputs/measured_curve.h"
#include "study/studies/study_folder.h"
#include "study/studies/summary_metrics.h"
#include "study/studies/sweep.h"

namespace fb {

inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;  // inputs refused, or a file could not be written
inline constexpr int kExitUsage = 2;   // the command line or a file it names is wrong

/// What every command but a merge takes: the inputs of its runs, what a run
/// writes and the curves it is compared with.
struct CommonOptions {
  FieldTexts texts;  // the defaults, then --inputs, then the command line; dataFile is -o
  std::string inputsPath;
  std::vector<std::string> savedWarnings;  // what the fit that saved the --inputs set warned of its values
  std::string saveInputs, csv, plot;
  std::vector<std::string> measuredPaths;  // one per specimen; several only for a fit
  std::vector<MeasuredPoint> measured;     // the first curve's points, for a run or a study
  std::vector<Specimen> specimens;         // every curve with the inputs it sets
  std::optional<MatrixProperties> matrix;  // --Jtip or --Km with --Em, and --sigma-fc: the PSH indices
  unsigned jobs = 1;
  bool quiet = false;
};

/// A sweep's grid, where it goes, and its design map.
struct SweepOptions {
  std::vector<Sweep> sweeps;
  std::string outputDir;
  std::optional<Shard> shard;        // the part of the grid this process runs
  std::optional<SummaryMetric> map;  // a sweep of two inputs drawn as a design map
  std::optional<double> mapLevel;    // its contour line, else the margin of an index
  bool allowLarge = false;           // a grid beyond kLargeStudyRuns is meant
  bool resume = false;               // keep the finished runs an earlier attempt left
};

/// A fit: the inputs it varies, the pullout and beam tests beside the curves, its search and its reports.
struct FitOptions {
  std::vector<FreeInput> free;  // with their bounds
  std::vector<std::string> pulloutPaths;
  std::vector<PulloutSpecimen> pullouts;
  std::vector<std::string> beamPaths;
  std::vector<BeamSpecimen> beams;
  std::string priorPath;  // a stage-1 fit's report, whose inputs this fit holds
  std::vector<PriorInput> prior;
  int starts = kDefaultFitStarts;
  std::uint64_t seed = 1;
  std::string log, report;
  bool logWidth = false;  // the plot on a logarithmic width axis
  bool robust = false;    // a soft-L1 loss instead of least squares
};

/// A scatter: the inputs drawn from distributions, its samples and its band.
struct ScatterOptions {
  std::vector<ScatterInput> inputs;
  int samples = 64;
  std::uint64_t seed = 1;
  std::string band;
  std::string outputDir;  // the samples' data files and summary.csv, if given
};

/// A merge of a sharded sweep's summary parts.
struct MergeOptions {
  std::vector<std::string> dirs;  // folders holding summary parts
  std::string outputDir;          // where summary.csv goes
};

/// The composite's tension law as FE codes take it: the matrix's softening
/// beside the fibers' bridging, or a tabulated law, and where it goes.
struct LawOptions {
  std::optional<MatrixTension> matrix;  // --ft, --Gf (and --Ec)
  std::vector<ExportRequest> exports;
  std::optional<double> crackBand;  // mm
  std::optional<double> Ec;         // GPa, the composite's modulus
  bool allowUnusual = false;        // values outside a composite's ranges taken as given
  std::string tablePath;            // --sigma-w: a law from elsewhere, in place of a run
  bool beam = false;                // the EN 14651 beam of the law, and its Model Code class
  BeamGeometry geometry;
  std::string beamCurve;  // the beam's load against CMOD, as CSV
};

struct Command;

/// Everything the command line asks for, checked and with its files read:
/// the command it names and the options of each command.
struct CliOptions : CommonOptions {
  const Command* command = nullptr;
  SweepOptions sweep;
  FitOptions fit;
  ScatterOptions scatter;
  MergeOptions merge;
  LawOptions law;
};

struct CommandLine {
  std::optional<CliOptions> options;  // empty: exit with `exitCode` (help, version, usage error)
  int exitCode = kExitDone;
};

/// Parses and checks the command line; usage errors are reported on standard error.
CommandLine parseCommandLine(int argc, char** argv);

}  // namespace fb
