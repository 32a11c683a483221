#include <gtest/gtest.h>

#include <QScreen>
#include <QTest>
#include <cmath>

#include "tests/ui/window_harness.h"

namespace {

using namespace fbtest;

const QColor kWhite(255, 255, 255), kRed(255, 0, 0), kBlack(0, 0, 0);
const QColor kAxis(128, 128, 128), kGrid(200, 200, 200), kBlue(0, 0, 255);

class WindowRun : public ::testing::Test {
 protected:
  QString path(const char* name) const { return dir_.filePath(name); }
  QTemporaryDir dir_;
};

TEST_F(WindowRun, default_run_walks_every_status_draws_its_graphs_and_writes_what_the_command_line_writes) {
  WindowUnderTest w;
  w.runInto(path("window.p-d"));

  EXPECT_EQ(w.lastRun().end, fb::RunEnd::finished);
  std::vector<std::string> expected{"Starting...", "Parameter setting...", "Model setting..."};
  for (int i = 0; i <= 100; ++i) expected.push_back("Model setting " + std::to_string(i) + "%");
  for (int n = 0; n <= 60; ++n) expected.push_back("Calculating for Step " + std::to_string(n));
  expected.push_back("Finish");
  EXPECT_EQ(w.statuses, expected);
  w.expectStartOnlyAtTheEnd();
  // The command line's peak (step 8), then its last row: Wcr 6 with no fiber left bridging.
  const std::vector<std::string> results{"5.1888", "2.0755", "0.00000", "Wcr=6(mm)", "σ=0.000(MPa)"};
  EXPECT_EQ(w.results(), results);
  const QByteArrayList lines = fileLines(path("window.p-d"));
  expectSameLines(lines, cliLines({}), 6 + 61);

  // Wcr runs from -0.3 to 6.3 mm: the vertical axes stand 1/22 of the way in.
  const QImage stress = w.graph("Picture1"), ratio = w.graph("Picture2");
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
  // The peak row, step 8, on a scale of every fiber at its peak load of 3 N.
  const QByteArrayList peak = lines[6 + 8].simplified().split(' ');
  const double Wcr = peak[1].toDouble(), sigma = peak[3].toDouble(), scale = 6366.1831 * 3 / 2500;
  const QPoint at(static_cast<int>(std::lround((Wcr + 0.3) / 6.6 * 408)),
                  static_cast<int>(std::lround((scale - sigma) / (1.1 * scale) * 272)));
  EXPECT_EQ(stress.pixelColor(at), kBlue) << at.x() << "," << at.y();
  EXPECT_EQ(w.control("Picture1")->grab().toImage().pixelColor(at), kBlue) << "the screen shows the drawing";

  // A refused input names its field and puts the window back as it was.
  const struct {
    const char *box, *text, *says;
  } refusals[] = {
      {"Text5", "0", "Af (fiber sectional area) must be positive"},
      {"Text3", "-2500", "Am (matrix sectional area) must be positive"},
      {"Text10", "nan", "kxy: \"nan\" reads as 0; kxy (orientation intensity x-y) must be positive"},
      {"Text20", "0", "division"},
      {"Text20", "16384", "division"},
      {"Text3", "1e39", "Am"},
  };
  for (const auto& c : refusals) {
    SCOPED_TRACE(c.box + std::string(" = ") + c.text);
    const QString before = w.box(c.box)->text();
    w.box(c.box)->setText(c.text);
    w.button("Command1")->click();
    EXPECT_EQ(w.lastRun().end, fb::RunEnd::refused);
    const QStringList seen = w.watchdog.take();
    ASSERT_EQ(seen.size(), 1);
    EXPECT_TRUE(seen[0].startsWith(shown("FiberBridge", QMessageBox::Warning, "")) && seen[0].contains(c.says))
        << seen[0].toStdString();
    EXPECT_EQ(w.focusWidget(), w.box(c.box)) << "the cursor goes to the refused field";
    EXPECT_EQ(w.box("Text1")->text(), "Finish");
    EXPECT_EQ(w.results(), results);
    EXPECT_EQ(w.graph("Picture1"), stress);
    EXPECT_EQ(w.graph("Picture2"), ratio);
    EXPECT_TRUE(w.button("Command1")->isEnabled());
    w.box(c.box)->setText(before);
  }
  EXPECT_EQ(fileLines(path("window.p-d")), lines) << "a refused run writes nothing";
}

TEST_F(WindowRun, typed_inputs_reach_the_run_and_data_file_name_during_it_never_enables_start) {
  WindowUnderTest w;
  const std::pair<const char*, const char*> typed[] = {
      {"Text20", "31.5"}, {"Text7", "0,5"}, {"Text3", "2 500"}, {"Text10", "2"}, {"Text26", "30"}, {"Text14", "2.5"},
  };
  for (const auto& [name, text] : typed) w.box(name)->setText(text);
  w.onStatus = [&](const QString& text) {
    if (text == "Calculating for Step 3")
      QTimer::singleShot(0, &w, [&] { w.runInto(path("next.p-d")); });  // a new name; Start is disabled
  };
  w.runInto(path("typed.p-d"));

  expectSameLines(fileLines(path("typed.p-d")),
                  cliLines({"--division", "31.5", "--fp0", "0,5", "--Am", "2 500", "--kxy", "2", "--crackAngleZX", "30",
                            "--A", "2.5"}),
                  6 + 65);  // 31.5 reads as 32
  EXPECT_EQ(w.lastRun().end, fb::RunEnd::finished);
  EXPECT_EQ(w.dialogCalls, 2);
  w.expectStartOnlyAtTheEnd();
  EXPECT_EQ(w.box("Text2")->text(), path("next.p-d"));
  EXPECT_FALSE(QFile::exists(path("next.p-d"))) << "the run keeps the file it opened";
  // The stress axis went mid-run and only the curve came back; the ratio grid stayed.
  EXPECT_EQ(w.graph("Picture1").pixelColor(408, 247), kWhite);
  EXPECT_EQ(w.graph("Picture2").pixelColor(408, 0), kGrid);
}

TEST_F(WindowRun, a_data_file_that_cannot_be_written_leaves_start_disabled_until_a_new_name) {
  const std::pair<QString, QString> cases[] = {{path("no-such-folder/x.p-d"), "(2)"}, {"/dev/full", "(28)"}};
  for (const auto& [file, code] : cases) {
    SCOPED_TRACE(file.toStdString());
    WindowUnderTest w;
    w.runInto(file);
    EXPECT_EQ(w.lastRun().end, fb::RunEnd::openFailed);
    const QString text = "This output data file has been opened by another application. " + code;
    EXPECT_EQ(w.watchdog.take(), QStringList(shown("Error", QMessageBox::Warning, text)));
    EXPECT_EQ(w.box("Text1")->text(), "");
    EXPECT_FALSE(w.button("Command1")->isEnabled());
    EXPECT_EQ(w.results(), (std::vector<std::string>{"0", "0", "0", "", ""}));

    w.chosen.clear();  // Cancel still enables Start, and shows the name the run used
    w.button("Command2")->click();
    EXPECT_TRUE(w.button("Command1")->isEnabled());
    EXPECT_EQ(w.box("Text2")->text(), file);
  }
}

TEST_F(WindowRun, exit_or_the_close_box_during_a_run_ends_the_program_with_the_rows_so_far) {
  const QByteArrayList cli = cliLines({});
  for (const bool closeBox : {false, true}) {
    SCOPED_TRACE(closeBox ? "close box" : "Exit");
    WindowUnderTest w;
    w.setQuitRequest([] { QCoreApplication::quit(); });
    w.onStatus = [&](const QString& text) {
      // Queued, so that it arrives through the run's yield as a click would.
      if (text == "Calculating for Step 5")
        QTimer::singleShot(0, &w, [&] { closeBox ? (void)w.close() : w.button("Command4")->click(); });
    };
    QTimer::singleShot(0, &w, [&] { w.runInto(path("stopped.p-d")); });
    QTimer::singleShot(20000, &w, [] { QApplication::exit(1); });
    EXPECT_EQ(QApplication::exec(), 0) << "the program's event loop ends";

    EXPECT_EQ(w.lastRun().end, fb::RunEnd::stopped);
    EXPECT_EQ(w.statuses.back(), "Calculating for Step 5");
    expectSameLines(fileLines(path("stopped.p-d")), cli.mid(0, 6 + 5), 6 + 5);  // the header and steps 0 to 4
  }
}

TEST(Window, fp1_box_is_checked_each_time_the_focus_leaves_it) {
  WindowUnderTest w;
  w.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
  const struct {
    const char *Lf, *fp1, *after;
    QColor colour;
  } cases[] = {
      // fp0 is 0.5 throughout.
      {"12", "-0.1", "0", kRed},         // 0.5 - 0.1*6 < 0
      {"12", "-0.05", "-0.05", kBlack},  // and a red box turns black again
      {"12", "-0.1", "0", kRed},
      {"12", "abc", "abc", kBlack},          // letters read as 0
      {"16", "-0.0625", "-0.0625", kBlack},  // exactly 0 is kept
  };
  QLineEdit* fp1 = w.box("Text24");
  w.box("Text7")->setText("0.5");
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.Lf) + " " + c.fp1);
    w.box("Text6")->setText(c.Lf);
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

