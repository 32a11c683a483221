#pragma once

// The window under test and the data files.

#include <gtest/gtest.h>

#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <algorithm>
#include <functional>

#include "tests/ui/ui_test_support.h"
#include "ui/main_window.h"

namespace fbtest {

/// The shown window. Its Data File Name dialog answers `chosen` (empty: Cancel),
/// its Exit does not end the tests, each status is recorded with whether Start
/// was enabled then, and its message boxes are closed at once and kept in `watchdog`.
struct WindowUnderTest : fb::Form1 {
  std::string chosen;
  int dialogCalls = 0;
  std::vector<std::string> statuses;
  std::vector<bool> startEnabled;
  std::function<void(const QString&)> onStatus;
  ModalWatchdog watchdog{5};

  WindowUnderTest() {
    setDataFileChooser([this](std::string& dataFile) {
      ++dialogCalls;
      if (!chosen.empty()) dataFile = chosen;
    });
    setQuitRequest([] {});
    QObject::connect(box("Text1"), &QLineEdit::textChanged, this, [this](const QString& t) {
      statuses.push_back(t.toStdString());
      startEnabled.push_back(button("Command1")->isEnabled());
      if (onStatus) onStatus(t);
    });
    show();
  }

  template <class T = QWidget>
  T* control(const char* name) {
    T* w = findChild<T*>(name);
    if (!w) ADD_FAILURE() << "no control named " << name;
    return w;
  }
  QLineEdit* box(const char* name) { return control<QLineEdit>(name); }
  QPushButton* button(const char* name) { return control<QPushButton>(name); }
  QImage graph(const char* name) { return control<fb::QtCanvas>(name)->image(); }
  std::vector<std::string> results() {
    std::vector<std::string> texts;
    for (const char* name : {"Text18", "Text19", "Text21", "Text22", "Text23"})
      texts.push_back(box(name)->text().toStdString());
    return texts;
  }

  /// Start disabled at every status but the last.
  void expectStartOnlyAtTheEnd() const {
    std::vector<bool> expected(startEnabled.size(), false);
    if (!expected.empty()) expected.back() = true;
    EXPECT_EQ(startEnabled, expected) << "Start stays disabled until the run ends";
  }

  /// Data File Name with `path` chosen, then Start; returns when the run has ended.
  void runInto(const QString& path) {
    chosen = path.toStdString();
    button("Command2")->click();
    button("Command1")->click();
  }
};

/// The lines of a data file, without their CR LF ends.
inline QByteArrayList fileLines(const QString& path) {
  QFile f(path);
  QByteArrayList lines = f.open(QIODevice::ReadOnly) ? f.readAll().replace("\r\n", "\n").split('\n') : QByteArrayList();
  lines.removeAll(QByteArray());
  return lines;
}

/// The lines the command line writes for the same inputs.
inline QByteArrayList cliLines(const QStringList& inputs) {
  QTemporaryDir dir;
  QProcess cli;
  cli.start(FIBERBRIDGE_CLI_PATH, QStringList{"--quiet", "--output", dir.filePath("cli.p-d")} + inputs);
  EXPECT_TRUE(cli.waitForFinished(60000) && cli.exitStatus() == QProcess::NormalExit && cli.exitCode() == 0)
      << "fiberbridge-cli did not finish";
  return fileLines(dir.filePath("cli.p-d"));
}

/// Header lines 2 to 6 and every row equal; line 1 carries the time of the run.
inline void expectSameLines(const QByteArrayList& window, const QByteArrayList& cli, qsizetype lineCount) {
  ASSERT_EQ(window.size(), lineCount);
  ASSERT_EQ(cli.size(), lineCount);
  for (qsizetype i = 1; i < lineCount; ++i) EXPECT_EQ(window[i], cli[i]) << "line " << i + 1;
}

}  // namespace fbtest
