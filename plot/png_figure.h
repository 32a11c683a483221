#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/expected.h"
#include "plot/figure_parts.h"

namespace fb {

/// Writes a drawing of `size` pixels as PNG through the painter module,
/// loading it (and with it the window toolkit) on first use. Gives the reason,
/// with the file's name, when the module is missing or cannot load or the file
/// cannot be written.
[[nodiscard]] Expected<void> writePngFile(const std::string& path, FigureSize size, const figure_parts::DrawOn& draw);

/// Where the painter module is looked for, in order: beside the installed
/// program, then, for a program that runs from the build tree, where the
/// build puts it.
std::vector<std::string> pngModuleCandidates();

}  // namespace fb
