#pragma once

// For tests only: what a study's tests reach inside the study runner.

#include <cstddef>

namespace fb::detail {

/// Called on the calling thread before each worker of a study starts (0, 1,
/// ...); a test throws std::system_error from it to act as a system that
/// gives no more threads.
extern void (*beforeWorkerStart)(std::size_t worker);

}  // namespace fb::detail
