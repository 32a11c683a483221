#include "ui/main_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "engine/inputs.h"
#include "engine/version.h"
#include "ui/form1_layout.h"
#include "ui/frm_open_save.h"
#include "ui/pictures.h"
#include "ui/window_toolkit.h"

namespace fb {
namespace {

const QColor kRed(255, 0, 0), kBlack(0, 0, 0), kWhite(255, 255, 255);
const QColor kLabelGrey(128, 128, 128), kTitleBlue(192, 192, 255), kPanelGrey(192, 192, 192);
const QColor kRatioGreen(0, 64, 0), kStressBlue(0, 0, 192), kFooterPink(255, 128, 128);

QString toQString(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

QFont footerFont() {
  QFont f;
  f.setFamilies({"Arial", "Liberation Sans", "Nimbus Sans"});
  f.setStyleHint(QFont::SansSerif);
  f.setPointSizeF(8.25);
  f.setBold(true);
  return f;
}

QString footerText() {
  return QString::fromUtf8("FiberBridge " + std::string(kVersion) +
                           " — fiber bridging law of cracked cementitious composites — FiberBridge developers");
}

void setColours(QWidget* w, const QColor& background, const QColor& text) {
  QPalette pal = w->palette();
  pal.setColor(QPalette::Window, background);
  pal.setColor(QPalette::WindowText, text);
  w->setPalette(pal);
  w->setAutoFillBackground(true);
}

void setTextColour(QLineEdit* box, const QColor& colour) {
  QPalette pal = box->palette();
  pal.setColor(QPalette::Text, colour);
  box->setPalette(pal);
}

QLabel* makeLabel(QWidget* parent, const ControlPlace& c, const QColor& background, const QColor& text,
                  Qt::Alignment align, bool bold = false) {
  auto* label = new QLabel(QString::fromUtf8(c.caption), parent);
  setColours(label, background, text);
  label->setAlignment(align);
  if (bold) {
    QFont f = label->font();
    f.setBold(true);
    label->setFont(f);
  }
  return label;
}

QLineEdit* makeBox(QWidget* parent, QStyle* style, Qt::Alignment align, bool bold = false) {
  auto* box = new QLineEdit(parent);
  box->setStyle(style);
  box->setAlignment(align | Qt::AlignVCenter);
  // The boxes are as low as the layout makes them; Qt's inner margins would hide the text.
  box->setTextMargins(0, -2, 0, -2);
  if (bold) {
    QFont f = box->font();
    f.setBold(true);
    box->setFont(f);
  }
  return box;
}

}  // namespace

Form1::Form1(QWidget* parent) : QWidget(parent) {
  setObjectName("Form1");
  setWindowTitle("FiberBridge");
  setWindowIcon(programIcon());
  // A fixed single border: no resizing, no maximize or minimize box.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  setFixedSize(pixels(kForm1WidthTwips), pixels(kForm1HeightTwips));
  setFont(programFont());
  QPalette pal = palette();
  pal.setColor(QPalette::Window, pal.color(QPalette::Button));
  setPalette(pal);
  setAutoFillBackground(true);

  chooseFile_ = [this](std::string& dataFile) { showDataFileDialog(this, "Data File Name", "*.p-d", dataFile); };
  quit_ = [] { QCoreApplication::quit(); };

  buildControls();
  setKeyboardOrder();
  loadDefaults();
  start_->setEnabled(false);  // the first run needs a data file name
  controls_.at("Command2")->setFocus();
}

void Form1::buildControls() {
  QStyle* const boxStyle = boxPanelStyle(this);
  for (const ControlPlace& c : form1Layout()) {
    QWidget* w = nullptr;
    switch (c.kind) {
      case ControlKind::button: {
        auto* button = new QPushButton(c.caption, this);
        button->setAutoDefault(false);
        w = button;
        break;
      }
      case ControlKind::textBox:
        w = makeBox(this, boxStyle, Qt::AlignRight);
        break;
      case ControlKind::status: {
        QLineEdit* box = makeBox(this, boxStyle, Qt::AlignLeft, true);
        box->setEnabled(false);
        box->setFocusPolicy(Qt::NoFocus);
        QPalette p = box->palette();
        p.setColor(QPalette::Disabled, QPalette::Text, kRed);
        box->setPalette(p);
        w = box;
        break;
      }
      case ControlKind::dataFileBox: {
        QLineEdit* box = makeBox(this, boxStyle, Qt::AlignLeft);
        QPalette p = box->palette();
        p.setColor(QPalette::Text, kRed);
        p.setColor(QPalette::Base, kWhite);
        box->setPalette(p);
        w = box;
        break;
      }
      case ControlKind::inputLabel:
        w = makeLabel(this, c, kLabelGrey, kWhite, Qt::AlignCenter);
        break;
      case ControlKind::groupTitle:
        w = makeLabel(this, c, kLabelGrey, kTitleBlue, Qt::AlignCenter, true);
        break;
      case ControlKind::legend:
        w = makeLabel(this, c, kWhite, kBlack, Qt::AlignLeft | Qt::AlignTop);
        break;
      case ControlKind::ratioTitle:
        w = makeLabel(this, c, kRatioGreen, kWhite, Qt::AlignCenter);
        break;
      case ControlKind::stressTitle:
        w = makeLabel(this, c, kStressBlue, kWhite, Qt::AlignCenter);
        break;
      case ControlKind::shape: {
        auto* frame = new QFrame(this);
        frame->setFrameShape(QFrame::NoFrame);
        setColours(frame, kPanelGrey, kBlack);
        w = frame;
        break;
      }
      case ControlKind::picture:
        w = new QtCanvas(this);
        break;
      case ControlKind::image: {
        auto* label = new QLabel(this);
        label->setPixmap(std::string_view(c.name) == "Image1" ? pulloutSketch() : coefficientFormulas());
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        w = label;
        break;
      }
      case ControlKind::resultField:
        w = makeBox(this, boxStyle, Qt::AlignRight, true);
        break;
      case ControlKind::plainResult: {
        QLineEdit* box = makeBox(this, boxStyle, Qt::AlignRight);
        QPalette p = box->palette();
        p.setColor(QPalette::Base, p.color(QPalette::Button));
        box->setPalette(p);
        box->setFocusPolicy(Qt::ClickFocus);
        w = box;
        break;
      }
      case ControlKind::footer: {
        auto* label = new QLabel(footerText(), this);
        label->setFont(footerFont());
        QPalette p = label->palette();
        p.setColor(QPalette::WindowText, kFooterPink);
        label->setPalette(p);
        label->setAlignment(Qt::AlignCenter);
        w = label;
        break;
      }
    }
    w->setObjectName(c.name);
    w->setGeometry(twipsRect(c.left, c.top, c.width, c.height));
    controls_[c.name] = w;
  }

  start_ = static_cast<QPushButton*>(controls_.at("Command1"));
  status_ = box("Text1");
  stressGraph_ = static_cast<QtCanvas*>(controls_.at("Picture1"));
  ratioGraph_ = static_cast<QtCanvas*>(controls_.at("Picture2"));

  connect(start_, &QPushButton::clicked, this, &Form1::startRun);
  connect(static_cast<QPushButton*>(controls_.at("Command2")), &QPushButton::clicked, this, &Form1::chooseDataFile);
  connect(static_cast<QPushButton*>(controls_.at("Command4")), &QPushButton::clicked, this, &QWidget::close);
  box(Field::fp1)->installEventFilter(this);
}

void Form1::setKeyboardOrder() {
  const auto order = form1KeyboardOrder();
  for (std::size_t i = 1; i < order.size(); ++i)
    QWidget::setTabOrder(controls_.at(order[i - 1]), controls_.at(order[i]));
}

void Form1::loadDefaults() {
  status_->setText("");
  for (const FieldInfo& info : kFields)
    if (QLineEdit* b = box(info.field)) b->setText(toQString(info.defaultText));
  showResults(startResultTexts());
}

QLineEdit* Form1::box(const QString& name) const { return static_cast<QLineEdit*>(controls_.at(name)); }

QLineEdit* Form1::box(Field field) const {
  const char* name = fieldBox(field);
  return name ? box(toQString(name)) : nullptr;
}

QLineEdit* Form1::resultBox(int index) const { return box(kResultBoxes[index]); }

void Form1::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!centred_) {
    centred_ = true;
    centreOnScreen(this);
  }
}

