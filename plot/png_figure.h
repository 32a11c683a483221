#pragma once

#include <optional>
#include <string>

#include "plot/figure.h"

namespace fb {

/// Paints the figure with Qt and writes it as PNG. Qt needs an application
/// object for its fonts: when there is none, one runs on the "offscreen"
/// platform for the painting only, so no display is needed.
std::optional<std::string> writePngFigure(const std::string& path, const Figure& figure);

}  // namespace fb
