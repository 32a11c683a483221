// The class pass for processors with AVX: four steps per vector. Built with
// -mavx and called only where the processor reports AVX.
#include "engine/class_pass_batch.h"
#include "engine/class_pass_kernel.h"

namespace fb::detail {

std::size_t passBatchAvx(const PassTables& tables, const double* widths, double* P, double* count) {
  return passKernel<4>(tables, widths, P, count);
}

}  // namespace fb::detail
