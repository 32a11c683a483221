#pragma once

#include <string>

namespace fb {

/// The bash completion script of fiberbridge-cli, made from its option table,
/// so that every input of the field table is completed.
std::string bashCompletion();

}  // namespace fb
