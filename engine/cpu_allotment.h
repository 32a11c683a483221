#pragma once

namespace fb {

/// The CPUs this process may use: those of its affinity mask (taskset, a
/// Slurm or container allotment), at most SLURM_CPUS_PER_TASK when that is
/// set, and at least one. The default of every thread count.
unsigned allottedCpus();

}  // namespace fb
