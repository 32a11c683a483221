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

/// The tension law's options: the matrix's --ft, --Gf and --Ec, --export and
/// --crack-band, which a single run (`singleRun`) or a --sigma-w table
/// takes, and which any other command refuses.
[[nodiscard]] Checked readLawOptions(GivenOptions& g, bool singleRun);

/// A run, a sweep or a scatter compares with a curve of its own inputs; a
/// curve that sets a specimen's inputs goes with a fit.
[[nodiscard]] Checked checkRunCurves(const CliOptions& o);

}  // namespace fb