// --- the run's view ---------------------------------------------------------

FieldTexts Form1::fieldTexts() {
  FieldTexts texts;
  for (const FieldInfo& info : kFields)
    if (const QLineEdit* b = box(info.field)) texts[info.field] = b->text().toStdString();
  // The run's choice of data file is the one the dialog starts from next time.
  dataFile_ = texts[Field::dataFile];
  return texts;
}

void Form1::setStartEnabled(bool enabled) { start_->setEnabled(enabled); }

void Form1::showStatus(const std::string& text) {
  status_->setText(QString::fromStdString(text));
  toRepaint_ += status_->geometry();
}

void Form1::showResults(const ResultTexts& t) {
  const std::string* texts[5] = {&t.pmax, &t.sigmaMax, &t.effectiveness, &t.crackWidth, &t.stress};
  for (int i = 0; i < 5; ++i) {
    // Once past the peak the maximum stays; a box set to its own text would
    // still lay the text out and paint it again.
    const QString text = QString::fromStdString(*texts[i]);
    if (resultBox(i)->text() == text) continue;
    resultBox(i)->setText(text);
    toRepaint_ += resultBox(i)->geometry();
  }
}

bool Form1::yield() {
  for (QtCanvas* c : {stressGraph_, ratioGraph_}) {
    const QRect drawn = c->takeDrawnRect();
    if (!drawn.isEmpty()) toRepaint_ += drawn.translated(c->pos());
  }
  // Paint what the run changed now, then let the queued input run (Exit,
  // Data File Name, typing); the run goes on only after both.
  if (isVisible() && !toRepaint_.isEmpty()) repaint(toRepaint_);
  toRepaint_ = QRegion();
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  return !exitRequested_;
}

