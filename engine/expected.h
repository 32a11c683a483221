#pragma once

// A result that may fail is a value or the reason it is none, never both:
// tl::expected, the std::expected of C++23 for C++20 (Debian's libexpected-dev).
// The reason is the whole message for the user, or a Refusal where the field matters.

#include <string>

#include <tl/expected.hpp>

namespace fb {

template <class T, class E = std::string>
using Expected = tl::expected<T, E>;
using tl::unexpected;

}  // namespace fb
