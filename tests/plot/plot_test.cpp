#include <gtest/gtest.h>

#include <map>

#include "output/result_graphs.h"
#include "plot/figure.h"
#include "tests/support/cli_folder.h"

#ifdef FB_TEST_HAVE_QT_XML
#include <QXmlStreamReader>
#endif

namespace {

struct Drawn {
  fb::RecordingCanvas stress, ratio;
};

// The graphs of a hand-made run, drawn by the window's graph code.
void draw(Drawn& d, float Lf, double stressScale, double peak) {
  fb::prepareGraphs(d.stress, d.ratio, {-Lf / 40, Lf / 2 * 1.05, stressScale}, nullptr);
  for (std::int16_t s = 0; s <= 6; ++s)
    fb::plotStep(d.stress, d.ratio, {s, s * Lf / 12, 0, peak * s * (6 - s) / 9, 0.4 - s * 0.05});
}

// Element counts of a well-formed document, or the parser's complaint.
std::map<std::string, int> elements(const std::string& svg, std::string* error) {
  std::map<std::string, int> count;
#ifdef FB_TEST_HAVE_QT_XML
  QXmlStreamReader xml(QByteArray::fromStdString(svg));
  while (!xml.atEnd())
    if (xml.readNext() == QXmlStreamReader::StartElement) ++count[xml.name().toString().toStdString()];
  if (xml.hasError()) *error = xml.errorString().toStdString();
#else
  (void)svg;
  (void)error;
#endif
  return count;
}

TEST(Figure, draws_every_run_and_the_measured_points_into_well_formed_svg) {
  Drawn a, b;
  draw(a, 12, 7.6, 2);
  draw(b, 16, 10, 3);
  fb::Figure figure{{{"kxy=0.5", &a.stress, &a.ratio}, {"odd <&\xff label", &b.stress, &b.ratio}},
                    {{1, 1.5}, {2, 1}, {50, 1}}};
  const std::string svg = fb::svgFigure(figure);
  ASSERT_EQ(svg.rfind("<svg xmlns=\"http://www.w3.org/2000/svg\"", 0), 0u);
  std::string error;
  const auto count = elements(svg, &error);
#ifndef FB_TEST_HAVE_QT_XML
  GTEST_SKIP() << "no XML parser in this build";
#endif
  ASSERT_TRUE(error.empty()) << error;
  // Per run one stress and one ratio curve in its legend colour (blue, orange).
  EXPECT_NE(svg.find("stroke=\"#1f77b4\""), std::string::npos);
  EXPECT_NE(svg.find("stroke=\"#ff7f0e\""), std::string::npos);
  EXPECT_EQ(count.at("circle"), 4);  // each curve's first point
  EXPECT_NE(svg.find(">kxy=0.5</text>"), std::string::npos);
  EXPECT_NE(svg.find(">odd &lt;&amp;? label</text>"), std::string::npos);
  EXPECT_NE(svg.find(">Bridging stress σ (MPa)</text>"), std::string::npos);
  EXPECT_NE(svg.find(">Crack width Wcr (mm)</text>"), std::string::npos);
  // Two measured points inside the panel and one in the legend, four sides each;
  // the point at 50 mm widens the panel instead of being lost.
  EXPECT_NE(svg.find(">50</text>"), std::string::npos);
  EXPECT_GT(fb::figureSize(figure).width, fb::kPlainFigureSize.width);
}

using PlotFile = fbtest::CliFolder;

TEST_F(PlotFile, a_run_writes_svg_and_png_of_the_expected_size) {
  ASSERT_EQ(run({"-o", "a.p-d", "--division", "3", "--plot", "a.svg"}).status, 0);
  const std::string svg = fbtest::readFile(at("a.svg"));
  EXPECT_EQ(svg.rfind("<svg", 0), 0u);
  std::string error;
  const auto count = elements(svg, &error);
  EXPECT_TRUE(error.empty()) << error;
  EXPECT_NE(svg.find("stroke=\"#0000ff\""), std::string::npos);  // the window's stress colour
  EXPECT_NE(svg.find("stroke=\"#0a460a\""), std::string::npos);  // and its fiber-ratio colour

  const fbtest::Outcome png = run({"-o", "b.p-d", "--division", "3", "--plot", "b.png"});
  if (png.status == 2 && png.err.find("without Qt") != std::string::npos) GTEST_SKIP() << png.err;
  ASSERT_EQ(png.status, 0) << png.err;
  EXPECT_TRUE(png.err.empty()) << png.err;
  const std::string bytes = fbtest::readFile(at("b.png"));
  ASSERT_GT(bytes.size(), 24u);
  EXPECT_EQ(bytes.substr(0, 8), "\x89PNG\r\n\x1a\n");
  const auto be32 = [&](std::size_t at) {
    return (unsigned(static_cast<unsigned char>(bytes[at])) << 24) |
           (unsigned(static_cast<unsigned char>(bytes[at + 1])) << 16) |
           (unsigned(static_cast<unsigned char>(bytes[at + 2])) << 8) |
           unsigned(static_cast<unsigned char>(bytes[at + 3]));
  };
  EXPECT_EQ(bytes.substr(12, 4), "IHDR");
  EXPECT_EQ(be32(16), unsigned(fb::kPlainFigureSize.width));
  EXPECT_EQ(be32(20), unsigned(fb::kPlainFigureSize.height));
}

#ifdef FIBERBRIDGE_PNG_MODULE_RELDIR
// An installed program whose painter module is missing or broken: the PNG is
// refused with the reason, the run's other files are written, SVG still works.
TEST_F(PlotFile, a_missing_or_broken_png_module_fails_the_png_alone) {
  const std::filesystem::path bin = at("bin"), moduleDir = bin / FIBERBRIDGE_PNG_MODULE_RELDIR;
  std::filesystem::create_directories(bin);
  std::filesystem::copy_file(FIBERBRIDGE_CLI, bin / "fiberbridge-cli");
  const std::string cli = (bin / "fiberbridge-cli").string();

  fbtest::Outcome o = run({"-o", "a.p-d", "--division", "3", "--plot", "a.png", "--csv", "a.csv"}, "", cli);
  EXPECT_EQ(o.status, 1);
  EXPECT_NE(o.err.find("a.png: PNG needs the module fiberbridge-png.so, which is not installed"), std::string::npos)
      << o.err;
  EXPECT_TRUE(std::filesystem::exists(at("a.p-d")) && std::filesystem::exists(at("a.csv")));
  EXPECT_FALSE(std::filesystem::exists(at("a.png")));

  std::filesystem::create_directories(moduleDir);
  fbtest::writeFile(moduleDir / "fiberbridge-png.so", "not a shared object\n");
  o = run({"-o", "b.p-d", "--division", "3", "--plot", "b.png"}, "", cli);
  EXPECT_EQ(o.status, 1);
  EXPECT_NE(o.err.find("b.png: the PNG module "), std::string::npos) << o.err;
  EXPECT_NE(o.err.find("cannot be loaded ("), std::string::npos) << o.err;
  EXPECT_FALSE(std::filesystem::exists(at("b.png")));

  o = run({"-o", "c.p-d", "--division", "3", "--plot", "c.svg"}, "", cli);
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(fbtest::readFile(at("c.svg")).rfind("<svg", 0), 0u);
}
#endif

TEST_F(PlotFile, an_unknown_plot_kind_is_a_usage_error_before_anything_is_written) {
  const fbtest::Outcome o = run({"-o", "a.p-d", "--plot", "a.pdf"});
  EXPECT_EQ(o.status, 2);
  EXPECT_NE(o.err.find("a.pdf: a plot file must end in .svg or .png"), std::string::npos) << o.err;
  EXPECT_FALSE(std::filesystem::exists(at("a.p-d")));
}

}  // namespace
