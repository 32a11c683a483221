#pragma once

#include <string>

#include "engine/expected.h"

namespace fbtest {

/// Why a result failed, or "" when it did not: a check of the message then
/// fails instead of reading an error that is not there.
template <class T>
std::string reasonOf(const fb::Expected<T>& result) {
  return result ? std::string() : result.error();
}

}  // namespace fbtest
