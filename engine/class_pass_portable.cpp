// The class pass for any processor: two steps per vector (SSE2 on x86-64).
#include "engine/class_pass_batch.h"
#include "engine/class_pass_kernel.h"

namespace fb::detail {

std::size_t passBatchPortable(CrossingClass* classes, std::size_t classCount, const AnglePair* pairs, double fnc,
                              const double* widths, double* P, double* count) {
  return passKernel<2>(classes, classCount, pairs, fnc, widths, P, count);
}

}  // namespace fb::detail
