#pragma once

// The composite's tension law as finite-element codes take it, with the unit
// system stated in the file's comment lines: N, mm and MPa (N/mm2) throughout.

#include <optional>
#include <string>
#include <string_view>

#include "engine/expected.h"
#include "study/design/tension_law.h"

namespace fb {

enum class ExportFormat {
  abaqus,  // *CONCRETE TENSION STIFFENING of the concrete damaged plasticity model
  diana,   // multilinear tension softening of the smeared crack model (TENSIO 2)
  csv,     // w and stress, and with a crack band its strains, for any code
};

struct ExportRequest {
  ExportFormat format = ExportFormat::csv;
  std::string path;
};

/// "FORMAT:FILE" (abaqus, diana or csv), or "--export 'TEXT': reason".
[[nodiscard]] Expected<ExportRequest> parseExport(std::string_view text);

/// The law in `format`. Abaqus takes the stress against the cracking
/// displacement (TYPE=DISPLACEMENT), or with a crack band h (mm) against the
/// cracking strain w/h (TYPE=STRAIN); DIANA the stress against the crack
/// strain w/h, ending on a far point of no stress; both begin at the tensile
/// strength at zero opening, so a law whose first stress is not positive (the
/// fibers alone) is refused with the reason. The CSV gives w and the stress,
/// and with a crack band the cracking strain and, given Ec, the total strain
/// stress/Ec + w/h.
[[nodiscard]] Expected<std::string> exportText(ExportFormat format, const TensionLaw& law,
                                               std::optional<double> crackBand, std::optional<double> Ec);

}  // namespace fb
