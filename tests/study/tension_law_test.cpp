// The composite's tension law and the tables FE codes take, read back.
#include "study/design/tension_law.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "study/design/fe_export.h"
#include "tests/support/cli_folder.h"
#include "tests/support/reason.h"

namespace {

const fb::MatrixTension kMatrix{3.0, 0.1, 30.0};

// Hordijk's curve as published: ft at the opening, nothing from wc = 5.14 Gf/ft
// on, and Gf under it, the fracture energy it stands for.
TEST(TensionLaw, the_matrix_softening_holds_its_strength_its_end_and_its_fracture_energy) {
  const double wc = 5.14 * kMatrix.Gf / kMatrix.ft;
  EXPECT_DOUBLE_EQ(fb::hordijkStress(kMatrix, 0), kMatrix.ft);
  EXPECT_NEAR(fb::hordijkStress(kMatrix, wc * (1 - 1e-9)), 0, 1e-9);
  EXPECT_EQ(fb::hordijkStress(kMatrix, 2 * wc), 0);
  EXPECT_LT(fb::hordijkStress(kMatrix, wc / 4), fb::hordijkStress(kMatrix, wc / 8));  // it only falls
  double area = 0;
  constexpr int kSlices = 200000;
  for (int i = 0; i < kSlices; ++i) area += fb::hordijkStress(kMatrix, wc * (i + 0.5) / kSlices) * wc / kSlices;
  EXPECT_NEAR(area / kMatrix.Gf, 1, 2e-3);
}

TEST(TensionLaw, the_composite_adds_the_matrix_to_the_bridging_stress_at_every_width) {
  const std::vector<fb::StepResult> steps = {{0, 0, 0, 0, 0}, {1, 0.05, 0, 1.0, 0}, {2, 0.5, 0, 2.0, 0}};
  const fb::TensionLaw fibers = fb::compositeLaw(steps, std::nullopt);
  EXPECT_EQ(fibers.w, (std::vector<double>{0, 0.05, 0.5}));
  EXPECT_EQ(fibers.sigma, (std::vector<double>{0, 1.0, 2.0}));
  const fb::TensionLaw law = fb::compositeLaw(steps, kMatrix);
  ASSERT_GT(law.w.size(), 40u);
  EXPECT_EQ(law.w.front(), 0);
  EXPECT_EQ(law.sigma.front(), kMatrix.ft);
  for (std::size_t i = 0; i < law.w.size(); ++i) {
    if (i > 0) {
      EXPECT_LT(law.w[i - 1], law.w[i]);
    }
    const double w = law.w[i];
    const double bridging = w <= 0.05 ? w / 0.05 : w <= 0.5 ? 1 + (w - 0.05) / 0.45 : 0;
    EXPECT_NEAR(law.sigma[i], bridging + fb::hordijkStress(kMatrix, w), 1e-12) << w;
  }
  // A table from elsewhere starts at the crack's opening.
  const fb::TensionLaw table = fb::tabulatedLaw(std::vector<fb::MeasuredPoint>{{0.1, 2.0}, {0.3, 1.0}});
  EXPECT_EQ(table.w, (std::vector<double>{0, 0.1, 0.3}));
  EXPECT_EQ(table.sigma, (std::vector<double>{2.0, 2.0, 1.0}));
}

// A table's numbers after its keyword line: (stress, strain or width) pairs.
std::vector<std::pair<double, double>> pairsAfter(const std::string& text, const std::string& keyword) {
  std::istringstream in(text.substr(text.find(keyword) + keyword.size()));
  std::vector<std::pair<double, double>> pairs;
  for (std::string line; std::getline(in, line);) {
    for (char& c : line)
      if (c == ',') c = ' ';
    std::istringstream values(line);
    double a = 0, b = 0;
    if (values >> a >> b) pairs.emplace_back(a, b);
  }
  return pairs;
}

TEST(TensionLaw, each_export_reads_back_from_the_strength_at_zero_opening_in_rising_widths) {
  const std::vector<fb::StepResult> steps = {{0, 0, 0, 0, 0}, {1, 0.05, 0, 1.0, 0}, {2, 0.5, 0, 2.0, 0}};
  const fb::TensionLaw law = fb::compositeLaw(steps, kMatrix);
  const auto exported = [&](fb::ExportFormat format, std::optional<double> h) {
    const fb::Expected<std::string> text = fb::exportText(format, law, h, kMatrix.Ec);
    EXPECT_TRUE(text) << text.error();
    return text.value_or("");
  };
  const std::string displacement = exported(fb::ExportFormat::abaqus, std::nullopt);
  EXPECT_NE(displacement.find("** units: N, mm, MPa"), std::string::npos);
  const auto rows = pairsAfter(displacement, "*CONCRETE TENSION STIFFENING, TYPE=DISPLACEMENT\n");
  ASSERT_EQ(rows.size(), law.w.size());
  EXPECT_EQ(rows.front(), std::make_pair(kMatrix.ft, 0.0));
  for (std::size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i].first, law.sigma[i]);
    EXPECT_EQ(rows[i].second, law.w[i]);
  }
  const auto strains = pairsAfter(exported(fb::ExportFormat::abaqus, 20.0), "TYPE=STRAIN\n");
  ASSERT_EQ(strains.size(), law.w.size());
  for (std::size_t i = 0; i < strains.size(); ++i) EXPECT_DOUBLE_EQ(strains[i].second, law.w[i] / 20);

  const std::string diana = exported(fb::ExportFormat::diana, 20.0);
  const auto tenval = pairsAfter(diana, "TENVAL\n");
  ASSERT_EQ(tenval.size(), law.w.size() + 1);
  EXPECT_EQ(tenval.front(), std::make_pair(kMatrix.ft, 0.0));
  EXPECT_EQ(tenval.back(), std::make_pair(0.0, 100000.0));  // the far point of no stress
  EXPECT_NE(diana.find("TENSIO 2"), std::string::npos);

  const auto csv = fbtest::lines(exported(fb::ExportFormat::csv, 20.0));
  ASSERT_EQ(csv.size(), 2 + law.w.size());
  EXPECT_EQ(csv[1], "w (mm),sigma (MPa),cracking strain,total strain");
  EXPECT_EQ(csv[2], "0,3,0,1e-04");  // the elastic strain ft/Ec at the opening

  // The fibers alone carry nothing at zero opening: no table of a code begins there.
  const fb::TensionLaw fibers = fb::compositeLaw(steps, std::nullopt);
  EXPECT_NE(fbtest::reasonOf(fb::exportText(fb::ExportFormat::abaqus, fibers, std::nullopt, std::nullopt))
                .find("begins at the tensile strength at zero opening"),
            std::string::npos);
  EXPECT_NE(fbtest::reasonOf(fb::exportText(fb::ExportFormat::diana, law, std::nullopt, std::nullopt))
                .find("give --crack-band"),
            std::string::npos);
  EXPECT_TRUE(fb::exportText(fb::ExportFormat::csv, fibers, std::nullopt, std::nullopt));
  EXPECT_NE(fbtest::reasonOf(fb::parseExport("ansys:x.inp")).find("\"ansys\" is not a format"), std::string::npos);
  EXPECT_NE(fbtest::reasonOf(fb::parseExport("abaqus:")).find("no file name"), std::string::npos);
}

}  // namespace
