// The composite's tension law for FE codes: a single run's, with the matrix's
// softening beside the fibers' bridging, or a tabulated law from elsewhere.
#include <string>

#include "cli/commands.h"
#include "cli/common_checks.h"
#include "cli/terminal_view.h"
#include "engine/number_writer.h"
#include "study/design/frc_class.h"
#include "study/inputs/measured_curve.h"

namespace fb {

namespace {

std::string mpa(double value) { return formatFixed(value, 2); }

// The beam's figures, its Model Code class from them and the simplified laws.
bool reportBeam(const CliOptions& o, const TensionLaw& law, std::vector<BeamPoint>* beamCurve) {
  const Expected<BeamResult> beam = notchedBeam(law, *o.law.Ec, o.law.geometry);
  if (!beam) {
    printError("--beam: " + beam.error());
    return false;
  }
  const BeamGeometry& g = o.law.geometry;
  printLine("beam " + formatShortest(g.b) + " x " + formatShortest(g.h) + " mm, span " + formatShortest(g.span) +
            " mm, notch " + formatShortest(g.notch) + " mm (cracked hinge, Olesen 2001): fL " + mpa(beam->fL) +
            " MPa, fR1 " + mpa(beam->fR[0]) + ", fR2 " + mpa(beam->fR[1]) + ", fR3 " + mpa(beam->fR[2]) + ", fR4 " +
            mpa(beam->fR[3]) + " MPa");
  const FrcDesign d = frcDesign(beam->fL, beam->fR[0], beam->fR[2]);
  // One run gives mean values; the Model Code classifies characteristic ones.
  printLine("fib Model Code 2010, from these mean values (one run, not characteristic ones): class " +
            d.frcClass.value_or("none (fR1 below 1 MPa or fR3/fR1 below 0.5)") + ", fR3/fR1 " +
            formatFixed(beam->fR[2] / beam->fR[0], 2) +
            "; structural use (fR1/fL > 0.4, fR3/fR1 > 0.5): " + (d.structuralUse ? "yes" : "no") +
            "; rigid-plastic fFtu = fR3/3 = " + mpa(d.rigidPlasticFtu) + " MPa; linear fFts = " + mpa(d.linearFts) +
            " MPa, fFtu = " + mpa(d.linearFtu) + " MPa at wu " + formatShortest(d.linearWu) + " mm");
  if (beamCurve) *beamCurve = beam->curve;
  if (o.law.beamCurve.empty()) return true;
  std::string csv = "CMOD (mm),load (kN)\n";
  for (const BeamPoint& p : beam->curve) csv += exactText(p.cmod) + "," + exactText(p.load) + "\n";
  return written(writeOutput(o.law.beamCurve, csv));
}

}  // namespace

bool writeLawResults(const CliOptions& o, const TensionLaw& law, std::vector<BeamPoint>* beamCurve) {
  bool ok = true;
  for (const ExportRequest& request : o.law.exports) {
    const Expected<std::string> text = exportText(request.format, law, o.law.crackBand, o.law.Ec);
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
  if (o.law.beam) ok = reportBeam(o, law, beamCurve) && ok;
  return ok;
}

Checked checkLaw(GivenOptions& g) {
  for (const std::string& name : g.givenNames())
    if (name != "--sigma-w" && name != "--export" && name != "--crack-band" && name != "--quiet" && name != "--Ec" &&
        name != "--beam" && name != "--beam-size" && name != "--beam-curve" && name != "--allow-unusual-matrix")
      return unexpected("--sigma-w is a law from elsewhere, exported as it stands; " + name + " belongs to a run");
  return readLawOptions(g, LawUse::run);
}

Checked checkLawTable(const CliOptions&) { return {}; }

int runLaw(const CliOptions& o) {
  const Expected<MeasuredCurve> table = readMeasuredCurve(o.law.tablePath);
  if (!table) {
    printError(table.error());
    return kExitUsage;
  }
  // A law goes out as a table of rising widths from the crack's opening, of stresses a crack can carry.
  for (std::size_t i = 0; i < table->points.size(); ++i) {
    const MeasuredPoint& p = table->points[i];
    const bool rising = i == 0 ? p.Wcr >= 0 : p.Wcr > table->points[i - 1].Wcr;
    if (!(p.sigma >= 0 && (p.sigma <= 100 || o.law.allowUnusual))) {
      printError(o.law.tablePath + ":" + std::to_string(p.line) + ": a law's stress lies between 0 and 100 MPa" +
                 " (--allow-unusual-matrix takes a larger one as given)");
      return kExitUsage;
    }
    if (!rising) {
      printError(o.law.tablePath + ":" + std::to_string(p.line) +
                 ": the crack widths of a law must rise from 0 or more");
      return kExitUsage;
    }
  }
  return writeLawResults(o, tabulatedLaw(table->points)) ? kExitDone : kExitFailed;
}

}  // namespace fb
