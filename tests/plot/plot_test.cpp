#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <optional>
#include <set>
#include <sstream>

#include "output/result_graphs.h"
#include "plot/figure.h"
#include "plot/fit_figure.h"
#include "tests/support/cli_folder.h"
#include "tests/support/svg_figures.h"

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

// The width and height in a PNG's header; none when the bytes are no PNG.
std::optional<std::pair<unsigned, unsigned>> pngSize(const std::string& bytes) {
  if (bytes.size() < 24 || bytes.substr(0, 8) != "\x89PNG\r\n\x1a\n" || bytes.substr(12, 4) != "IHDR") return {};
  const auto be32 = [&](std::size_t at) {
    unsigned v = 0;
    for (std::size_t i = at; i < at + 4; ++i) v = v << 8 | static_cast<unsigned char>(bytes[i]);
    return v;
  };
  return std::pair{be32(16), be32(20)};
}

TEST(Figure, draws_every_run_and_the_measured_points_into_well_formed_svg) {
  Drawn a, b;
  draw(a, 12, 7.6, 2);
  draw(b, 16, 10, 3);
  fb::Figure figure{{{"kxy=0.5", &a.stress, &a.ratio}, {"odd <&\xff label", &b.stress, &b.ratio}},
                    {{1, 1.5}, {2, 1}, {50, 1}}};
  const std::string svg = fbtest::svgFigure(figure);
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
  // Two measured points inside the panel and one in the legend, four sides each;
  // the point at 50 mm widens the panel instead of being lost.
  EXPECT_NE(svg.find(">50</text>"), std::string::npos);
  EXPECT_GT(fb::figureSize(figure).width, fb::kPlainFigureSize.width);
}

// The texts a figure writes, with where they stand.
class TextCanvas : public fb::Canvas {
 public:
  /// The heights (pixels from the top) at which `text` was written.
  std::vector<float> heightsOf(const std::string& text) const {
    std::vector<float> heights;
    for (const auto& [y, written] : texts_)
      if (written == text) heights.push_back(y);
    return heights;
  }

 protected:
  void drawClear() override { texts_.clear(); }
  void drawPoint(float, float, fb::Rgb) override {}
  void drawLine(float, float, float, float, fb::Rgb) override {}
  void drawText(float, float y, std::string_view text, fb::Rgb, float) override { texts_.emplace_back(y, text); }

 private:
  std::vector<std::pair<float, std::string>> texts_;
};

