#include "ui/frm_open_save.h"

#include <QComboBox>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <algorithm>

namespace fb {

namespace {

// Positions below are in twips, 15 to a pixel at 96 dots per inch.
constexpr int px(int twips) { return twips / 15; }
QRect twipsRect(int left, int top, int width, int height) {
  return QRect(px(left), px(top), px(width), px(height));
}

constexpr int kPathRole = Qt::UserRole;
constexpr int kDepthRole = Qt::UserRole + 1;
constexpr int kIndentPerLevel = 10;

// Indents each folder by its depth, as the classic folder list draws its tree.
class FolderIndentDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QStyleOptionViewItem indented(option);
    indented.rect.setLeft(option.rect.left() + indent(index));
    QStyledItemDelegate::paint(painter, indented, index);
  }
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    return QStyledItemDelegate::sizeHint(option, index) + QSize(indent(index), 0);
  }

 private:
  static int indent(const QModelIndex& index) { return index.data(kDepthRole).toInt() * kIndentPerLevel; }
};

QFont dialogFont(qreal pointSize) {
  QFont font;
  font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"), QStringLiteral("sans-serif")});
  font.setPointSizeF(pointSize);
  return font;
}

}  // namespace

FrmOpenSave::FrmOpenSave(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint) {
  build();
  connectEvents();
  rules_.load();
  refresh();
}

void FrmOpenSave::build() {
  setObjectName(QStringLiteral("frmOpenSave"));
  setWindowTitle(QStringLiteral("File"));  // the caller's title replaces it before showing
  setFixedSize(px(5760), px(3810));
  setFont(dialogFont(9.75));
  QPalette background = palette();
  background.setColor(QPalette::Window, QColor(192, 192, 192));
  setPalette(background);
  setAutoFillBackground(true);

  const auto makeLabel = [this](int index, const QString& caption, QRect place) {
    auto* label = new QLabel(caption, this);
    label->setObjectName(QStringLiteral("lblOpenSave%1").arg(index));
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setGeometry(place);
    labels_[index] = label;
  };
  makeLabel(0, QStringLiteral("File Name:"), twipsRect(120, 120, 1455, 315));
  makeLabel(3, QStringLiteral("Drive:"), twipsRect(2280, 120, 1455, 255));
  makeLabel(2, QString(), twipsRect(2280, 480, 3375, 315));
  makeLabel(1, QStringLiteral("Folder:"), twipsRect(2280, 720, 1455, 315));
  labels_[2]->setFont(dialogFont(9));

  txtOpenSave_ = new QLineEdit(this);
  txtOpenSave_->setObjectName(QStringLiteral("txtOpenSave"));
  txtOpenSave_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  txtOpenSave_->setGeometry(twipsRect(120, 360, 2055, 315));

  filOpenSave_ = new QListWidget(this);
  filOpenSave_->setObjectName(QStringLiteral("filOpenSave"));
  filOpenSave_->setSelectionMode(QAbstractItemView::SingleSelection);
  filOpenSave_->setGeometry(twipsRect(120, 720, 2055, 2820));

  // The drive list lies over part of the path label.
  drvOpenSave_ = new QComboBox(this);
  drvOpenSave_->setObjectName(QStringLiteral("drvOpenSave"));
  drvOpenSave_->setGeometry(twipsRect(2280, 360, 3375, 315));

  dirOpenSave_ = new QListWidget(this);
  dirOpenSave_->setObjectName(QStringLiteral("dirOpenSave"));
  dirOpenSave_->setSelectionMode(QAbstractItemView::SingleSelection);
  dirOpenSave_->setItemDelegate(new FolderIndentDelegate(dirOpenSave_));
  dirOpenSave_->setGeometry(twipsRect(2280, 960, 3375, 2280));
  dirOpenSave_->installEventFilter(this);

  cmdOpenSave_[0] = new QPushButton(QStringLiteral("OK"), this);
  cmdOpenSave_[0]->setObjectName(QStringLiteral("cmdOpenSave0"));
  cmdOpenSave_[0]->setGeometry(twipsRect(2640, 3360, 1095, 375));
  cmdOpenSave_[0]->setDefault(true);
  cmdOpenSave_[0]->setEnabled(false);

  cmdOpenSave_[1] = new QPushButton(QStringLiteral("Cancel"), this);
  cmdOpenSave_[1]->setObjectName(QStringLiteral("cmdOpenSave1"));
  cmdOpenSave_[1]->setGeometry(twipsRect(4200, 3360, 1095, 375));

  setTabOrder(filOpenSave_, dirOpenSave_);
  setTabOrder(dirOpenSave_, txtOpenSave_);
  setTabOrder(txtOpenSave_, drvOpenSave_);
  setTabOrder(drvOpenSave_, cmdOpenSave_[0]);
  setTabOrder(cmdOpenSave_[0], cmdOpenSave_[1]);
}

