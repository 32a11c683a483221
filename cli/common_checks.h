#pragma once

// The checks that the commands running the model share, each command calling
// them where its own checks need them.

#include "cli/cli_options.h"
#include "cli/option_table.h"

namespace fb {

/// The strain-hardening design options: the matrix and its margins, a design
/// map, the scattered inputs and their samples.
[[nodiscard]] Checked readDesignOptions(GivenOptions& g);

/// --shard, which splits the grid of a sweep alone and cannot draw its plot.
[[nodiscard]] Checked readShard(GivenOptions& g);

/// The options of a fit, refused by a command that is none: pullout tests,
/// the search's settings and reports, several measured curves. `seedTaken`:
/// the command draws from --seed too.
[[nodiscard]] Checked refuseFitOptions(const GivenOptions& g, bool seedTaken);

/// Which of the tension law's options a command takes.
enum class LawUse {
  run,      // a single run or a --sigma-w table: all of them
  scatter,  // the matrix and the beam, for the samples' characteristic values
  fit,      // the matrix, the modulus and the beam's size, for beam tests
  none,
};

/// The tension law's options: the matrix's --ft, --Gf and --Ec, --export,
/// --crack-band and the beam's, as far as the command takes them.
[[nodiscard]] Checked readLawOptions(GivenOptions& g, LawUse use);

/// A run, a sweep or a scatter compares with a curve of its own inputs; a
/// curve that sets a specimen's inputs goes with a fit.
[[nodiscard]] Checked checkRunCurves(const CliOptions& o);

}  // namespace fb