TEST(Figure, each_panel_names_its_quantity_and_unit_above_it_and_the_crack_width_below_it) {
  Drawn a;
  draw(a, 12, 7.6, 2);
  TextCanvas canvas;
  fb::drawFigure({{{"computed", &a.stress, &a.ratio}}, {}}, canvas);
  const auto stress = canvas.heightsOf("Bridging stress σ (MPa)");
  const auto ratio = canvas.heightsOf("Effective fiber ratio (0 to 1)");
  const auto width = canvas.heightsOf("Crack width Wcr (mm)");
  ASSERT_EQ(stress.size(), 1u);
  ASSERT_EQ(ratio.size(), 1u);
  ASSERT_EQ(width.size(), 2u);
  // From the top: the stress panel between its captions, then the ratio panel between its own.
  EXPECT_LT(stress[0], width[0]);
  EXPECT_LT(width[0], ratio[0]);
  EXPECT_LT(ratio[0], width[1]);

  // A run's beam goes in a third panel below them, which makes the figure taller.
  fb::Figure withBeam{{{"computed", &a.stress, &a.ratio}}, {}};
  withBeam.beam = {{0, 0}, {0.02, 12}, {0.5, 9}, {4, 2}};
  TextCanvas beamCanvas;
  fb::drawFigure(withBeam, beamCanvas);
  const auto beam = beamCanvas.heightsOf("Notched beam (EN 14651): load F (kN)");
  const auto cmod = beamCanvas.heightsOf("Crack mouth opening CMOD (mm)");
  ASSERT_EQ(beam.size(), 1u);
  ASSERT_EQ(cmod.size(), 1u);
  EXPECT_LT(width[1], beam[0]);
  EXPECT_LT(beam[0], cmod[0]);
  EXPECT_LT(cmod[0], fb::figureSize(withBeam).height);
  EXPECT_GT(fb::figureSize(withBeam).height, fb::figureSize({{{"computed", &a.stress, &a.ratio}}, {}}).height);
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
  EXPECT_EQ(pngSize(fbtest::readFile(at("b.png"))),
            std::pair(unsigned(fb::kPlainFigureSize.width), unsigned(fb::kPlainFigureSize.height)));
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

  // Broken modules are refused before the loader maps them: a cut-off one
  // would otherwise end the process with a bus error.
  std::filesystem::create_directories(moduleDir);
  const std::string real = fbtest::readFile(FIBERBRIDGE_PNG_MODULE);
  ASSERT_GT(real.size(), 4096u);
  const auto patched = [&real](std::size_t at, std::string bytes) {
    return std::string(real).replace(at, bytes.size(), bytes);
  };
  const struct {
    std::string module;
    const char* reason;
  } broken[] = {
      {"not a shared object\n", "it is not an ELF shared library"},
      {real.substr(0, real.size() / 2), "it is cut short: "},
      {real.substr(0, real.size() - 1), "it is cut short: "},
      {real.substr(0, 40), "it is cut short: 40 bytes"},
      {patched(4, std::string(1, real[4] == '\2' ? '\1' : '\2')),
       real[4] == '\2' ? "it is a 32-bit library; this program is 64-bit"
                       : "it is a 64-bit library; this program is 32-bit"},
      {patched(18, "\x7f\x7f"), "it is built for another machine (ELF machine 32639"},
      {patched(16, "\x02\x02"), "it is not a shared library (ELF type 514)"},
  };
  for (const auto& b : broken) {
    fbtest::writeFile(moduleDir / "fiberbridge-png.so", b.module);
    o = run({"-o", "b.p-d", "--division", "3", "--plot", "b.png"}, "", cli);
    EXPECT_EQ(o.status, 1) << b.reason;
    EXPECT_NE(o.err.find("b.png: the PNG module "), std::string::npos) << o.err;
    EXPECT_NE(o.err.find("fiberbridge-png.so cannot be loaded (" + std::string(b.reason)), std::string::npos) << o.err;
    EXPECT_FALSE(std::filesystem::exists(at("b.png")));
  }

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

// The fit figure's polylines, read off the SVG.
struct SvgPolyline {
  std::string colour;
  std::vector<std::pair<double, double>> points;
  std::size_t at = 0;  // where it starts in the document
};

// Read without std::regex, whose recursion a long points list overflows.
std::vector<SvgPolyline> polylines(const std::string& svg) {
  static const std::string kStart = "<polyline fill=\"none\" stroke=\"", kPoints = "\" points=\"";
  std::vector<SvgPolyline> out;
  for (std::size_t at = svg.find(kStart); at != std::string::npos; at = svg.find(kStart, at + 1)) {
    const std::size_t colour = at + kStart.size(), points = svg.find(kPoints, colour) + kPoints.size();
    SvgPolyline p{svg.substr(colour, 7), {}, at};
    std::istringstream in(svg.substr(points, svg.find('"', points) - points));
    for (double x, y; in >> x && in.ignore(1) && in >> y;) p.points.emplace_back(x, y);
    out.push_back(std::move(p));
  }
  return out;
}

// The panels' frames, the stress panel's first: left, top, right, bottom.
std::vector<std::array<double, 4>> frames(const std::string& svg) {
  std::vector<std::array<double, 4>> out;
  for (const SvgPolyline& p : polylines(svg))
    if (p.colour == "#404040" && p.points.size() == 5)
      out.push_back({p.points[0].first, p.points[0].second, p.points[2].first, p.points[2].second});
  return out;
}

// The tick labels by axis, as (value, pixel) in increasing value.
struct Axes {
  std::vector<std::pair<double, double>> width, stress, residual;
};

// The value of `name="..."` within one element's text.
std::string attribute(std::string_view element, std::string_view name) {
  const std::string key = " " + std::string(name) + "=\"";
  const std::size_t at = element.find(key);
  if (at == std::string_view::npos) return {};
  const std::size_t begin = at + key.size();
  return std::string(element.substr(begin, element.find('"', begin) - begin));
}

Axes axes(const std::string& svg) {
  const std::size_t caption = svg.find(">Residual σ fitted − measured (MPa)<");
  const double residualTop = caption == std::string::npos ? 0 : std::stod(svg.substr(svg.rfind(" y=\"", caption) + 4));
  Axes a;
  for (std::size_t at = svg.find("<text "); at != std::string::npos; at = svg.find("<text ", at + 1)) {
    const std::size_t close = svg.find('>', at), end = svg.find("</text>", at);
    if (close == std::string::npos || end == std::string::npos) break;
    const std::string_view element(svg.data() + at, close - at);
    const std::string text = svg.substr(close + 1, end - close - 1), anchor = attribute(element, "text-anchor");
    char* rest = nullptr;
    const double v = std::strtod(text.c_str(), &rest);
    if (text.empty() || *rest != '\0') continue;
    if (anchor == "middle") a.width.emplace_back(v, std::stod(attribute(element, "x")));
    const double y = std::stod(attribute(element, "y"));
    if (anchor == "end") (y < residualTop ? a.stress : a.residual).emplace_back(v, y - 4);
  }
  for (auto* labels : {&a.width, &a.stress, &a.residual}) std::sort(labels->begin(), labels->end());
  return a;
}

// The pixel of `value` on a linear axis, read off its first and last label.
double pixelOf(const std::vector<std::pair<double, double>>& labels, double value) {
  const auto [v0, p0] = labels.front();
  const auto [v1, p1] = labels.back();
  return p0 + (value - v0) / (v1 - v0) * (p1 - p0);
}

// A PVA-like law peaking at 0.05 mm, computed out to 6 mm.
fb::SpecimenFitCurves pvaLike() {
  fb::SpecimenFitCurves s;
  const auto law = [](double w) { return w < 0.05 ? 26 * w : 1.3 * std::exp(-(w - 0.05) * 4); };
  for (double w : {0.0, 0.002, 0.01, 0.03, 0.05, 0.08, 0.12, 0.2, 0.3, 0.4}) s.measured.push_back({w, law(w) * 0.97});
  for (int i = 0; i <= 120; ++i) {
    const double w = i < 20 ? i * 0.005 : 0.1 + (i - 20) * 0.059;
    s.fitted.push_back({w, law(w)});
    s.bandLow.push_back({w, law(w) - 0.1});
    s.bandHigh.push_back({w, law(w) + 0.15});
    s.start.push_back({w, 0.7 * law(w)});
  }
  s.fitted.push_back({3, 5});  // far out, past the measured widths
  for (const fb::MeasuredPoint& m : s.measured) s.residuals.push_back({m.Wcr, law(m.Wcr) - m.sigma});
  s.residuals.back().sigma = -0.12;
  return s;
}

TEST(FitFigure, axes_fit_the_measured_data_with_a_symmetric_residual_panel) {
  const std::string svg = fbtest::svgFitFigure({{pvaLike()}});
  const Axes a = axes(svg);
  ASSERT_GE(a.stress.size(), 3u);
  ASSERT_GE(a.residual.size(), 3u);
  ASSERT_GE(a.width.size(), 3u);
  // The top stress tick is near the 1.3 MPa peak, not the fitted law's 5 MPa far out.
  EXPECT_GE(a.stress.back().first, 1.2);
  EXPECT_LE(a.stress.back().first, 1.4);
  EXPECT_EQ(a.width.front().first, 0);
  EXPECT_GE(a.width.back().first, 0.35);
  EXPECT_LE(a.width.back().first, 0.45);
  EXPECT_EQ(a.residual.front().first, -a.residual.back().first);
  EXPECT_GE(a.residual.back().first, 0.1);
  EXPECT_LE(a.residual.back().first, 0.15);

  const auto panels = frames(svg);
  ASSERT_EQ(panels.size(), 2u);
  const auto [left, top, right, bottom] = panels[0];
  const double zero = pixelOf(a.residual, 0);
  bool zeroLine = false;
  for (const SvgPolyline& p : polylines(svg)) {
    zeroLine = zeroLine || (p.colour == "#808080" && std::abs(p.points.front().second - zero) < 0.6 &&
                            std::abs(p.points.back().second - zero) < 0.6);
    if (p.colour != "#1f77b4" || p.points.front().first > 900) continue;  // the fitted law, not its legend sample
    for (const auto& [x, y] : p.points)
      EXPECT_TRUE(x >= left - 0.5 && x <= right + 0.5 && y >= top - 0.5 && y <= bottom + 0.5) << x << "," << y;
  }
  EXPECT_TRUE(zeroLine);
  EXPECT_NE(svg.find(">Crack width Wcr (mm)</text>"), std::string::npos);
  EXPECT_NE(svg.find(">95 % band</text>"), std::string::npos);
}

TEST(FitFigure, pullout_and_beam_tests_get_panels_of_load_below_the_bridging_panels_or_alone) {
  fb::PulloutFitCurves test{
      "lb 3 mm, angle 30°", {{0, 0, 0}, {0.2, 1.1, 0}, {2, 0.5, 0}}, {{0, 0, 0}, {0.3, 1.2, 0}, {3, 0, 0}}};
  fb::FitFigure joint{{pvaLike()}};
  joint.pullouts = {test, test};
  const std::string svg = fbtest::svgFitFigure(joint);
  EXPECT_EQ(frames(svg).size(), 3u);
  EXPECT_NE(svg.find(">Pullout load P (N)</text>"), std::string::npos);
  EXPECT_NE(svg.find(">Slip δ (mm)</text>"), std::string::npos);
  EXPECT_NE(svg.find(">pullout lb 3 mm, angle 30°</text>"), std::string::npos);
  EXPECT_GT(fb::fitFigureSize(joint).height, fb::fitFigureSize({{pvaLike()}}).height);

  // Beam tests get a panel of load against CMOD below the pullout tests'.
  joint.beams = {{"beam.csv", {{0.05, 12, 0, 0}, {2, 4, 0, 0}}, {{0, 0}, {0.03, 13}, {2.1, 3.9}}}};
  const std::string four = fbtest::svgFitFigure(joint);
  auto stacked = frames(four);
  ASSERT_EQ(stacked.size(), 4u);
  std::sort(stacked.begin(), stacked.end(), [](const auto& a, const auto& b) { return a[1] < b[1]; });
  for (std::size_t i = 1; i < stacked.size(); ++i) EXPECT_GT(stacked[i][1], stacked[i - 1][3]);  // none overlaps
  EXPECT_NE(four.find(">Beam load F (kN)</text>"), std::string::npos);
  EXPECT_NE(four.find(">Crack mouth opening CMOD (mm)</text>"), std::string::npos);
  EXPECT_NE(four.find(">beam beam.csv</text>"), std::string::npos);

  const fb::FitFigure alone{{}, false, {test}};
  const std::string single = fbtest::svgFitFigure(alone);
  const auto panels = frames(single);
  ASSERT_EQ(panels.size(), 1u);
  EXPECT_EQ(single.find("Bridging stress"), std::string::npos);
  // Every fitted segment lies inside the panel, the highest load below its top.
  const auto [left, top, right, bottom] = panels[0];
  int inside = 0;
  for (const SvgPolyline& p : polylines(single))
    for (const auto& [x, y] : p.points)
      if (x >= left - 0.5 && x <= right + 0.5) inside += y >= top - 0.5 && y <= bottom + 0.5;
  EXPECT_GT(inside, 3);
}

TEST(FitFigure, the_band_shading_lies_between_its_edges_and_under_the_fitted_law) {
  const fb::SpecimenFitCurves s = pvaLike();
  const std::string svg = fbtest::svgFitFigure({{s}});
  const Axes a = axes(svg);
  const std::vector<SvgPolyline> lines = polylines(svg);
  std::map<std::string, std::size_t> points;  // the shading has the most
  for (const SvgPolyline& p : lines) points[p.colour] += p.points.size();
  const std::string shade =
      std::max_element(points.begin(), points.end(), [](auto& l, auto& r) { return l.second < r.second; })->first;

  const auto panels = frames(svg);
  ASSERT_EQ(panels.size(), 2u);
  const double left = pixelOf(a.width, 0), right = panels[0][2];
  std::set<double> columns;
  std::size_t firstShade = svg.size(), firstFitted = svg.size();
  for (const SvgPolyline& p : lines) {
    if (p.colour == "#1f77b4") firstFitted = std::min(firstFitted, p.at);
    if (p.colour != shade || p.points.front().first > 900) continue;
    firstShade = std::min(firstShade, p.at);
    for (const auto& [x, y] : p.points) {
      columns.insert(x);
      ASSERT_TRUE(x >= left - 0.5 && x <= right + 0.5) << x;
      // The band's edges at this column, through the labels' mapping.
      const double w = std::max(0.0, (x - left) / (pixelOf(a.width, 1) - left));
      const auto edgeAt = [&](const std::vector<fb::CurvePoint>& edge) {
        const auto hi = std::upper_bound(edge.begin(), edge.end() - 1, w, [](double v, auto& p) { return v < p.Wcr; });
        const auto lo = hi - 1;
        return pixelOf(a.stress, lo->sigma + (w - lo->Wcr) / (hi->Wcr - lo->Wcr) * (hi->sigma - lo->sigma));
      };
      EXPECT_LE(y, edgeAt(s.bandLow) + 1.5) << x;
      EXPECT_GE(y, edgeAt(s.bandHigh) - 1.5) << x;
    }
  }
  EXPECT_GT(double(columns.size()), 0.45 * (right - left));  // a column per pixel or two, out to the panel's edge
  EXPECT_LT(firstShade, firstFitted);
}

TEST(FitFigure, odd_data_gives_sane_axes_and_no_number_that_is_none) {
  const double nan = std::nan(""), inf = HUGE_VAL;
  fb::SpecimenFitCurves odd;
  odd.measured = {{0, 0}, {0.002, 0.5}, {nan, 1}, {0.01, inf}, {0.03, 1.1}, {inf, 1}};
  odd.fitted = {{0, 0}, {0.002, 0.6}, {0.01, nan}, {0.03, 1}, {-1, 2}};
  odd.bandLow = {{0, 0}, {0.002, nan}, {0.03, 0.9}};
  odd.bandHigh = {{0, 0}, {0.002, 0.7}};
  odd.residuals = {{0.002, nan}, {0.03, -inf}, {0, 0.3}};
  const fb::SpecimenFitCurves single{"single point", {{0.05, 1.2}}, {}, {{0.05, 1.2}}, {}, {}, {{0.05, 0}}};
  const fb::SpecimenFitCurves flat{"", {{0.1, 0}, {0.2, 0}}, {}, {}, {}, {}, {}};
  const struct {
    std::string name;
    fb::FitFigure figure;
  } cases[] = {
      {"log", {{odd, single}, true}}, {"linear", {{odd}, false}}, {"single", {{single}, true}},
      {"flat", {{flat}, false}},      {"empty", {{}, true}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string svg = fbtest::svgFitFigure(c.figure);
    const Axes a = axes(svg);
    EXPECT_GE(a.stress.size(), 2u);
    EXPECT_GE(a.residual.size(), 2u);
    ASSERT_GE(a.width.size(), 2u);
    if (c.figure.logWidth) {
      EXPECT_NE(svg.find(">Crack width Wcr (mm, logarithmic)</text>"), std::string::npos);
      for (const auto& [v, x] : a.width) {
        const double mantissa = std::round(v / std::pow(10, std::floor(std::log10(v) + 1e-9)) * 1e6) / 1e6;
        EXPECT_TRUE(mantissa == 1 || mantissa == 2 || mantissa == 5) << v;
      }
    }
    if (c.name == "log") {  // a little below the smallest positive measured width
      EXPECT_EQ(a.width.front().first, 0.002);
      const auto [left, top, right, bottom] = frames(svg).at(0);
      EXPECT_LT(a.width.front().second - left, (right - left) * 0.1);
    }
    std::transform(svg.begin(), svg.end(), svg.begin(), [](unsigned char ch) { return std::tolower(ch); });
    EXPECT_EQ(svg.find("nan"), std::string::npos);
    EXPECT_EQ(svg.find("inf"), std::string::npos);
  }
}

using FitFigureFile = fbtest::CliFolder;

TEST_F(FitFigureFile, writes_svg_or_png_by_the_extension) {
  const fb::FitFigure figure{{pvaLike()}, true};
  EXPECT_TRUE(fb::writeFitFigure(at("fit.svg").string(), figure));
  EXPECT_EQ(fbtest::readFile(at("fit.svg")), fbtest::svgFitFigure(figure));
  const fb::Expected<void> pdf = fb::writeFitFigure(at("fit.pdf").string(), figure);
  ASSERT_FALSE(pdf);
  EXPECT_NE(pdf.error().find("fit.pdf: a plot file must end in .svg or .png"), std::string::npos);

  const fb::Expected<void> png = fb::writeFitFigure(at("fit.png").string(), figure);
#ifndef FIBERBRIDGE_PNG_MODULE_RELDIR
  GTEST_SKIP() << (png ? "" : png.error());
#endif
  ASSERT_TRUE(png) << png.error();
  const fb::FigureSize size = fb::fitFigureSize(figure);
  EXPECT_EQ(pngSize(fbtest::readFile(at("fit.png"))), std::pair(unsigned(size.width), unsigned(size.height)));
}

}  // namespace
