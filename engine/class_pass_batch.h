#pragma once

#include <cstddef>

#include "engine/crack_steps.h"
#include "engine/fiber_class_table.h"

namespace fb::detail {

/// What one pass reads and, for `classes`, packs.
struct PassTables {
  CrossingClass* classes;
  const ClassLaw* laws;
  const PairWeights* pairs;
  double fiberNumberCoefficient;
};

/// A batch's sums so far, over the classes in class order, and how many
/// classes it has kept.
struct PassState {
  double P[kStepBatch] = {};      // N
  double count[kStepBatch] = {};  // fibers
  std::size_t kept = 0;
};

/// Part of the pass at kStepBatch consecutive widths: classes `from` to `to`;
/// see class_pass_kernel.h.
using PassBatchFunction = void (*)(const PassTables& tables, std::size_t from, std::size_t to, const double* widths,
                                   PassState& state);

void passBatchPortable(const PassTables&, std::size_t, std::size_t, const double*, PassState&);
void passBatchAvx(const PassTables&, std::size_t, std::size_t, const double*, PassState&);
void passBatchAvx512(const PassTables&, std::size_t, std::size_t, const double*, PassState&);

/// The widest of the above that this processor runs.
PassBatchFunction widestPassBatch();

}  // namespace fb::detail
