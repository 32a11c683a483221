// The design figures of fiberbridge._native: the PSH indices, a scatter's
// samples and the band and spread of what they give.
#include <algorithm>
#include <string_view>

#include "engine/number_reader.h"
#include "python/bindings.h"
#include "python/native_values.h"
#include "study/design/design_indices.h"
#include "study/design/frc_class.h"
#include "study/design/jb_resolution.h"
#include "study/design/notched_beam.h"
#include "study/design/scatter.h"
#include "study/design/tension_law.h"
#include "study/studies/metrics.h"

namespace fb {

void bindDesign(py::module_& m) {
  // The PSH indices of a curve's complementary energy (J/m2) and peak stress
  // (MPa) against the matrix, with the verdict on the margins.
  m.attr("psh_margins") = py::make_tuple(PshMargins{}.energy, PshMargins{}.strength);
  m.attr("psh_margins_source") = std::string(kPshMarginsSource);
  // Refuses, as a ValueError, a matrix property (Em, Km, Jtip or sigma_fc) that no cementitious matrix has.
  m.def("check_matrix", [](const std::string& name, double value) {
    const std::pair<const char*, MatrixQuantity> quantities[] = {{"Em", MatrixQuantity::Em},
                                                                 {"Km", MatrixQuantity::Km},
                                                                 {"Jtip", MatrixQuantity::Jtip},
                                                                 {"sigma_fc", MatrixQuantity::sigmaFc}};
    for (const auto& [known, quantity] : quantities)
      if (name == known)
        if (const auto plausible = checkMatrixPlausible(quantity, value, name); !plausible)
          throw py::value_error(plausible.error() + " (allow_unusual_matrix=True takes it as given)");
  });
  // Whether a run's steps resolve its J'b: (resolved, "not resolved at division 10: ...; division 640 resolves it").
  m.def("jb_resolution",
        [](const TextMap& given, const py::array_t<std::int16_t>& step, const py::array_t<double>& Wcr,
           const py::array_t<double>& P, const py::array_t<double>& sigma, const py::array_t<double>& ratio) {
          const std::vector<StepResult> steps = stepsOf(step, Wcr, P, sigma, ratio);
          const FieldTexts texts = textsOf(given);
          CurveRunner& runner = threadRunner();
          const JbResolution r = watchedCall(
              [&](const Watch& watch) { return checkJbResolution(texts, steps, runner.calculator(), watch.stop()); });
          return py::make_tuple(r.resolved, jbResolutionText(r));
        });
  m.def("crack_tip_toughness", &crackTipToughness, py::arg("Km"), py::arg("Em"));
  m.def("psh", [](double complementaryEnergy, double peakStress, double Jtip, double sigmaFc, double energyMargin,
                  double strengthMargin) {
    CurveMetrics curve;
    curve.complementaryEnergy = complementaryEnergy;
    curve.peak.sigma = peakStress;
    const PshIndices psh = pshIndices(curve, {Jtip, sigmaFc, {energyMargin, strengthMargin}});
    return py::make_tuple(psh.energy, psh.strength, psh.meetsMargins);
  });

  // The composite's tension law of a run's rows with the matrix (ft MPa, Gf N/mm; ft 0 for the fibers alone),
  // and the EN 14651 beam of it with the modulus E (GPa) and the geometry (b, h, span, notch in mm).
  m.def("tension_law",
        [](const py::array_t<std::int16_t>& step, const py::array_t<double>& Wcr, const py::array_t<double>& P,
           const py::array_t<double>& sigma, const py::array_t<double>& ratio, double ft, double Gf) {
          const std::vector<StepResult> steps = stepsOf(step, Wcr, P, sigma, ratio);
          const TensionLaw law =
              compositeLaw(steps, ft > 0 ? std::optional(MatrixTension{ft, Gf, std::nullopt}) : std::nullopt);
          return py::make_tuple(array(law.w), array(law.sigma));
        });
  m.def("beam", [](const std::vector<double>& w, const std::vector<double>& sigma, double E,
                   const std::tuple<double, double, double, double>& size) {
    const auto& [b, h, span, notch] = size;
    const Expected<BeamResult> beam = notchedBeam(TensionLaw{w, sigma}, E, BeamGeometry{b, h, span, notch});
    if (!beam) throw py::value_error(beam.error());
    std::vector<double> cmod, load;
    for (const BeamPoint& p : beam->curve) cmod.push_back(p.cmod), load.push_back(p.load);
    const FrcDesign d = frcDesign(beam->fL, beam->fR[0], beam->fR[2]);
    py::dict out;
    out["fL"] = beam->fL;
    out["fR"] = std::vector<double>(beam->fR.begin(), beam->fR.end());
    out["cmod"] = array(cmod);
    out["load"] = array(load);
    out["frc_class"] = d.frcClass ? py::object(py::str(*d.frcClass)) : py::object(py::none());
    out["structural_use"] = d.structuralUse;
    out["rigid_plastic_ftu"] = d.rigidPlasticFtu;
    out["linear_fts"] = d.linearFts;
    out["linear_ftu"] = d.linearFtu;
    out["linear_wu"] = d.linearWu;
    return out;
  });

  m.attr("most_scatter_samples") = kMaxScatterSamples;
  // A scatter's samples as the command line draws them: each one's texts and label.
  m.def("scatter_samples", [](const TextMap& base, const std::vector<std::pair<std::string, std::string>>& drawn,
                              int count, std::uint64_t seed) {
    std::vector<ScatterInput> inputs;
    for (const auto& [name, distribution] : drawn) {
      const Expected<ScatterInput> parsed = parseScatter(name + "=" + distribution);
      // Named as Python gives it, without the command line's option.
      if (!parsed) throw py::value_error(parsed.error().substr(std::string_view("--scatter ").size()));
      inputs.push_back(*parsed);
    }
    if (count < 1 || count > kMaxScatterSamples)
      throw py::value_error("n must lie between 1 and " + std::to_string(kMaxScatterSamples));
    py::list out;
    for (const GridRun& sample : scatterSamples(textsOf(base), inputs, count, seed)) {
      TextMap texts;
      for (const FieldInfo& info : kFields)
        if (info.field != Field::dataFile) texts[std::string(info.name)] = sample.texts[info.field];
      out.append(py::make_tuple(texts, sample.label));
    }
    return out;
  });

  // The band of finished curves (Wcr, sigma) at the steps of the widest.
  m.def("band", [](const std::vector<std::pair<std::vector<double>, std::vector<double>>>& curves) {
    std::vector<std::vector<StepResult>> steps;
    for (const auto& [w, sigma] : curves) {
      std::vector<StepResult>& s = steps.emplace_back();
      for (std::size_t i = 0; i < std::min(w.size(), sigma.size()); ++i) s.push_back({0, w[i], 0, sigma[i], 0});
    }
    if (steps.empty()) throw py::value_error("no finished sample to make a band of");
    const Band band = scatterBand(steps);
    std::vector<double> columns[5];
    for (const Spread& s : band.sigma) {
      columns[0].push_back(s.mean);
      columns[1].push_back(s.sd);
      columns[2].push_back(s.p05);
      columns[3].push_back(s.p50);
      columns[4].push_back(s.p95);
    }
    py::dict d;
    d["Wcr"] = array(band.Wcr);
    const char* names[] = {"mean", "sd", "p05", "p50", "p95"};
    for (int k = 0; k < 5; ++k) d[names[k]] = array(columns[k]);
    return d;
  });

  m.def("spread", [](const std::vector<double>& values) {
    if (values.empty()) throw py::value_error("no values");
    const Spread s = spreadOf(values);
    return py::make_tuple(s.mean, s.sd, s.p05, s.p50, s.p95);
  });
}

}  // namespace fb
