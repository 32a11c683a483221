#pragma once

// Form1, the program's window. Every input lives as text in its box until
// Start reads it: the Start button hands the window, as the run's view, to
// the window's Calculator, which reads the boxes, writes the status and result boxes,
// draws on the two QtCanvas graphs and calls yield() at its fixed points.
// yield() repaints what changed and lets queued clicks run, so Exit, the
// close box and Data File Name all act in the middle of a run: Exit makes
// the next yield answer false, and the driver closes the data file on its
// way out.

#include <QString>
#include <QWidget>
#include <functional>
#include <map>
#include <string>

#include "run/calculator.h"
#include "run/run_driver.h"
#include "ui/qt_canvas.h"

class QLineEdit;
class QPushButton;

namespace fb {

class Form1 : public QWidget, public RunView {
  Q_OBJECT

 public:
  explicit Form1(QWidget* parent = nullptr);

  /// Shows the data file name dialog and leaves the choice in its argument
  /// (unchanged when the dialog is cancelled). Tests put a stub here.
  using DataFileChooser = std::function<void(std::string& dataFile)>;
  void setDataFileChooser(DataFileChooser chooser) { chooseFile_ = std::move(chooser); }

  /// Ends the program; by default it leaves the application's event loop.
  void setQuitRequest(std::function<void()> quit) { quit_ = std::move(quit); }

  const RunSummary& lastRun() const { return lastRun_; }

  // The run's view.
  FieldTexts fieldTexts() override;
  void setStartEnabled(bool enabled) override;
  void showStatus(const std::string& text) override;
  void showResults(const ResultTexts& texts) override;
  Canvas& stressGraph() override { return *stressGraph_; }
  Canvas& ratioGraph() override { return *ratioGraph_; }
  bool yield() override;
  void showRefusal(const Refusal& refusal) override;
  void showError(const std::string& title, const std::string& text) override;
  bool runsWithoutSteps() const override { return true; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // What a refused run puts back: the window as it was when Start was pressed.
  struct Snapshot {
    QString status;
    QString results[5];
    QtCanvas::State stress, ratio;
  };

  void buildControls();
  void setKeyboardOrder();
  void loadDefaults();
  QLineEdit* box(const QString& name) const;
  QLineEdit* box(Field field) const;
  QLineEdit* resultBox(int index) const;

  void startRun();
  void chooseDataFile();
  void checkFp1();

  std::map<QString, QWidget*> controls_;
  QPushButton* start_ = nullptr;
  QLineEdit* status_ = nullptr;
  QtCanvas* stressGraph_ = nullptr;  // Picture1
  QtCanvas* ratioGraph_ = nullptr;   // Picture2

  Calculator calculator_;  // its class table lives as long as the window
  std::string dataFile_;
  DataFileChooser chooseFile_;
  std::function<void()> quit_;

  bool running_ = false;
  bool exitRequested_ = false;
  bool centred_ = false;
  Snapshot snapshot_;
  RunSummary lastRun_;
  QRegion toRepaint_;
};

}  // namespace fb