// The boxes' panels come from a cache keyed by size and state; a state left
// out of the key would show one box's frame (focus, disabled, colours) on another.
TEST(Window, boxes_painted_from_the_panel_cache_look_as_the_toolkit_draws_them) {
  WindowUnderTest w;
  w.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
  w.box("Text24")->setFocus();
  w.box("Text6")->setEnabled(false);
  QPalette yellow = w.box("Text3")->palette();
  yellow.setColor(QPalette::Base, Qt::yellow);
  w.box("Text3")->setPalette(yellow);
  const QImage cached = w.grab().toImage();
  EXPECT_EQ(w.grab().toImage(), cached) << "painted again from the cache";
  for (QLineEdit* box : w.findChildren<QLineEdit*>()) box->setStyle(QApplication::style());
  EXPECT_EQ(w.grab().toImage(), cached);
}

TEST(Window, opens_with_the_layout_in_pixels_and_start_waiting_for_a_file) {
  WindowUnderTest w;
  EXPECT_EQ(w.size(), QSize(609, 755));
  EXPECT_EQ(w.minimumSize(), w.maximumSize()) << "the border is fixed";
  EXPECT_FALSE(w.windowFlags() & (Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint));
  const QPoint offCentre = w.frameGeometry().center() - w.screen()->geometry().center();
  EXPECT_LE(offCentre.manhattanLength(), 2) << "centred, also when taller than the screen";
  const std::pair<const char*, QRect> places[] = {
      {"Command1", {128, 16, 105, 25}}, {"Picture1", {184, 448, 409, 273}}, {"Text24", {96, 408, 73, 19}},
      {"Image2", {304, 96, 125, 130}},  {"Shape3", {16, 208, 161, 369}},    {"Label22", {16, 728, 577, 17}},
  };
  for (const auto& [name, pixels] : places) EXPECT_EQ(w.control(name)->geometry(), pixels) << name;
  // The result boxes lie over the graphs and stay in front of them.
  for (const char* name : {"Text18", "Text21"}) EXPECT_EQ(w.childAt(w.box(name)->geometry().center()), w.box(name));

  EXPECT_EQ(w.focusWidget(), w.control("Command2"));
  EXPECT_FALSE(w.button("Command1")->isEnabled());
  w.button("Command2")->click();  // Cancel on the first use
  EXPECT_EQ(w.box("Text2")->text(), "");
  EXPECT_TRUE(w.button("Command1")->isEnabled());
}

}  // namespace

int main(int argc, char** argv) {
  // Test discovery starts this binary too, with no display to talk to.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  // Tests close windows; that must not end the application under them.
  QApplication::setQuitOnLastWindowClosed(false);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
