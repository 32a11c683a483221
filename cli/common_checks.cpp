#include "cli/common_checks.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "engine/message_text.h"
#include "engine/number_reader.h"
#include "engine/number_writer.h"

namespace fb {
namespace {

// An option's text as a positive finite number, or the reason naming the option.
Expected<double> positiveOption(const char* name, const std::string& text) {
  const auto value = strictNumber(trim(text));
  if (!value || !std::isfinite(*value) || !(*value > 0))
    return unexpected(std::string(name) + " " + quotedToken(text) + ": must be a positive number");
  return *value;
}

}  // namespace

Checked readDesignOptions(GivenOptions& g) {
  CliOptions& o = g.o;
  const auto given = [&g](const char* name) { return g.given(name); };
  std::optional<std::string> problem;  // the first option that is no positive number
  const auto positive = [&problem](const char* name, const std::string& text) {
    const Expected<double> value = positiveOption(name, text);
    if (!value && !problem) problem = value.error();
    return value.value_or(0.0);
  };
  const bool anyMatrix = given("--Jtip") || given("--Km") || given("--Em") || given("--sigma-fc");
  if (anyMatrix) {
    if (given("--Jtip") && (given("--Km") || given("--Em")))
      return unexpected("--Jtip, or --Km with --Em, gives the crack-tip toughness; not both");
    if (given("--Km") != given("--Em")) return unexpected("--Km and --Em go together (Jtip = Km^2/Em)");
    if (!given("--Jtip") && !given("--Km"))
      return unexpected("the PSH indices need --Jtip (or --Km with --Em) with --sigma-fc");
    if (!given("--sigma-fc")) return unexpected("the PSH indices need --sigma-fc with the crack-tip toughness");
    MatrixProperties m;
    m.Jtip = given("--Jtip") ? positive("--Jtip", g.Jtip)
                             : crackTipToughness(positive("--Km", g.Km), positive("--Em", g.Em));
    m.sigmaFc = positive("--sigma-fc", g.sigmaFc);
    if (problem) return unexpected(*problem);
    // A value no cementitious matrix has is most likely given in another unit.
    if (!given("--allow-unusual-matrix")) {
      struct Given {
        const char* option;
        std::string GivenOptions::*text;
        MatrixQuantity quantity;
      };
      const Given matrix[] = {{"--Em", &GivenOptions::Em, MatrixQuantity::Em},
                              {"--Km", &GivenOptions::Km, MatrixQuantity::Km},
                              {"--Jtip", &GivenOptions::Jtip, MatrixQuantity::Jtip},
                              {"--sigma-fc", &GivenOptions::sigmaFc, MatrixQuantity::sigmaFc}};
      for (const Given& m : matrix)
        if (given(m.option))
          if (const auto plausible = checkMatrixPlausible(m.quantity, positive(m.option, g.*m.text), m.option);
              !plausible)
            return unexpected(plausible.error() + " (--allow-unusual-matrix takes it as given)");
    }
    // Km^2/Em can round to 0 or overflow; so can the indices that divide by these.
    if (!std::isnormal(m.Jtip))
      return unexpected((given("--Jtip")
                             ? "--Jtip"
                             : "--Km and --Em give Jtip = Km^2/Em = " + formatShortest(m.Jtip) + " J/m2, which") +
                        std::string(" is too small or too large to divide by"));
    if (!std::isnormal(m.sigmaFc)) return unexpected("--sigma-fc is too small to divide by");
    if (given("--psh-margins")) {
      const Expected<PshMargins> margins = parsePshMargins(g.margins);
      if (!margins) return unexpected("--psh-margins " + quotedToken(g.margins) + ": " + margins.error());
      m.margins = *margins;
    }
    o.matrix = m;
  } else {
    // The tension law's matrix (--ft, --Gf, --Ec) or table may be unusual too.
    const bool lawMatrix = given("--ft") || given("--Ec") || given("--sigma-w");
    for (const char* option : {"--psh-margins", "--allow-unusual-matrix"})
      if (given(option) && !(lawMatrix && std::string_view(option) == "--allow-unusual-matrix"))
        return unexpected(std::string(option) + " goes with the matrix: --Jtip (or --Km and --Em) and --sigma-fc");
  }

  if (given("--map")) {
    o.sweep.map = summaryMetricByName(g.map);
    if (!o.sweep.map)
      return unexpected("--map " + quotedToken(g.map) + ": not a metric; one of " + summaryMetricKeys());
    const bool index = o.sweep.map == SummaryMetric::energyIndex || o.sweep.map == SummaryMetric::strengthIndex;
    if (index && !o.matrix)
      return unexpected("--map " + g.map + " needs the matrix: --Jtip (or --Km and --Em) and --sigma-fc");
    if (o.sweep.map == SummaryMetric::rms && o.measuredPaths.empty()) return unexpected("--map rms needs --measured");
    if (o.sweep.sweeps.size() != 2) return unexpected("--map draws two swept inputs: give exactly two --sweep options");
    if (o.plot.empty()) return unexpected("--map draws into the file of --plot: name one");
  }
  if (given("--map-level")) {
    if (!o.sweep.map) return unexpected("--map-level goes with --map");
    o.sweep.mapLevel = strictNumber(trim(g.mapLevel));
    if (!o.sweep.mapLevel) return unexpected("--map-level " + quotedToken(g.mapLevel) + ": must be a number");
  }

  for (const std::string& text : g.scatterTexts) {
    Expected<ScatterInput> scatter = parseScatter(text);
    if (!scatter) return unexpected(scatter.error());
    for (const ScatterInput& s : o.scatter.inputs)
      if (s.field == scatter->field) return unexpected(std::string(fieldInfo(s.field).name) + " is scattered twice");
    if (g.inputGiven(scatter->field)) {
      const std::string name(fieldInfo(scatter->field).name);
      return unexpected("--" + name + " and --scatter " + name + " both set " + name);
    }
    o.scatter.inputs.push_back(std::move(*scatter));
  }
  if (given("--samples")) {
    const auto n = strictNumber(trim(g.samples));
    if (!n || *n != std::floor(*n) || *n < 1 || *n > kMaxScatterSamples)
      return unexpected("--samples " + quotedToken(g.samples) + ": must be a whole number from 1 to " +
                        std::to_string(kMaxScatterSamples));
    o.scatter.samples = static_cast<int>(*n);
  }
  if (o.scatter.inputs.empty() && (given("--samples") || given("--band")))
    return unexpected("--samples and --band go with --scatter");
  return {};
}

Checked readShard(GivenOptions& g) {
  for (const char* option : {"--resume", "--allow-large"})
    if (g.given(option) && g.o.sweep.sweeps.empty()) return unexpected(std::string(option) + " goes with --sweep");
  if (g.given("--resume") && !g.o.plot.empty())
    return unexpected("--resume keeps the rows of finished runs, not their curves, which --plot draws");
  if (!g.given("--shard")) return {};
  const Expected<Shard> shard = parseShard(g.shardText);
  if (!shard) return unexpected(shard.error());
  g.o.sweep.shard = *shard;
  if (g.o.sweep.sweeps.empty()) return unexpected("--shard splits a sweep's grid; it needs --sweep");
  if (!g.o.plot.empty()) return unexpected("--plot draws a whole study; a shard of one cannot");
  return {};
}

Checked refuseFitOptions(const GivenOptions& g, bool seedTaken) {
  const CliOptions& o = g.o;
  if (!o.fit.pulloutPaths.empty())
    return unexpected("--pullout goes with --fit: a pullout test is fitted, then its law predicts a run");
  if (!o.fit.priorPath.empty())
    return unexpected("--fit-prior goes with --fit: a stage-1 fit's report widens a stage-2 fit's intervals");
  if (!o.fit.beamPaths.empty())
    return unexpected("--beam-measured goes with --fit: a beam test is fitted; --beam computes a run's beam");
  if (!o.fit.log.empty() || !o.fit.report.empty() || o.fit.logWidth || o.fit.robust || g.given("--fit-starts") ||
      (g.given("--seed") && !seedTaken))
    return unexpected("--fit-starts, --seed, --fit-log, --fit-report, --robust and --log-width go with --fit");
  if (o.measuredPaths.size() > 1)
    return unexpected("several --measured curves go with --fit; a run or a sweep compares with one");
  return {};
}

Checked readLawOptions(GivenOptions& g, LawUse use) {
  const char* const kLawOptions[] = {"--ft",      "--Gf",   "--Ec",        "--export",    "--crack-band",
                                     "--sigma-w", "--beam", "--beam-size", "--beam-curve"};
  for (const char* option : kLawOptions) {
    if (!g.given(option) || use == LawUse::run) continue;
    const std::string_view name(option);
    if (use == LawUse::scatter && name != "--export" && name != "--crack-band" && name != "--sigma-w" &&
        name != "--beam-curve")
      continue;
    if (use == LawUse::fit && (name == "--ft" || name == "--Gf" || name == "--Ec" || name == "--beam-size")) continue;
    return unexpected(std::string(option) +
                      (use == LawUse::scatter ? " belongs to a single run's tension law; a scatter's samples give "
                                                "their beams' characteristic values (--beam)"
                       : use == LawUse::fit
                           ? " belongs to a single run's tension law; a fit takes --ft, --Gf, --Ec and --beam-size "
                             "for its --beam-measured tests, and writes the fitted run"
                           : " belongs to a single run's tension law or a --sigma-w table, not to a sweep or a fit"));
  }
  LawOptions& law = g.o.law;
  const auto positive = positiveOption;
  if (g.given("--ft") != g.given("--Gf")) return unexpected("--ft and --Gf go together: the matrix's softening");
  if (g.given("--Ec") && !g.given("--ft") && !g.given("--sigma-w"))
    return unexpected("--Ec goes with the matrix's --ft and --Gf, or a --sigma-w table");
  if (g.given("--ft")) {
    const Expected<double> ft = positive("--ft", g.ft), Gf = positive("--Gf", g.Gf);
    if (!ft) return unexpected(ft.error());
    if (!Gf) return unexpected(Gf.error());
    law.matrix = MatrixTension{*ft, *Gf, std::nullopt};
  }
  if (g.given("--Ec")) {
    const Expected<double> Ec = positive("--Ec", g.Ec);
    if (!Ec) return unexpected(Ec.error());
    law.Ec = *Ec;
    if (law.matrix) law.matrix->Ec = *Ec;
  }
  // A value no cementitious composite has is most likely given in another unit.
  law.allowUnusual = g.given("--allow-unusual-matrix");
  if (!law.allowUnusual) {
    struct Range {
      const char* option;
      const char* quantity;
      std::optional<double> value;
      double low, high;
      const char* unit;
    };
    const std::optional<MatrixTension>& m = law.matrix;
    const Range ranges[] = {{"--ft", "tensile strength", m ? std::optional(m->ft) : std::nullopt, 0.5, 20, "MPa"},
                            {"--Gf", "fracture energy", m ? std::optional(m->Gf) : std::nullopt, 0.005, 2, "N/mm"},
                            {"--Ec", "modulus", law.Ec, 1, 100, "GPa"}};
    for (const Range& r : ranges)
      if (r.value && !(*r.value >= r.low && *r.value <= r.high))
        return unexpected(std::string(r.option) + " " + formatShortest(*r.value) + ": a cementitious composite's " +
                          r.quantity + " lies between " + formatShortest(r.low) + " and " + formatShortest(r.high) +
                          " " + r.unit + "; is it given in another unit? (--allow-unusual-matrix takes it as given)");
  }
  if (g.given("--crack-band")) {
    const Expected<double> h = positive("--crack-band", g.crackBand);
    if (!h) return unexpected(h.error());
    law.crackBand = *h;
  }
  for (const std::string& text : g.exportTexts) {
    Expected<ExportRequest> request = parseExport(text);
    if (!request) return unexpected(request.error());
    if (request->path == "-")
      return unexpected("--export " + text + ": only --csv and --band write to standard output (-); name a file");
    law.exports.push_back(std::move(*request));
  }
  if (use == LawUse::fit) {
    if ((g.given("--ft") || g.given("--Ec") || g.given("--beam-size")) && g.o.fit.beamPaths.empty())
      return unexpected("--ft, --Gf, --Ec and --beam-size go with --beam-measured in a fit");
  } else if ((g.given("--beam-size") || g.given("--beam-curve")) && !law.beam) {
    return unexpected("--beam-size and --beam-curve go with --beam");
  }
  if (g.given("--beam-size")) {
    std::vector<double> sizes;
    for (std::string_view rest = g.beamSize;;) {
      const std::size_t comma = rest.find(',');
      const auto value = strictNumber(trim(rest.substr(0, comma)));
      if (!value || !std::isfinite(*value) || !(*value >= 0)) break;
      sizes.push_back(*value);
      if (comma == std::string_view::npos) break;
      rest.remove_prefix(comma + 1);
    }
    // Up to 10 m: a larger beam is a slip of unit (metres for millimetres) more often than a test.
    const bool plausible =
        sizes.size() == 4 && std::all_of(sizes.begin(), sizes.end(), [](double v) { return v <= 1e4; });
    if (!plausible || !(sizes[0] > 0 && sizes[1] > 0 && sizes[2] > 0 && sizes[3] < sizes[1]))
      return unexpected("--beam-size " + quotedToken(g.beamSize) +
                        ": expected B,H,SPAN,NOTCH in mm, positive and at most 10000, the notch shallower than the "
                        "depth");
    law.geometry = {sizes[0], sizes[1], sizes[2], sizes[3]};
  }
  const bool anyLaw = g.given("--ft") || g.given("--crack-band") || g.given("--sigma-w");
  if (use == LawUse::fit) {
    if (g.o.fit.beamPaths.empty()) return {};
    if (!law.matrix) return unexpected("--beam-measured needs the matrix's --ft and --Gf, where the beam cracks");
    if (!law.Ec) return unexpected("--beam-measured needs the modulus --Ec (GPa)");
    return {};
  }
  if (anyLaw && law.exports.empty() && !law.beam)
    return unexpected("--ft, --Gf, --crack-band and --sigma-w go with --export or --beam");
  if (g.given("--sigma-w") && g.given("--ft"))
    return unexpected("--sigma-w is the whole law; --ft and --Gf add the matrix to a run's");
  if (law.beam && !g.given("--Ec")) return unexpected("--beam needs the modulus --Ec (GPa)");
  if (law.beam && !law.matrix && !g.given("--sigma-w"))
    return unexpected("--beam cracks at the tensile strength: give the matrix's --ft and --Gf (or a --sigma-w table)");
  for (const ExportRequest& request : law.exports) {
    if (request.format == ExportFormat::csv) continue;
    const std::string code = request.format == ExportFormat::abaqus ? "Abaqus" : "DIANA";
    // The fibers carry nothing at zero opening: the table's first stress would be no strength.
    if (!law.matrix && !g.given("--sigma-w"))
      return unexpected("--export " + request.path + ": an " + code +
                        " table begins at the tensile strength at zero opening: give the matrix's --ft and --Gf");
    if (request.format == ExportFormat::diana && !law.crackBand)
      return unexpected("--export " + request.path +
                        ": DIANA's tension softening takes crack strains: give "
                        "--crack-band h (mm)");
  }
  return {};
}

Checked checkRunCurves(const CliOptions& o) {
  for (std::size_t i = 0; i < o.specimens.size(); ++i)
    if (!o.specimens[i].inputs.empty())
      return unexpected("--measured " + o.measuredPaths[i] + " sets " +
                        std::string(fieldInfo(o.specimens[i].inputs[0].field).name) +
                        " for its specimen; such curves go with --fit");
  return {};
}

}  // namespace fb
