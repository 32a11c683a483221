// The class pass for any processor: two steps per vector (SSE2 on x86-64).
#include "engine/class_pass_batch.h"
#include "engine/class_pass_kernel.h"

namespace fb::detail {

std::size_t passBatchPortable(const PassTables& tables, const double* widths, double* P, double* count) {
  return passKernel<2>(tables, widths, P, count);
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
