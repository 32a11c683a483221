// The class pass for processors with AVX-512: eight steps per vector. Built
// with -mavx512f alone (no FMA: every product is rounded before its sum) and
// called only where the processor reports AVX-512F.
#include "engine/class_pass_batch.h"
#include "engine/class_pass_kernel.h"

namespace fb::detail {

void passBatchAvx512(const PassTables& tables, std::size_t from, std::size_t to, const double* widths,
                     PassState& state) {
  passKernel<8>(tables, from, to, widths, state);
}

}  // namespace fb::detail
