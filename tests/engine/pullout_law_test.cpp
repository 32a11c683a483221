#include "engine/pullout_law.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "engine/class_pass_batch.h"
#include "engine/inputs.h"

namespace {

fb::ParameterSet defaults() { return fb::readParameterSet(fb::FieldTexts::defaults()).params; }

TEST(PulloutLaw, inclination_snubs_the_loads_and_lowers_the_rupture_load) {
  const fb::ParameterSet p = defaults();
  const fb::PulloutFiber f = fb::pulloutFiber(p, 6.0f, 1.0);
  EXPECT_NEAR(f.points.Pa, 1.6487, 1e-4);
  EXPECT_NEAR(f.points.Pmax, 4.9462, 1e-4);
  EXPECT_EQ(f.points.deltaA, 0.2f);  // fd = 0: widths unchanged
  EXPECT_EQ(f.points.deltaMax, 0.5f);
  EXPECT_NEAR(f.ruptureLoad, 3.3107, 1e-4);

  // It ruptures on the second line, at the first width above about 0.3512 mm.
  EXPECT_TRUE(fb::pulloutLoad(f, 0.3511).active);
  EXPECT_EQ(fb::pulloutLoad(p, 6.0f, 1.0, 0.3511), fb::pulloutLoad(f, 0.3511).load);
  const fb::FiberLoad broken = fb::pulloutLoad(f, 0.3513);
  EXPECT_FALSE(broken.active);
  EXPECT_EQ(broken.load, 0.0);

  // Length terms alone: at lb 5 mm and psi 2 ln 2, fp1 0.1 doubles the loads and fd1 0.2 quadruples the widths.
  fb::ParameterSet lengths = p;
  lengths.fp0 = lengths.fd0 = 0;
  lengths.fp1 = 0.1f;
  lengths.fd1 = 0.2f;
  const fb::PulloutPoints pt = fb::pulloutPoints(lengths, 5.0f, 2 * std::log(2.0));
  EXPECT_NEAR(pt.Pa, 2, 1e-6);
  EXPECT_NEAR(pt.Pmax, 6, 1e-6);
  EXPECT_NEAR(pt.deltaA, 0.8, 1e-6);
  EXPECT_NEAR(pt.deltaMax, 2, 1e-6);
}

TEST(PulloutLaw, a_zero_exponent_gives_one_even_at_zero_length) {
  fb::ParameterSet p = defaults();
  EXPECT_EQ(fb::pulloutPoints(p, 0.0f, 0.0).Pa, 1.0f);
  p.Ba = 0.5;
  p.Aa = 2;
  EXPECT_EQ(fb::pulloutPoints(p, 4.0f, 0.0).Pa, 4.0f);
}

TEST(PulloutLaw, ruptures_only_strictly_above_the_rupture_load) {
  fb::PulloutFiber f = fb::pulloutFiber(defaults(), 6.0f, 0.0);
  f.ruptureLoad = fb::pulloutLoad(f, 0.25).load;
  EXPECT_TRUE(fb::pulloutLoad(f, 0.25).active);
  f.ruptureLoad = std::nextafter(f.ruptureLoad, 0.0);
  EXPECT_FALSE(fb::pulloutLoad(f, 0.25).active);
}

// The class pass over one class that holds `f`, with unit weights, so that
// each step's force sum is the fiber's load and its count whether it stays.
struct PassCurve {
  std::vector<double> loads, stays;
};

PassCurve classPass(fb::detail::PassBatchFunction pass, const fb::PulloutFiber& f, const std::vector<double>& slips,
                    bool fresh) {
  fb::ClassLaw law{f.lb,        f.points.Pa, f.points.deltaA, f.points.Pmax, f.points.deltaMax,
                   f.slopes.kA, f.slopes.kB, f.slopes.kC};
  const fb::PairWeights pair{1, 1, 1, f.ruptureLoad};
  fb::CrossingClass c{0, 0};
  const fb::detail::PassTables tables{&c, &law, &pair, 1.0};
  PassCurve out;
  std::size_t classes = 1;
  for (std::size_t first = 0; first < slips.size(); first += fb::kStepBatch) {
    double widths[fb::kStepBatch];
    for (int l = 0; l < fb::kStepBatch; ++l) widths[l] = slips[std::min(first + l, slips.size() - 1)];
    fb::detail::PassState state;
    pass(tables, 0, fresh ? 1 : classes, widths, state);
    classes = state.kept;
    for (int l = 0; l < fb::kStepBatch && first + l < slips.size(); ++l) {
      out.loads.push_back(state.P[l]);
      out.stays.push_back(state.count[l]);
    }
  }
  return out;
}

fb::ParameterSet lawWith(double Aa, double Ba, double Ca, double Da, double A, double B, double C, double D) {
  fb::FieldTexts t = fb::FieldTexts::defaults();
  t[fb::Field::fp0] = "0.6";
  t[fb::Field::fp1] = "0.05";
  t[fb::Field::fd0] = "0.2";
  t[fb::Field::fd1] = "-0.02";
  t[fb::Field::strengthReduction] = "0.4";
  t[fb::Field::ruptureStrength] = "1600";
  t[fb::Field::Af] = "0.0012566";
  fb::ParameterSet p = fb::readParameterSet(t).params;
  p.Aa = Aa, p.Ba = Ba, p.Ca = Ca, p.Da = Da, p.A = A, p.B = B, p.C = C, p.D = D;
  return p;
}

// Over embedded lengths from below the first point's width to the longest,
// inclinations from 0 to 86 degrees and slips past pull-out (every corner of
// the law among them), the scalar law is the class pass, bit for bit: alone at
// each slip, and along a pullout test, where a fiber that leaves stays out.
TEST(PulloutLaw, is_the_class_pass_bit_for_bit_over_lengths_inclinations_and_slips) {
  const fb::ParameterSet laws[] = {
      lawWith(1.2, 0.4, 0.01, 0.05, 2.5, 0.6, 0.02, 0.3),  // ruptures on long and inclined fibers
      lawWith(1.0, 0.0, 0.0, 0.4, 3.0, 0.2, 0.0, 0.2),     // the first point beyond the peak
  };
  std::vector<fb::detail::PassBatchFunction> passes{fb::detail::passBatchPortable};
  if (fb::detail::widestPassBatch() != fb::detail::passBatchPortable) passes.push_back(fb::detail::widestPassBatch());
  int ruptured = 0, pulledOut = 0;
  for (const fb::ParameterSet& p : laws) {
    for (float lb : {0.03f, 0.3f, 1.0f, 2.5f, 4.0f, 6.0f}) {
      for (double psi : {0.0, 0.3, 0.7, 1.2, 1.5}) {
        const fb::PulloutFiber f = fb::pulloutFiber(p, lb, psi);
        std::vector<double> slips{f.points.deltaA, f.points.deltaMax, f.lb,
                                  std::nextafter(double(f.points.deltaA), 9.0)};
        for (int i = 0; i <= 40; ++i) slips.push_back(1.05 * lb * i / 40);
        std::sort(slips.begin(), slips.end());
        std::vector<double> curve(slips.size());
        fb::pulloutCurve(f, slips, curve);
        for (const auto pass : passes) {
          const PassCurve along = classPass(pass, f, slips, false);
          for (std::size_t i = 0; i < slips.size(); ++i) {
            SCOPED_TRACE(testing::Message() << "lb " << lb << " psi " << psi << " slip " << slips[i]);
            EXPECT_EQ(curve[i], along.loads[i]);
            const std::vector<double> alone(fb::kStepBatch, slips[i]);
            const PassCurve once = classPass(pass, f, alone, true);
            const fb::FiberLoad load = fb::pulloutLoad(f, slips[i]);
            EXPECT_EQ(load.load, once.loads[0]);
            EXPECT_EQ(load.active ? 1.0 : 0.0, once.stays[0]);
          }
        }
        bool breaks = false;
        for (double slip : slips) breaks = breaks || (slip < f.lb && !fb::pulloutLoad(f, slip).active);
        ++(breaks ? ruptured : pulledOut);
      }
    }
  }
  // The grid holds both ways of leaving.
  EXPECT_GT(ruptured, 5);
  EXPECT_GT(pulledOut, 5);
}

}  // namespace
