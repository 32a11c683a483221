#include <gtest/gtest.h>

#include <QLabel>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <cstdio>

#include "window_harness.h"

namespace {

using fbtest::control;
using fbtest::WindowUnderTest;

const QColor kWhite(255, 255, 255), kRed(255, 0, 0), kBlack(0, 0, 0);
const QColor kAxis(128, 128, 128), kGrid(200, 200, 200), kBlue(0, 0, 255);

class WindowRun : public ::testing::Test {
 protected:
  QString path(const char* name) const { return dir_.filePath(name); }

  // The command line's file for the default inputs, made once for the suite.
  static QString defaultCliFile() {
    static QTemporaryDir dir;
    static const QString file = dir.filePath("cli-default.p-d");
    static const bool made = fbtest::runCli({}, file);
    EXPECT_TRUE(made) << "fiberbridge-cli did not finish";
    return file;
  }

  QTemporaryDir dir_;
  fbtest::ModalWatchdog watchdog_;
};

std::vector<std::string> resultTexts(WindowUnderTest& w) {
  std::vector<std::string> texts;
  for (const char* name : {"Text18", "Text19", "Text21", "Text22", "Text23"})
    texts.push_back(w.box(name)->text().toStdString());
  return texts;
}

TEST_F(WindowRun, default_run_walks_every_status_and_writes_what_the_command_line_writes) {
  WindowUnderTest w;
  fbtest::StatusLog log(w);
  const auto start = std::chrono::steady_clock::now();
  w.runInto(path("window.p-d"));
  const std::chrono::duration<double, std::milli> total = std::chrono::steady_clock::now() - start;

  EXPECT_EQ(w.window.lastRun().end, fb::RunEnd::finished);
  std::vector<std::string> expected{"Starting...", "Parameter setting...", "Model setting..."};
  for (int i = 0; i <= 100; ++i) expected.push_back("Model setting " + std::to_string(i) + "%");
  for (int n = 0; n <= 60; ++n) expected.push_back("Calculating for Step " + std::to_string(n));
  expected.push_back("Finish");
  EXPECT_EQ(log.texts, expected);
  std::vector<bool> startEnabled(expected.size(), false);
  startEnabled.back() = true;
  EXPECT_EQ(log.startEnabled, startEnabled) << "Start stays disabled until Finish";
  // The command line's peak (step 8), then its last row: Wcr 6 with no fiber left bridging.
  EXPECT_EQ(resultTexts(w), (std::vector<std::string>{"5.1888", "2.0755", "0.00000", "Wcr=6(mm)", "σ=0.000(MPa)"}));
  EXPECT_TRUE(watchdog_.seen().empty());
  fbtest::expectSameDataFile(path("window.p-d"), defaultCliFile(), 6 + 61);

  const std::chrono::duration<double, std::milli> longest = w.window.longestWork;
  std::printf("[ figures  ] Start to Finish %.1f ms, %d yields, longest work between two yields %.2f ms\n",
              total.count(), w.window.yields, longest.count());
  EXPECT_LE(longest.count(), 50.0) << "the window must answer within 50 ms";
}

TEST_F(WindowRun, typed_inputs_reach_the_run) {
  WindowUnderTest w;
  const std::pair<const char*, const char*> typed[] = {
      {"Text20", "31.5"}, {"Text7", "0,5"}, {"Text3", "2 500"}, {"Text10", "2"}, {"Text26", "30"}, {"Text14", "2.5"},
  };
  for (const auto& [name, text] : typed) w.box(name)->setText(text);
  w.runInto(path("typed.p-d"));

  ASSERT_TRUE(fbtest::runCli({"--division", "31.5", "--fp0", "0,5", "--Am", "2 500", "--kxy", "2",
                              "--crackAngleZX", "30", "--A", "2.5"},
                             path("typed-cli.p-d")));
  fbtest::expectSameDataFile(path("typed.p-d"), path("typed-cli.p-d"), 6 + 65);  // 31.5 reads as 32
}

TEST_F(WindowRun, a_data_file_that_cannot_be_written_leaves_start_disabled_until_a_new_name) {
  const std::pair<QString, const char*> cases[] = {{path("no-such-folder/x.p-d"), "(2)"}, {"/dev/full", "(28)"}};
  for (const auto& [file, code] : cases) {
    SCOPED_TRACE(file.toStdString());
    WindowUnderTest w;
    const std::size_t seen = watchdog_.seen().size();
    w.runInto(file);

    EXPECT_EQ(w.window.lastRun().end, fb::RunEnd::openFailed);
    ASSERT_EQ(watchdog_.seen().size(), seen + 1);
    const fbtest::SeenMessage& m = watchdog_.seen().back();
    EXPECT_EQ(m.title, "Error");
    EXPECT_EQ(m.icon, QMessageBox::Warning);
    EXPECT_EQ(m.text.toStdString(),
              std::string("This output data file has been opened by another application. ") + code);
    EXPECT_EQ(w.box("Text1")->text(), "");
    EXPECT_FALSE(w.button("Command1")->isEnabled());
    EXPECT_EQ(resultTexts(w), (std::vector<std::string>{"0", "0", "0", "", ""}));

    w.chosen.clear();  // Cancel still enables Start, and shows the name the run used
    w.button("Command2")->click();
    EXPECT_TRUE(w.button("Command1")->isEnabled());
    EXPECT_EQ(w.box("Text2")->text(), file);
  }
}

TEST_F(WindowRun, a_refused_input_names_its_field_and_puts_the_window_back) {
  WindowUnderTest w;
  w.runInto(path("first.p-d"));
  const auto results = resultTexts(w);
  auto* stress = control<fb::QtCanvas>(w.window, "Picture1");
  auto* ratio = control<fb::QtCanvas>(w.window, "Picture2");
  const QImage stressBefore = stress->image(), ratioBefore = ratio->image();

  const struct {
    const char *box, *text, *says;
  } cases[] = {
      {"Text5", "0", "Af (fiber sectional area) must not be 0"},
      {"Text20", "0", "division"},
      {"Text20", "16384", "division"},
      {"Text3", "1e39", "Am"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.box + std::string(" = ") + c.text);
    const QString before = w.box(c.box)->text();
    w.box(c.box)->setText(c.text);
    const std::size_t seen = watchdog_.seen().size();
    w.button("Command1")->click();

    EXPECT_EQ(w.window.lastRun().end, fb::RunEnd::refused);
    ASSERT_EQ(watchdog_.seen().size(), seen + 1);
    EXPECT_EQ(watchdog_.seen().back().title, "FiberBridge");
    EXPECT_TRUE(watchdog_.seen().back().text.contains(c.says)) << watchdog_.seen().back().text.toStdString();
    EXPECT_EQ(w.window.focusWidget(), w.box(c.box)) << "the cursor goes to the refused field";
    EXPECT_EQ(w.box("Text1")->text(), "Finish");
    EXPECT_EQ(resultTexts(w), results);
    EXPECT_EQ(stress->image(), stressBefore);
    EXPECT_EQ(ratio->image(), ratioBefore);
    EXPECT_TRUE(w.button("Command1")->isEnabled());
    w.box(c.box)->setText(before);
  }
  EXPECT_EQ(fbtest::fileLines(path("first.p-d")).size(), 67u) << "a refused run writes nothing";
}

TEST_F(WindowRun, exit_or_the_close_box_during_a_run_ends_the_program_with_the_rows_so_far) {
  const auto cli = fbtest::fileLines(defaultCliFile());
  for (const bool closeBox : {false, true}) {
    SCOPED_TRACE(closeBox ? "close box" : "Exit");
    WindowUnderTest w;
    w.window.setQuitRequest([] { QCoreApplication::quit(); });
    fbtest::StatusLog log(w);
    log.onStatus = [&](const QString& text) {
      // Queued, so that it arrives through the run's yield as a click would.
      if (text == "Calculating for Step 5")
        QTimer::singleShot(0, &w.window, [&] { closeBox ? (void)w.window.close() : w.button("Command4")->click(); });
    };
    QTimer::singleShot(0, &w.window, [&] { w.runInto(path("stopped.p-d")); });
    QTimer hang;
    QObject::connect(&hang, &QTimer::timeout, [] { QApplication::exit(1); });
    hang.start(20000);
    EXPECT_EQ(QApplication::exec(), 0) << "the program's event loop ends";

    EXPECT_EQ(w.window.lastRun().end, fb::RunEnd::stopped);
    EXPECT_EQ(log.texts.back(), "Calculating for Step 5");
    const auto lines = fbtest::fileLines(path("stopped.p-d"));
    ASSERT_EQ(lines.size(), 6u + 5u) << "the header and steps 0 to 4";
    for (std::size_t i = 1; i < lines.size(); ++i) EXPECT_EQ(lines[i], cli[i]) << "line " << i + 1;
  }
}

TEST_F(WindowRun, data_file_name_during_a_run_clears_the_stress_graph_and_never_enables_start) {
  WindowUnderTest w;
  fbtest::StatusLog log(w);
  log.onStatus = [&](const QString& text) {
    if (text == "Calculating for Step 3")
      QTimer::singleShot(0, &w.window, [&] {
        w.chosen = path("next.p-d").toStdString();
        w.button("Command2")->click();
      });
  };
  w.runInto(path("running.p-d"));

  EXPECT_EQ(w.dialogCalls, 2);
  EXPECT_EQ(w.window.lastRun().end, fb::RunEnd::finished);
  for (std::size_t i = 0; i + 1 < log.startEnabled.size(); ++i) EXPECT_FALSE(log.startEnabled[i]) << log.texts[i];
  EXPECT_TRUE(w.button("Command1")->isEnabled());
  EXPECT_EQ(w.box("Text2")->text(), path("next.p-d"));
  EXPECT_EQ(fbtest::fileLines(path("running.p-d")).size(), 67u) << "the run keeps the file it opened";
  EXPECT_FALSE(QFile::exists(path("next.p-d")));
  // The stress axis went mid-run and only the curve came back; the ratio grid stayed.
  const QImage stress = control<fb::QtCanvas>(w.window, "Picture1")->image();
  const QImage ratio = control<fb::QtCanvas>(w.window, "Picture2")->image();
  EXPECT_EQ(stress.pixelColor(stress.width() - 1, 247), kWhite);
  EXPECT_EQ(ratio.pixelColor(ratio.width() - 1, 0), kGrid);
}

TEST_F(WindowRun, graphs_put_grid_axes_and_curve_where_their_coordinates_say) {
  WindowUnderTest w;
  w.runInto(path("graphs.p-d"));
  auto* stressCanvas = control<fb::QtCanvas>(w.window, "Picture1");
  const QImage stress = stressCanvas->image(), ratio = control<fb::QtCanvas>(w.window, "Picture2")->image();

  // Wcr runs from -0.3 to 6.3 mm: the vertical axes stand 1/22 of the way in.
  const int axisX = static_cast<int>(std::lround(408.0 / 22));
  for (int r = 0; r <= 10; ++r) {
    const int y = (10 - r) * (ratio.height() - 1) / 10;
    EXPECT_EQ(ratio.pixelColor(0, y), kGrid) << "ratio " << r / 10.0;
    EXPECT_EQ(ratio.pixelColor(ratio.width() - 1, y), kGrid) << "ratio " << r / 10.0;
    EXPECT_EQ(ratio.pixelColor(ratio.width() - 1, y + (r > 0 ? 8 : -8)), kWhite) << "between grid rows";
  }
  EXPECT_EQ(ratio.pixelColor(axisX, 85), kAxis);
  // sigma = 0 lies 1/11 of the height above the bottom edge.
  EXPECT_EQ(stress.pixelColor(stress.width() - 1, static_cast<int>(std::lround(272 * 10 / 11.0))), kAxis);
  EXPECT_EQ(stress.pixelColor(axisX, 0), kAxis);
  EXPECT_EQ(stress.pixelColor(axisX, stress.height() - 1), kAxis);

  // The peak row of the data file: step 8, at Wcr 0.26667 mm.
  const auto peak = fbtest::fileLines(path("graphs.p-d"))[6 + 8].simplified().split(' ');
  const double Wcr = peak[1].toDouble(), sigma = peak[3].toDouble();
  const double scale = 6366.1831 * 3 / 2500;  // every fiber at its peak load of 3 N
  const QPoint at(static_cast<int>(std::lround((Wcr + 0.3) / 6.6 * 408)),
                  static_cast<int>(std::lround((scale - sigma) / (1.1 * scale) * 272)));
  EXPECT_EQ(stress.pixelColor(at), kBlue) << at.x() << "," << at.y();
  EXPECT_EQ(stressCanvas->grab().toImage().pixelColor(at), kBlue) << "the screen shows the drawing";
}

TEST(Window, fp1_box_is_checked_each_time_the_focus_leaves_it) {
  WindowUnderTest w;
  w.window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w.window));
  const struct {
    const char *Lf, *fp0, *fp1, *after;
    QColor colour;
  } cases[] = {
      {"12", "0.5", "-0.1", "0", kRed},             // 0.5 - 0.1*6 < 0
      {"12", "0.5", "-0.05", "-0.05", kBlack},      // and a red box turns black again
      {"12", "0.5", "-0.1", "0", kRed},
      {"12", "0.5", "abc", "abc", kBlack},          // letters read as 0
      {"16", "0.5", "-0.0625", "-0.0625", kBlack},  // exactly 0 is kept
  };
  QLineEdit* fp1 = w.box("Text24");
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.Lf) + " " + c.fp0 + " " + c.fp1);
    w.box("Text6")->setText(c.Lf);
    w.box("Text7")->setText(c.fp0);
    fp1->setText(c.fp1);
    fp1->setFocus();
    w.box("Text27")->setFocus();
    EXPECT_EQ(fp1->text(), c.after);
    EXPECT_EQ(fp1->palette().color(QPalette::Text), c.colour);
  }
  fp1->setText("-5");
  w.box("Text7")->setFocus();
  w.box("Text27")->setFocus();
  EXPECT_EQ(fp1->text(), "-5") << "leaving fp0 runs no check";
}

