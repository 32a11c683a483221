// The class pass for processors with AVX-512: eight steps per vector. Built
// with -mavx512f alone (no FMA: every product is rounded before its sum) and
// called only where the processor reports AVX-512F.
#include "engine/class_pass_batch.h"
#include "engine/class_pass_kernel.h"

namespace fb::detail {

std::size_t passBatchAvx512(const PassTables& tables, const double* widths, double* P, double* count) {
  return passKernel<8>(tables, widths, P, count);
}

}  // namespace fb::detail
