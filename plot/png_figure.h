#pragma once

#include <optional>
#include <string>
#include <vector>

#include "plot/figure.h"

namespace fb {

/// Writes the figure as PNG through the painter module, loading it (and with
/// it the window toolkit) on first use. Gives the reason, with the file's
/// name, when the module is missing or cannot load or the file cannot be written.
std::optional<std::string> writePngFigure(const std::string& path, const Figure& figure);

/// Where the painter module is looked for, in order: beside the installed
/// program, then, for a program that runs from the build tree, where the
/// build puts it.
std::vector<std::string> pngModuleCandidates();

}  // namespace fb
