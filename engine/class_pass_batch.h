#pragma once

#include <cstddef>

#include "engine/crack_steps.h"
#include "engine/fiber_class_table.h"

namespace fb::detail {

/// What one pass reads and, for `classes`, packs.
struct PassTables {
  CrossingClass* classes;
  std::size_t classCount;
  const ClassLaw* laws;
  const PairWeights* pairs;
  double fiberNumberCoefficient;
};

/// The pass at kStepBatch consecutive widths; see class_pass_kernel.h.
using PassBatchFunction = std::size_t (*)(const PassTables& tables, const double* widths, double* P, double* count);

std::size_t passBatchPortable(const PassTables&, const double*, double*, double*);
std::size_t passBatchAvx(const PassTables&, const double*, double*, double*);
std::size_t passBatchAvx512(const PassTables&, const double*, double*, double*);

/// The widest of the above that this processor runs.
PassBatchFunction widestPassBatch();

}  // namespace fb::detail
