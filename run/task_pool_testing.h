#pragma once

// For tests only: what the task pool's tests reach inside it.

#include <cstddef>

namespace fb::detail {

/// Called on the calling thread before each worker thread starts (0, 1, ...);
/// a test throws std::system_error from it to act as a system that gives no
/// more threads.
extern void (*beforeThreadStart)(std::size_t worker);

}  // namespace fb::detail