void FrmOpenSave::connectEvents() {
  connect(txtOpenSave_, &QLineEdit::textChanged, this, [this](const QString& text) {
    rules_.fileNameChanged(text);
    refresh();
  });

  // A file picked by mouse or by the arrow keys goes into the box.
  const auto fileClicked = [this](int row) {
    rules_.fileClicked(row);
    refresh();
  };
  connect(filOpenSave_, &QListWidget::itemSelectionChanged, this, [this, fileClicked] {
    const QList<QListWidgetItem*> picked = filOpenSave_->selectedItems();
    if (!picked.isEmpty()) fileClicked(filOpenSave_->row(picked.first()));
  });
  connect(filOpenSave_, &QListWidget::itemClicked, this,
          [this, fileClicked](QListWidgetItem* item) { fileClicked(filOpenSave_->row(item)); });
  connect(filOpenSave_, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
    rules_.fileDoubleClicked(filOpenSave_->row(item));
    refresh();
    if (rules_.accepted()) accept();
  });

  connect(dirOpenSave_, &QListWidget::itemDoubleClicked, this,
          [this](QListWidgetItem* item) { openFolderAt(dirOpenSave_->row(item)); });

  connect(drvOpenSave_, &QComboBox::activated, this,
          [this](int index) { report(rules_.driveChosen(drvOpenSave_->itemData(index).toString())); });

  connect(cmdOpenSave_[0], &QPushButton::clicked, this, [this] {
    report(rules_.okPressed());
    if (rules_.accepted()) accept();
  });
  connect(cmdOpenSave_[1], &QPushButton::clicked, this, &QDialog::reject);
}

void FrmOpenSave::setFileNameText(const QString& text, int selectFirst) {
  txtOpenSave_->setText(text);
  txtOpenSave_->setSelection(0, std::min<int>(selectFirst, static_cast<int>(text.size())));
}

QString FrmOpenSave::acceptedPath() const { return rules_.accepted() ? rules_.acceptedPath() : QString(); }

void FrmOpenSave::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (const QScreen* screen = this->screen()) {
    const QRect area = screen->geometry();
    const QSize outer = frameGeometry().size();
    move(area.x() + qRound(area.width() / 2.0 - outer.width() / 2.0),
         area.y() + qRound(area.height() / 2.0 - outer.height() / 2.0));
  }
  filOpenSave_->setFocus();
}

// Enter opens the highlighted folder and goes no further: it must not also press "OK".
bool FrmOpenSave::eventFilter(QObject* watched, QEvent* event) {
  if (watched == dirOpenSave_ && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      openFolderAt(dirOpenSave_->currentRow());
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void FrmOpenSave::openFolderAt(int row) {
  const QListWidgetItem* item = dirOpenSave_->item(row);
  if (!item) return;
  const QString folder = item->data(kPathRole).toString();
  report(rules_.folderOpened(folder));
}

void FrmOpenSave::report(const QString& message) {
  refresh();
  if (message.isEmpty()) return;
  QMessageBox box(QMessageBox::Warning, QStringLiteral("FiberBridge"), message, QMessageBox::Ok, this);
  box.exec();
}

// Shows the rules' state; the blockers keep these updates from coming back as
// the user's own actions.
void FrmOpenSave::refresh() {
  {
    const QSignalBlocker blocker(txtOpenSave_);
    if (txtOpenSave_->text() != rules_.fileName()) txtOpenSave_->setText(rules_.fileName());
  }
  cmdOpenSave_[0]->setEnabled(rules_.okEnabled());
  labels_[2]->setText(rules_.pathLabel());

  {
    const QSignalBlocker blocker(drvOpenSave_);
    QStringList shown;
    for (int i = 0; i < drvOpenSave_->count(); ++i) shown << drvOpenSave_->itemData(i).toString();
    if (shown != rules_.drives()) {
      drvOpenSave_->clear();
      for (const QString& drive : rules_.drives()) drvOpenSave_->addItem(QDir::toNativeSeparators(drive), drive);
    }
    drvOpenSave_->setCurrentIndex(drvOpenSave_->findData(rules_.drive()));
  }

  if (shownFolderRevision_ != rules_.folderRevision()) {
    const QSignalBlocker blocker(dirOpenSave_);
    dirOpenSave_->clear();
    int openRow = -1;
    for (const FolderEntry& entry : rules_.folderEntries()) {
      // The open folder and its ancestors show open; the subfolders below it closed.
      const bool below = openRow >= 0;
      auto* item = new QListWidgetItem(entry.label, dirOpenSave_);
      item->setData(kPathRole, entry.path);
      item->setData(kDepthRole, entry.depth);
      item->setIcon(style()->standardIcon(below ? QStyle::SP_DirClosedIcon : QStyle::SP_DirOpenIcon));
      if (entry.open) openRow = dirOpenSave_->count() - 1;
    }
    dirOpenSave_->setCurrentRow(openRow);
    shownFolderRevision_ = rules_.folderRevision();
  }

  {
    const QSignalBlocker blocker(filOpenSave_);
    if (shownFilesRevision_ != rules_.filesRevision()) {
      filOpenSave_->clear();
      filOpenSave_->addItems(rules_.files());
      shownFilesRevision_ = rules_.filesRevision();
    }
    const int selected = rules_.selectedFile();
    if (selected >= 0 && filOpenSave_->currentRow() != selected) filOpenSave_->setCurrentRow(selected);
  }
}

void showDataFileDialog(QWidget* parent, const QString& title, const QString& initialText, std::string& dataFile) {
  FrmOpenSave dialog(parent);
  dialog.setWindowTitle(title);
  dialog.setFileNameText(initialText, 5);
  if (dialog.exec() == QDialog::Accepted) dataFile = dialog.acceptedPath().toStdString();
}

}  // namespace fb
