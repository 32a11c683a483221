#pragma once

#include <functional>
#include <optional>
#include <string>

namespace fb {

/// What a fit is doing, for a progress line.
struct FitProgressReport {
  std::string phase;  // "search", "polish", "intervals"
  int runs = 0;
  int planned = 0;  // runs at most, as planned now
  std::optional<double> bestRms;
  std::optional<double> secondsLeft;
};

/// Called on the caller's thread a few times a second.
using FitProgress = std::function<void(const FitProgressReport&)>;

}  // namespace fb
