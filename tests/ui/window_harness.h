#pragma once

// Shared pieces of the window tests: a watchdog that records and dismisses
// every modal window (so a message box fails a test instead of hanging it),
// a window with a stub file dialog, status recording and the data files.

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "main_window.h"

namespace fbtest {

struct SeenMessage {
  QString title, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
};

/// Closes any modal window a few milliseconds after it opens and keeps what it showed.
class ModalWatchdog {
 public:
  ModalWatchdog() {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      QWidget* modal = QApplication::activeModalWidget();
      if (!modal) return;
      auto* box = qobject_cast<QMessageBox*>(modal);
      seen_.push_back({modal->windowTitle(), box ? box->text() : QString(), box ? box->icon() : QMessageBox::NoIcon});
      modal->close();
    });
    timer_.start(5);
  }
  const std::vector<SeenMessage>& seen() const { return seen_; }

 private:
  QTimer timer_;
  std::vector<SeenMessage> seen_;
};

template <class T = QWidget>
T* control(QWidget& window, const char* name) {
  T* w = window.findChild<T*>(name);
  if (!w) ADD_FAILURE() << "no control named " << name;
  return w;
}

/// Form1 that times the work between its yields.
class TimedForm : public fb::Form1 {
 public:
  using Clock = std::chrono::steady_clock;
  bool yield() override {
    const auto entry = Clock::now();
    if (yields > 0) longestWork = std::max(longestWork, entry - lastExit);
    const bool go = Form1::yield();
    lastExit = Clock::now();
    ++yields;
    return go;
  }
  int yields = 0;
  Clock::duration longestWork{};
  Clock::time_point lastExit;
};

/// The shown window, whose Data File Name dialog answers `chosen` (an empty
/// `chosen` is Cancel) and whose Exit only counts the requests to end.
struct WindowUnderTest {
  TimedForm window;
  std::string chosen;
  int dialogCalls = 0;
  int quitRequests = 0;

  WindowUnderTest() {
    window.setDataFileChooser([this](std::string& dataFile) {
      ++dialogCalls;
      if (!chosen.empty()) dataFile = chosen;
    });
    window.setQuitRequest([this] { ++quitRequests; });
    window.show();
  }
  QLineEdit* box(const char* name) { return control<QLineEdit>(window, name); }
  QPushButton* button(const char* name) { return control<QPushButton>(window, name); }

  /// Data File Name with `path` chosen, then Start; returns when the run has ended.
  void runInto(const QString& path) {
    chosen = path.toStdString();
    button("Command2")->click();
    button("Command1")->click();
  }
};

/// Every text the status box shows, with whether Start was enabled then.
struct StatusLog {
  std::vector<std::string> texts;
  std::vector<bool> startEnabled;
  std::function<void(const QString&)> onStatus;

  explicit StatusLog(WindowUnderTest& w) {
    QObject::connect(w.box("Text1"), &QLineEdit::textChanged, [this, start = w.button("Command1")](const QString& t) {
      texts.push_back(t.toStdString());
      startEnabled.push_back(start->isEnabled());
      if (onStatus) onStatus(t);
    });
  }
};

/// The lines of a data file as bytes, without their CR LF ends.
inline std::vector<QByteArray> fileLines(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  std::vector<QByteArray> lines;
  for (const QByteArray& line : f.readAll().split('\n'))
    if (!line.isEmpty()) lines.push_back(line.endsWith('\r') ? line.chopped(1) : line);
  return lines;
}

/// Runs the command line on the same inputs; false when it did not finish.
inline bool runCli(const QStringList& inputs, const QString& output) {
  QProcess cli;
  cli.start(FIBERBRIDGE_CLI_PATH, QStringList{"--quiet", "--output", output} + inputs);
  return cli.waitForFinished(60000) && cli.exitStatus() == QProcess::NormalExit && cli.exitCode() == 0;
}

/// Header lines 2 to 6 and every row equal; line 1 carries the time of the run.
inline void expectSameDataFile(const QString& window, const QString& cli, std::size_t lineCount) {
  const auto a = fileLines(window), b = fileLines(cli);
  ASSERT_EQ(a.size(), lineCount) << window.toStdString();
  ASSERT_EQ(b.size(), lineCount) << cli.toStdString();
  for (std::size_t i = 1; i < a.size(); ++i) EXPECT_EQ(a[i], b[i]) << "line " << i + 1;
}

}  // namespace fbtest
