#include "ui/main_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <cmath>

#include "ui/frm_open_save.h"
#include "ui/pictures.h"
#include "engine/version.h"
#include "engine/inputs.h"


namespace fb {

namespace {

enum class Kind {
  button,
  textBox,      // an input: right-aligned, in the keyboard order
  status,       // Text1
  dataFileBox,  // Text2
  inputLabel,
  groupTitle,
  legend,       // the white captions under the pullout sketch
  shape,        // a panel behind a group of inputs
  picture,      // a graph
  image,
  ratioTitle,
  stressTitle,
  resultField,  // bold, right-aligned
  plainResult,  // Text22, Text23
  footer,
};

// Place and size in twips, as laid out; 15 twips make a pixel.
struct Control {
  const char* name;
  Kind kind;
  const char* caption;
  int left, top, width, height;
};

// Back to front: the panels first, then the graphs, then what lies on them.
const Control kLayout[] = {
    {"Shape4", Kind::shape, "", 240, 1080, 2415, 1815},
    {"Shape3", Kind::shape, "", 240, 3120, 2415, 5535},
    {"Shape1", Kind::shape, "", 240, 8880, 2415, 1575},
    {"Shape2", Kind::shape, "", 2760, 1080, 6255, 2535},
    {"Picture2", Kind::picture, "", 2760, 3960, 6135, 2415},
    {"Picture1", Kind::picture, "", 2760, 6720, 6135, 4095},

    {"Command2", Kind::button, "Data File Name", 240, 240, 1575, 375},
    {"Command1", Kind::button, "Start", 1920, 240, 1575, 375},
    {"Text1", Kind::status, "", 3600, 240, 3615, 375},
    {"Command4", Kind::button, "Exit", 7320, 240, 1575, 375},
    {"Label14", Kind::inputLabel, "Data file", 240, 720, 1575, 255},
    {"Text2", Kind::dataFileBox, "", 1800, 720, 7215, 255},

    {"Label5", Kind::groupTitle, "Matrix", 360, 1200, 2175, 255},
    {"Label4", Kind::inputLabel, "Sectional area (mm2)", 360, 1440, 2175, 255},
    {"Text3", Kind::textBox, "", 360, 1680, 2175, 285},
    {"Label20", Kind::inputLabel, "Crack angle (0-90deg)", 360, 2040, 2175, 255},
    {"Label30", Kind::inputLabel, "x-y", 360, 2280, 1095, 255},
    {"Label31", Kind::inputLabel, "z-x", 1440, 2280, 1095, 255},
    {"Text25", Kind::textBox, "", 360, 2520, 1095, 285},
    {"Text26", Kind::textBox, "", 1440, 2520, 1095, 285},

    {"Label6", Kind::groupTitle, "Fiber", 360, 3240, 2175, 255},
    {"Label8", Kind::inputLabel, "Volume fraction", 360, 3480, 2175, 255},
    {"Text4", Kind::textBox, "", 360, 3720, 2175, 285},
    {"Label7", Kind::inputLabel, "Sectional area (mm2)", 360, 4080, 2175, 255},
    {"Text5", Kind::textBox, "", 360, 4320, 2175, 285},
    {"Label9", Kind::inputLabel, "Length (mm)", 360, 4680, 2175, 255},
    {"Text6", Kind::textBox, "", 360, 4920, 2175, 285},
    {"Label1", Kind::inputLabel, "Snubbing coefficient", 360, 5400, 2175, 255},
    {"Label33", Kind::inputLabel, "for pullout load", 360, 5640, 2175, 255},
    {"Label2", Kind::inputLabel, "fp0", 360, 5880, 1095, 255},
    {"Label29", Kind::inputLabel, "+fp1(*lb)", 1440, 5880, 1095, 255},
    {"Text7", Kind::textBox, "", 360, 6120, 1095, 285},
    {"Text24", Kind::textBox, "", 1440, 6120, 1095, 285},
    {"Label34", Kind::inputLabel, "for displacement", 360, 6480, 2175, 255},
    {"Label35", Kind::inputLabel, "fd0", 360, 6720, 1095, 255},
    {"Label36", Kind::inputLabel, "+fd1(*lb)", 1440, 6720, 1095, 255},
    {"Text27", Kind::textBox, "", 360, 6960, 1095, 285},
    {"Text28", Kind::textBox, "", 1440, 6960, 1095, 285},
    {"Label28", Kind::inputLabel, "Strength reduction", 360, 7440, 2175, 255},
    {"Text8", Kind::textBox, "", 360, 7680, 2175, 285},
    {"Label3", Kind::inputLabel, "Rupture strength (MPa)", 360, 8040, 2175, 255},
    {"Text9", Kind::textBox, "", 360, 8280, 2175, 285},

    {"Label10", Kind::groupTitle, "Fiber orientation", 360, 9000, 2175, 255},
    {"Label11", Kind::inputLabel, "kxy", 360, 9240, 1095, 255},
    {"Label13", Kind::inputLabel, "θr,xy(deg)", 1440, 9240, 1095, 255},
    {"Text10", Kind::textBox, "", 360, 9480, 1095, 285},
    {"Text11", Kind::textBox, "", 1440, 9480, 1095, 285},
    {"Label15", Kind::inputLabel, "kzx", 360, 9840, 1095, 255},
    {"Label16", Kind::inputLabel, "θr,zx(deg)", 1440, 9840, 1095, 255},
    {"Text12", Kind::textBox, "", 360, 10080, 1095, 285},
    {"Text13", Kind::textBox, "", 1440, 10080, 1095, 285},
    {"Label24", Kind::inputLabel, "Division", 360, 10560, 1095, 255},
    {"Text20", Kind::textBox, "", 1440, 10560, 1095, 285},

    {"Label12", Kind::groupTitle, "Tri-linear bridging model", 2880, 1200, 3615, 255},
    {"Label32", Kind::legend, " P: (N),", 2880, 1440, 3615, 255},
    {"Label19", Kind::legend, "δ: (mm)", 2880, 1680, 3615, 1815},
    {"Image1", Kind::image, "", 2880, 1920, 1500, 1500},
    {"Image2", Kind::image, "", 4560, 1440, 1875, 1950},
    {"Label37", Kind::inputLabel, "Aa", 6600, 1200, 1095, 255},
    {"Label38", Kind::inputLabel, "Ba", 7800, 1200, 1095, 255},
    {"Text29", Kind::textBox, "", 6600, 1440, 1095, 285},
    {"Text30", Kind::textBox, "", 7800, 1440, 1095, 285},
    {"Label39", Kind::inputLabel, "Ca", 6600, 1800, 1095, 255},
    {"Label40", Kind::inputLabel, "Da", 7800, 1800, 1095, 255},
    {"Text31", Kind::textBox, "", 6600, 2040, 1095, 285},
    {"Text32", Kind::textBox, "", 7800, 2040, 1095, 285},
    {"Label17", Kind::inputLabel, "A", 6600, 2400, 1095, 255},
    {"Label18", Kind::inputLabel, "B", 7800, 2400, 1095, 255},
    {"Text14", Kind::textBox, "", 6600, 2640, 1095, 285},
    {"Text15", Kind::textBox, "", 7800, 2640, 1095, 285},
    {"Label21", Kind::inputLabel, "C", 6600, 3000, 1095, 255},
    {"Label23", Kind::inputLabel, "D", 7800, 3000, 1095, 255},
    {"Text16", Kind::textBox, "", 6600, 3240, 1095, 285},
    {"Text17", Kind::textBox, "", 7800, 3240, 1095, 285},

    {"Label25", Kind::ratioTitle, "Fiber effectiveness", 6360, 3720, 2535, 255},
    {"Text21", Kind::resultField, "", 6360, 3960, 2535, 285},
    {"Label26", Kind::stressTitle, "Pmax (kN)", 6360, 6480, 1215, 255},
    {"Label27", Kind::stressTitle, "σmax (MPa)", 7680, 6480, 1215, 255},
    {"Text18", Kind::resultField, "", 6360, 6720, 1215, 285},
    {"Text19", Kind::resultField, "", 7680, 6720, 1215, 285},
    {"Text22", Kind::plainResult, "", 5880, 7080, 2895, 285},
    {"Text23", Kind::plainResult, "", 5880, 7320, 2895, 285},

    {"Label22", Kind::footer, "", 240, 10920, 8655, 255},
};

const char* const kKeyboardOrder[] = {
    "Command2", "Command1", "Command4", "Text2",  "Text3",  "Text25", "Text4",  "Text5",
    "Text6",    "Text7",    "Text24",   "Text27", "Text28", "Text8",  "Text9",  "Text10",
    "Text11",   "Text12",   "Text13",   "Text29", "Text30", "Text31", "Text32", "Text14",
    "Text15",   "Text16",   "Text17",   "Text20", "Text18", "Text19", "Text21", "Text26",
};

// The result boxes in the order the run writes them.
const char* const kResultBoxes[5] = {"Text18", "Text19", "Text21", "Text22", "Text23"};

constexpr int kTwipsPerPixel = 15;
constexpr int kClientWidth = 9135 / kTwipsPerPixel;    // 609
constexpr int kClientHeight = 11325 / kTwipsPerPixel;  // 755

const QColor kRed(255, 0, 0), kBlack(0, 0, 0), kWhite(255, 255, 255);
const QColor kLabelGrey(128, 128, 128), kTitleBlue(192, 192, 255), kPanelGrey(192, 192, 192);
const QColor kRatioGreen(0, 64, 0), kStressBlue(0, 0, 192), kFooterPink(255, 128, 128);

QString toQString(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

QFont windowFont() {
  // MS P Gothic where the system has it; IPA P Gothic has the same metrics.
  QFont f;
  f.setFamilies({QString::fromUtf8("ＭＳ Ｐゴシック"), "IPAPGothic"});
  f.setStyleHint(QFont::SansSerif);
  f.setPointSizeF(9.75);
  return f;
}

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

QLabel* makeLabel(QWidget* parent, const Control& c, const QColor& background, const QColor& text,
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

QLineEdit* makeBox(QWidget* parent, Qt::Alignment align, bool bold = false) {
  auto* box = new QLineEdit(parent);
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
  setFixedSize(kClientWidth, kClientHeight);
  setFont(windowFont());
  QPalette pal = palette();
  pal.setColor(QPalette::Window, pal.color(QPalette::Button));
  setPalette(pal);
  setAutoFillBackground(true);

  chooseFile_ = [this](std::string& dataFile) {
    showDataFileDialog(this, "Data File Name", "*.p-d", dataFile);
  };
  quit_ = [] { QCoreApplication::quit(); };

  buildControls();
  setKeyboardOrder();
  loadDefaults();
  start_->setEnabled(false);  // the first run needs a data file name
  controls_.at("Command2")->setFocus();
}

void Form1::buildControls() {
  for (const Control& c : kLayout) {
    QWidget* w = nullptr;
    switch (c.kind) {
      case Kind::button: {
        auto* button = new QPushButton(c.caption, this);
        button->setAutoDefault(false);
        w = button;
        break;
      }
      case Kind::textBox:
        w = makeBox(this, Qt::AlignRight);
        break;
      case Kind::status: {
        QLineEdit* box = makeBox(this, Qt::AlignLeft, true);
        box->setEnabled(false);
        box->setFocusPolicy(Qt::NoFocus);
        QPalette p = box->palette();
        p.setColor(QPalette::Disabled, QPalette::Text, kRed);
        box->setPalette(p);
        w = box;
        break;
      }
      case Kind::dataFileBox: {
        QLineEdit* box = makeBox(this, Qt::AlignLeft);
        QPalette p = box->palette();
        p.setColor(QPalette::Text, kRed);
        p.setColor(QPalette::Base, kWhite);
        box->setPalette(p);
        w = box;
        break;
      }
      case Kind::inputLabel:
        w = makeLabel(this, c, kLabelGrey, kWhite, Qt::AlignCenter);
        break;
      case Kind::groupTitle:
        w = makeLabel(this, c, kLabelGrey, kTitleBlue, Qt::AlignCenter, true);
        break;
      case Kind::legend:
        w = makeLabel(this, c, kWhite, kBlack, Qt::AlignLeft | Qt::AlignTop);
        break;
      case Kind::ratioTitle:
        w = makeLabel(this, c, kRatioGreen, kWhite, Qt::AlignCenter);
        break;
      case Kind::stressTitle:
        w = makeLabel(this, c, kStressBlue, kWhite, Qt::AlignCenter);
        break;
      case Kind::shape: {
        auto* frame = new QFrame(this);
        frame->setFrameShape(QFrame::NoFrame);
        setColours(frame, kPanelGrey, kBlack);
        w = frame;
        break;
      }
      case Kind::picture:
        w = new QtCanvas(this);
        break;
      case Kind::image: {
        auto* label = new QLabel(this);
        label->setPixmap(std::string_view(c.name) == "Image1" ? pulloutSketch() : coefficientFormulas());
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        w = label;
        break;
      }
      case Kind::resultField:
        w = makeBox(this, Qt::AlignRight, true);
        break;
      case Kind::plainResult: {
        QLineEdit* box = makeBox(this, Qt::AlignRight);
        QPalette p = box->palette();
        p.setColor(QPalette::Base, p.color(QPalette::Button));
        box->setPalette(p);
        box->setFocusPolicy(Qt::ClickFocus);
        w = box;
        break;
      }
      case Kind::footer: {
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
    w->setGeometry(c.left / kTwipsPerPixel, c.top / kTwipsPerPixel, c.width / kTwipsPerPixel,
                   c.height / kTwipsPerPixel);
    controls_[c.name] = w;
  }

  start_ = static_cast<QPushButton*>(controls_.at("Command1"));
  status_ = box("Text1");
  picture1_ = static_cast<QtCanvas*>(controls_.at("Picture1"));
  picture2_ = static_cast<QtCanvas*>(controls_.at("Picture2"));

  connect(start_, &QPushButton::clicked, this, &Form1::startRun);
  connect(static_cast<QPushButton*>(controls_.at("Command2")), &QPushButton::clicked, this,
          &Form1::chooseDataFile);
  connect(static_cast<QPushButton*>(controls_.at("Command4")), &QPushButton::clicked, this, &QWidget::close);
  box("Text24")->installEventFilter(this);
}

void Form1::setKeyboardOrder() {
  for (std::size_t i = 1; i < std::size(kKeyboardOrder); ++i)
    QWidget::setTabOrder(controls_.at(kKeyboardOrder[i - 1]), controls_.at(kKeyboardOrder[i]));
}

void Form1::loadDefaults() {
  status_->setText("");
  for (const FieldInfo& info : kFields) box(toQString(info.textBox))->setText(toQString(info.defaultText));
  showResults(startResultTexts());
}

QLineEdit* Form1::box(const QString& name) const { return static_cast<QLineEdit*>(controls_.at(name)); }

QLineEdit* Form1::resultBox(int index) const { return box(kResultBoxes[index]); }

void Form1::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!centred_) {
    centred_ = true;
    centreOnScreen();
  }
}

void Form1::centreOnScreen() {
  const QScreen* s = screen();
  if (!s) return;
  const QRect screenRect = s->geometry();
  const QSize outer = frameGeometry().size();
  // A window larger than the screen gets a negative corner, as the layout allows.
  const double left = screenRect.width() / 2.0 - outer.width() / 2.0;
  const double top = screenRect.height() / 2.0 - outer.height() / 2.0;
  move(screenRect.x() + static_cast<int>(std::floor(left)), screenRect.y() + static_cast<int>(std::floor(top)));
}

// --- the run's view ---------------------------------------------------------

FieldTexts Form1::fieldTexts() {
  FieldTexts texts;
  for (const FieldInfo& info : kFields) texts[info.field] = box(toQString(info.textBox))->text().toStdString();
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
    resultBox(i)->setText(QString::fromStdString(*texts[i]));
    toRepaint_ += resultBox(i)->geometry();
  }
}

bool Form1::yield() {
  for (QtCanvas* c : {picture1_, picture2_}) {
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
  picture1_->restore(snapshot_.stress);
  picture2_->restore(snapshot_.ratio);

  QMessageBox message(QMessageBox::Warning, "FiberBridge", QString::fromStdString(refusal.message),
                      QMessageBox::Ok, this);
  message.exec();

  // Put the cursor where the correction goes ("fp0/fp1" points at fp0).
  const std::string first = refusal.field.substr(0, refusal.field.find('/'));
  if (const auto field = fieldByName(first); field && !exitRequested_) {
    QLineEdit* b = box(toQString(fieldInfo(*field).textBox));
    b->setFocus(Qt::OtherFocusReason);
    b->selectAll();
  }
}

void Form1::showError(const std::string& title, const std::string& text) {
  QMessageBox message(QMessageBox::Warning, QString::fromStdString(title), QString::fromStdString(text),
                      QMessageBox::Ok, this);
  message.exec();
}

// --- the buttons and the fp1 check -----------------------------------------

void Form1::startRun() {
  if (running_) return;
  snapshot_.status = status_->text();
  for (int i = 0; i < 5; ++i) snapshot_.results[i] = resultBox(i)->text();
  snapshot_.stress = picture1_->state();
  snapshot_.ratio = picture2_->state();

  running_ = true;
  lastRun_ = calculator_.run(*this);
  running_ = false;
}

void Form1::chooseDataFile() {
  QLineEdit* text2 = box("Text2");
  text2->setText("");
  chooseFile_(dataFile_);
  text2->setText(QString::fromStdString(dataFile_));
  // Only one run at a time: a run in progress enables Start when it ends.
  if (!running_) start_->setEnabled(true);
  picture1_->clear();
}

void Form1::checkText24() {
  QLineEdit* fp1 = box("Text24");
  if (checkLoadSnubbing(box("Text6")->text().toStdString(), box("Text7")->text().toStdString(),
                        fp1->text().toStdString())) {
    fp1->setText("0");
    setTextColour(fp1, kRed);
  } else {
    setTextColour(fp1, kBlack);
  }
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
  if (watched == controls_.at("Text24") && event->type() == QEvent::FocusOut) {
    // Switching to another window or opening a menu does not leave the box.
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) checkText24();
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
