#include "engine/cpu_allotment.h"

#include <sched.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <string_view>
#include <thread>

namespace fb {
namespace {

unsigned affinityCpus() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0) {
    const int count = CPU_COUNT(&set);
    if (count > 0) return static_cast<unsigned>(count);
  }
  return std::max(1u, std::thread::hardware_concurrency());
}

}  // namespace

unsigned allottedCpus() {
  unsigned cpus = affinityCpus();
  // Slurm may bind a task to more CPUs than it was given (no task/affinity plugin).
  if (const char* slurm = std::getenv("SLURM_CPUS_PER_TASK")) {
    const std::string_view text(slurm);
    unsigned given = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), given);
    if (result.ec == std::errc{} && result.ptr == text.data() + text.size() && given > 0) cpus = std::min(cpus, given);
  }
  return std::max(1u, cpus);
}

}  // namespace fb
