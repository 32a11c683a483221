#pragma once

#include <string>
#include <vector>

#include "engine/field_table.h"

namespace fb {

/// A warning of a fit and the inputs it names.
struct FitWarning {
  std::vector<Field> inputs;
  std::string text;
};

}  // namespace fb
