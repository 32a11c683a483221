// The composite's tension law for FE codes: a single run's, with the matrix's
// softening beside the fibers' bridging, or a tabulated law from elsewhere.
#include <string>

#include "cli/commands.h"
#include "cli/common_checks.h"
#include "cli/terminal_view.h"
#include "study/inputs/measured_curve.h"

namespace fb {

bool writeLawExports(const CliOptions& o, const TensionLaw& law) {
  bool ok = true;
  const std::optional<double> Ec = o.law.matrix ? o.law.matrix->Ec : std::nullopt;
  for (const ExportRequest& request : o.law.exports) {
    const Expected<std::string> text = exportText(request.format, law, o.law.crackBand, Ec);
    if (!text) {
      printError("--export " + request.path + ": " + text.error() + " (not written)");
      ok = false;
      continue;
    }
    if (written(writeOutput(request.path, *text)))
      printLine("tension law of " + std::to_string(law.w.size()) + " points in " + request.path);
    else
      ok = false;
  }
  return ok;
}

Checked checkLaw(GivenOptions& g) {
  for (const std::string& name : g.givenNames())
    if (name != "--sigma-w" && name != "--export" && name != "--crack-band" && name != "--quiet")
      return unexpected("--sigma-w is a law from elsewhere, exported as it stands; " + name + " belongs to a run");
  return readLawOptions(g, true);
}

Checked checkLawTable(const CliOptions&) { return {}; }

int runLaw(const CliOptions& o) {
  const Expected<MeasuredCurve> table = readMeasuredCurve(o.law.tablePath);
  if (!table) {
    printError(table.error());
    return kExitUsage;
  }
  // A law goes out as a table of rising widths from the crack's opening.
  for (std::size_t i = 0; i < table->points.size(); ++i) {
    const MeasuredPoint& p = table->points[i];
    const bool rising = i == 0 ? p.Wcr >= 0 : p.Wcr > table->points[i - 1].Wcr;
    if (!rising) {
      printError(o.law.tablePath + ":" + std::to_string(p.line) +
                 ": the crack widths of a law must rise from 0 or more");
      return kExitUsage;
    }
  }
  return writeLawExports(o, tabulatedLaw(table->points)) ? kExitDone : kExitFailed;
}

}  // namespace fb
