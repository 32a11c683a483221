#pragma once

// Bridging curves made by hand, for checking what is read off a curve.

#include <cstdint>
#include <initializer_list>
#include <utility>
#include <vector>

#include "engine/crack_steps.h"

namespace fbtest {

/// Steps with the crack widths (mm) and stresses (MPa) given; P is 1000 times sigma.
inline std::vector<fb::StepResult> curve(std::initializer_list<std::pair<double, double>> points) {
  std::vector<fb::StepResult> steps;
  for (const auto& [Wcr, sigma] : points)
    steps.push_back({static_cast<std::int16_t>(steps.size()), Wcr, sigma * 1000, sigma, 0.5});
  return steps;
}

}  // namespace fbtest
