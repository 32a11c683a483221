// The class pass for processors with AVX: four steps per vector. Built with
// -mavx and called only where the processor reports AVX.
#include "engine/class_pass_batch.h"
#include "engine/class_pass_kernel.h"

namespace fb::detail {

void passBatchAvx(const PassTables& tables, std::size_t from, std::size_t to, const double* widths, PassState& state) {
  passKernel<4>(tables, from, to, widths, state);
}

}  // namespace fb::detail
