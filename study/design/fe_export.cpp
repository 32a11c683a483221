#include "study/design/fe_export.h"

#include "engine/message_text.h"
#include "engine/number_writer.h"

namespace fb {
namespace {

// DIANA's multilinear softening ends on a point far out, of no stress, so
// that no crack strain lies beyond its table.
constexpr double kDianaFarStrain = 100000;

std::string number(double value) { return exactText(value); }

// "stress, width over `per`" lines: a width (per 1) or a crack band's strain (per h).
std::string lines(const TensionLaw& law, const std::string& separator, double per, const std::string& indent) {
  std::string text;
  for (std::size_t i = 0; i < law.w.size(); ++i)
    text += indent + number(law.sigma[i]) + separator + number(law.w[i] / per) + "\n";
  return text;
}

}  // namespace

Expected<ExportRequest> parseExport(std::string_view text) {
  const auto fail = [&](const std::string& reason) {
    return unexpected("--export " + quotedToken(text, 60) + ": " + reason);
  };
  const std::size_t colon = text.find(':');
  if (colon == std::string_view::npos) return fail("expected FORMAT:FILE, FORMAT abaqus, diana or csv");
  const std::string_view format = text.substr(0, colon);
  ExportRequest request;
  request.path = std::string(text.substr(colon + 1));
  if (format == "abaqus")
    request.format = ExportFormat::abaqus;
  else if (format == "diana")
    request.format = ExportFormat::diana;
  else if (format == "csv")
    request.format = ExportFormat::csv;
  else
    return fail(quotedToken(format) + " is not a format: abaqus, diana or csv");
  if (request.path.empty()) return fail("no file name after the format");
  return request;
}

Expected<std::string> exportText(ExportFormat format, const TensionLaw& law, std::optional<double> crackBand,
                                 std::optional<double> Ec) {
  if (law.w.empty()) return unexpected("the law has no point to export");
  const bool startsAtStrength = law.w.front() == 0 && law.sigma.front() > 0;
  const std::string fibersAlone =
      " table begins at the tensile strength at zero opening, and this law's first stress is " +
      number(law.sigma.front()) + " MPa: give the matrix (--ft with --Gf), or a --sigma-w table that begins at it";
  switch (format) {
    case ExportFormat::abaqus: {
      if (!startsAtStrength) return unexpected("an Abaqus tension stiffening" + fibersAlone);
      std::string text = "** FiberBridge: the composite's tension law for the concrete damaged plasticity model\n";
      text += "** units: N, mm, MPa (N/mm2); ";
      if (crackBand) {
        text += "stress against cracking strain, w over the crack band h = " + number(*crackBand) + " mm\n";
        return text + "*CONCRETE TENSION STIFFENING, TYPE=STRAIN\n" + lines(law, ", ", *crackBand, "");
      }
      text += "stress against cracking displacement w (mm)\n";
      return text + "*CONCRETE TENSION STIFFENING, TYPE=DISPLACEMENT\n" + lines(law, ", ", 1, "");
    }
    case ExportFormat::diana: {
      if (!startsAtStrength) return unexpected("a DIANA tension softening" + fibersAlone);
      if (!crackBand) return unexpected("DIANA's tension softening takes crack strains: give --crack-band h (mm)");
      std::string text = ": FiberBridge: the composite's tension law, multilinear tension softening (TENSIO 2)\n";
      text += ": units: N, mm, N/mm2; stress against crack strain, w over the crack band h = " + number(*crackBand) +
              " mm, ending on a far point of no stress\n";
      text += "'MATERI'\n   1  TENSIO 2\n      TENVAL\n" + lines(law, " ", *crackBand, "        ");
      return text + "        0 " + number(kDianaFarStrain) + "\n";
    }
    case ExportFormat::csv: {
      std::string text = "# FiberBridge: the composite's tension law; units: mm, MPa";
      if (crackBand) text += "; strains over the crack band h = " + number(*crackBand) + " mm";
      if (crackBand && Ec) text += ", the total strain with Ec = " + number(*Ec) + " GPa";
      text += "\nw (mm),sigma (MPa)";
      if (crackBand) text += ",cracking strain";
      if (crackBand && Ec) text += ",total strain";
      text += "\n";
      for (std::size_t i = 0; i < law.w.size(); ++i) {
        text += number(law.w[i]) + "," + number(law.sigma[i]);
        if (crackBand) text += "," + number(law.w[i] / *crackBand);
        if (crackBand && Ec) text += "," + number(law.sigma[i] / (*Ec * 1000) + law.w[i] / *crackBand);
        text += "\n";
      }
      return text;
    }
  }
  return unexpected("no such format");
}

}  // namespace fb