void Form1::showRefusal(const Refusal& refusal) {
  // The run wrote nothing; put the window back as it was when Start was pressed.
  status_->setText(snapshot_.status);
  for (int i = 0; i < 5; ++i) resultBox(i)->setText(snapshot_.results[i]);
  stressGraph_->restore(snapshot_.stress);
  ratioGraph_->restore(snapshot_.ratio);
  fb::showWarning(this, "FiberBridge", QString::fromStdString(refusal.message));

  // Put the cursor where the correction goes ("fp0/fp1" points at fp0).
  if (const auto field = fieldByName(fieldToChange(refusal)); field && !exitRequested_) {
    if (QLineEdit* b = box(*field)) {
      b->setFocus(Qt::OtherFocusReason);
      b->selectAll();
    }
  }
}

void Form1::showError(const std::string& title, const std::string& text) {
  fb::showWarning(this, QString::fromStdString(title), QString::fromStdString(text));
}

// --- the buttons and the fp1 check -----------------------------------------

void Form1::startRun() {
  if (running_) return;
  snapshot_.status = status_->text();
  for (int i = 0; i < 5; ++i) snapshot_.results[i] = resultBox(i)->text();
  snapshot_.stress = stressGraph_->state();
  snapshot_.ratio = ratioGraph_->state();

  running_ = true;
  lastRun_ = calculator_.run(*this);
  running_ = false;
}

void Form1::chooseDataFile() {
  QLineEdit* dataFileBox = box(Field::dataFile);
  dataFileBox->setText("");
  chooseFile_(dataFile_);
  dataFileBox->setText(QString::fromStdString(dataFile_));
  // Only one run at a time: a run in progress enables Start when it ends.
  if (!running_) start_->setEnabled(true);
  stressGraph_->clear();
}

void Form1::checkFp1() {
  QLineEdit* fp1 = box(Field::fp1);
  if (checkLoadSnubbing(box(Field::Lf)->text().toStdString(), box(Field::fp0)->text().toStdString(),
                        fp1->text().toStdString())) {
    fp1->setText("0");
    setTextColour(fp1, kRed);
  } else {
    setTextColour(fp1, kBlack);
  }
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
  if (watched == box(Field::fp1) && event->type() == QEvent::FocusOut) {
    // Switching to another window or opening a menu does not leave the box.
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) checkFp1();
  }
  return QWidget::eventFilter(watched, event);
}

void Form1::closeEvent(QCloseEvent* event) {
  // Exit and the close box end the program at once; a run in progress stops at
  // its next yield, and the driver closes the data file with the rows so far.
  event->accept();
  if (exitRequested_) return;
  exitRequested_ = true;
  quit_();
}

}  // namespace fb
