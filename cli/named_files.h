#pragma once

// The files a command line names: the input set, measured curves and pullout
// tests it reads, and the checks that no output loses what another file holds.

#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "engine/expected.h"

namespace fb {

/// A file the command names, as an option gave it.
struct NamedFile {
  std::string option;  // "--csv"
  std::string path;
  bool read = false;  // an input (--inputs, --measured); else written
  /// Where its bytes come from or go to: standard input for an input read
  /// from "-", standard output for an output written to "-", either of which
  /// may be a file that another option names.
  std::string onDisk() const { return path == "-" ? (read ? "/dev/stdin" : "/dev/stdout") : path; }
};

/// Fails with the first two files that name one file on disk (through links,
/// hard links, /dev/stdin or "-" for standard input) where that would lose
/// data: a file written twice, or written over one that is read; or with an
/// output that is a pipe, a socket or a study's folder lock. Devices such as
/// /dev/null may be written twice.
[[nodiscard]] Expected<void> findFileClash(const std::vector<NamedFile>& files);

/// The files of a single run, or those of a study but its data files.
std::vector<NamedFile> namedFiles(const CliOptions& options);

/// Fails when more than one of --inputs, --measured, --pullout and --sigma-w reads standard input.
[[nodiscard]] Expected<void> oneReaderOfStandardInput(const CliOptions& options);

/// Fails when an output other than --csv and --band is "-", or more than one
/// output goes to standard output.
[[nodiscard]] Expected<void> oneWriterOfStandardOutput(const CliOptions& options);

/// The --inputs file's values over the defaults, if one is named.
[[nodiscard]] Expected<void> readInputsFile(CliOptions& options);

/// The --measured curves as specimens, the first one's points as the curve a
/// run is compared with, and the --pullout tests; fails on a file that cannot
/// be read and on a specimen or test given twice.
[[nodiscard]] Expected<void> readCurves(CliOptions& options);

}  // namespace fb
