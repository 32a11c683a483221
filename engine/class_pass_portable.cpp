// The class pass for any processor: two steps per vector (SSE2 on x86-64).
#include "engine/class_pass_batch.h"
#include "engine/class_pass_kernel.h"

namespace fb::detail {

void passBatchPortable(const PassTables& tables, std::size_t from, std::size_t to, const double* widths,
                       PassState& state) {
  passKernel<2>(tables, from, to, widths, state);
}

PassBatchFunction widestPassBatch() {
#if defined(__x86_64__) && defined(FIBERBRIDGE_HAVE_AVX_PASS)
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx512f")) return passBatchAvx512;
  if (__builtin_cpu_supports("avx")) return passBatchAvx;
#endif
  return passBatchPortable;
}

}  // namespace fb::detail
