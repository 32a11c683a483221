#pragma once

#include <cstddef>

#include "engine/crack_steps.h"
#include "engine/fiber_class_table.h"

namespace fb::detail {

/// The pass at up to kStepBatch consecutive widths; see class_pass_kernel.h.
using PassBatchFunction = std::size_t (*)(CrossingClass* classes, std::size_t classCount, const AnglePair* pairs,
                                          double fiberNumberCoefficient, const double* widths, double* P,
                                          double* count);

std::size_t passBatchPortable(CrossingClass*, std::size_t, const AnglePair*, double, const double*, double*, double*);
std::size_t passBatchAvx(CrossingClass*, std::size_t, const AnglePair*, double, const double*, double*, double*);

}  // namespace fb::detail
