#pragma once

// A result that may fail is a value or the reason it is none, never both:
// tl::expected, the std::expected of C++23 for C++20 (Debian's libexpected-dev).
// The reason is the whole message for the user, or a Refusal where the field matters.

#include <string>
#include <tl/expected.hpp>
#include <type_traits>
#include <utility>

namespace fb {

template <class T, class E = std::string>
using Expected = tl::expected<T, E>;

/// The reason a result is none; a message's text is kept as a std::string.
template <class E>
auto unexpected(E&& reason) {
  using Reason = std::conditional_t<std::is_convertible_v<E, std::string>, std::string, std::decay_t<E>>;
  return tl::unexpected<Reason>(Reason(std::forward<E>(reason)));
}

}  // namespace fb