TEST(Window, opens_with_the_layout_in_pixels_and_start_waiting_for_a_file) {
  WindowUnderTest w;
  EXPECT_EQ(w.window.size(), QSize(609, 755));
  EXPECT_EQ(w.window.minimumSize(), w.window.maximumSize()) << "the border is fixed";
  EXPECT_FALSE(w.window.windowFlags() & (Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint));
  EXPECT_EQ(w.window.windowTitle(), "FiberBridge");
  const QPoint offCentre = w.window.frameGeometry().center() - w.window.screen()->geometry().center();
  EXPECT_LE(offCentre.manhattanLength(), 2) << "centred, also when taller than the screen";
  const std::pair<const char*, QRect> places[] = {
      {"Command1", {128, 16, 105, 25}}, {"Picture1", {184, 448, 409, 273}}, {"Text24", {96, 408, 73, 19}},
      {"Image2", {304, 96, 125, 130}},  {"Shape3", {16, 208, 161, 369}},    {"Label22", {16, 728, 577, 17}},
  };
  for (const auto& [name, pixels] : places) EXPECT_EQ(control(w.window, name)->geometry(), pixels) << name;
  for (int i = 1; i <= 40; ++i) EXPECT_NE(w.window.findChild<QLabel*>(QString("Label%1").arg(i)), nullptr) << i;
  // The result boxes lie over the graphs and stay in front of them.
  EXPECT_EQ(w.window.childAt(w.box("Text18")->geometry().center()), w.box("Text18"));
  EXPECT_EQ(w.window.childAt(w.box("Text21")->geometry().center()), w.box("Text21"));

  const std::vector<std::string> order{
      "Command2", "Command1", "Command4", "Text2",  "Text3",  "Text25", "Text4",  "Text5",
      "Text6",    "Text7",    "Text24",   "Text27", "Text28", "Text8",  "Text9",  "Text10",
      "Text11",   "Text12",   "Text13",   "Text29", "Text30", "Text31", "Text32", "Text14",
      "Text15",   "Text16",   "Text17",   "Text20", "Text18", "Text19", "Text21", "Text26",
  };
  std::vector<std::string> walked;
  QWidget* first = control(w.window, "Command2");
  QWidget* it = first;
  do {
    if (it->focusPolicy() & Qt::TabFocus) walked.push_back(it->objectName().toStdString());
    it = it->nextInFocusChain();
  } while (it != first && walked.size() < 100);
  EXPECT_EQ(walked, order);
  EXPECT_EQ(w.window.focusWidget(), first);

  QLineEdit* status = w.box("Text1");
  EXPECT_FALSE(status->isEnabled());
  EXPECT_TRUE(status->font().bold());
  EXPECT_EQ(status->palette().color(QPalette::Disabled, QPalette::Text), kRed);
  EXPECT_EQ(w.box("Text5")->text(), "0.007854");

  EXPECT_FALSE(w.button("Command1")->isEnabled());
  w.button("Command2")->click();  // Cancel on the first use
  EXPECT_EQ(w.box("Text2")->text(), "");
  EXPECT_TRUE(w.button("Command1")->isEnabled());
}

}  // namespace
