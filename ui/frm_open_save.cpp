#include "ui/frm_open_save.h"

#include <QComboBox>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <algorithm>

#include "ui/window_toolkit.h"

namespace fb {

namespace {

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
  setFixedSize(pixels(5760), pixels(3810));
  setFont(programFont());
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
  labels_[2]->setFont(programFont(9));

  fileName_ = new QLineEdit(this);
  fileName_->setObjectName(QStringLiteral("txtOpenSave"));
  fileName_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  fileName_->setGeometry(twipsRect(120, 360, 2055, 315));

  fileList_ = new QListWidget(this);
  fileList_->setObjectName(QStringLiteral("filOpenSave"));
  fileList_->setSelectionMode(QAbstractItemView::SingleSelection);
  fileList_->setGeometry(twipsRect(120, 720, 2055, 2820));

  // The drive list lies over part of the path label.
  driveList_ = new QComboBox(this);
  driveList_->setObjectName(QStringLiteral("drvOpenSave"));
  driveList_->setGeometry(twipsRect(2280, 360, 3375, 315));

  folderList_ = new QListWidget(this);
  folderList_->setObjectName(QStringLiteral("dirOpenSave"));
  folderList_->setSelectionMode(QAbstractItemView::SingleSelection);
  folderList_->setItemDelegate(new FolderIndentDelegate(folderList_));
  folderList_->setGeometry(twipsRect(2280, 960, 3375, 2280));
  folderList_->installEventFilter(this);

  ok_ = new QPushButton(QStringLiteral("OK"), this);
  ok_->setObjectName(QStringLiteral("cmdOpenSave0"));
  ok_->setGeometry(twipsRect(2640, 3360, 1095, 375));
  ok_->setDefault(true);
  ok_->setEnabled(false);

  cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
  cancel_->setObjectName(QStringLiteral("cmdOpenSave1"));
  cancel_->setGeometry(twipsRect(4200, 3360, 1095, 375));

  setTabOrder(fileList_, folderList_);
  setTabOrder(folderList_, fileName_);
  setTabOrder(fileName_, driveList_);
  setTabOrder(driveList_, ok_);
  setTabOrder(ok_, cancel_);
}

void FrmOpenSave::connectEvents() {
  connect(fileName_, &QLineEdit::textChanged, this, [this](const QString& text) {
    rules_.fileNameChanged(text);
    refresh();
  });

  // A file picked by mouse or by the arrow keys goes into the box.
  const auto fileClicked = [this](int row) {
    rules_.fileClicked(row);
    refresh();
  };
  connect(fileList_, &QListWidget::itemSelectionChanged, this, [this, fileClicked] {
    const QList<QListWidgetItem*> picked = fileList_->selectedItems();
    if (!picked.isEmpty()) fileClicked(fileList_->row(picked.first()));
  });
  connect(fileList_, &QListWidget::itemClicked, this,
          [this, fileClicked](QListWidgetItem* item) { fileClicked(fileList_->row(item)); });
  connect(fileList_, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
    rules_.fileDoubleClicked(fileList_->row(item));
    refresh();
    if (rules_.accepted()) accept();
  });

  connect(folderList_, &QListWidget::itemDoubleClicked, this,
          [this](QListWidgetItem* item) { openFolderAt(folderList_->row(item)); });

  connect(driveList_, &QComboBox::activated, this,
          [this](int index) { report(rules_.driveChosen(driveList_->itemData(index).toString())); });

  connect(ok_, &QPushButton::clicked, this, [this] {
    report(rules_.okPressed());
    if (rules_.accepted()) accept();
  });
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
}

void FrmOpenSave::setFileNameText(const QString& text, int selectFirst) {
  fileName_->setText(text);
  fileName_->setSelection(0, std::min<int>(selectFirst, static_cast<int>(text.size())));
}

QString FrmOpenSave::acceptedPath() const { return rules_.accepted() ? rules_.acceptedPath() : QString(); }

void FrmOpenSave::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  centreOnScreen(this);
  fileList_->setFocus();
}

// Enter opens the highlighted folder and goes no further: it must not also press "OK".
bool FrmOpenSave::eventFilter(QObject* watched, QEvent* event) {
  if (watched == folderList_ && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      openFolderAt(folderList_->currentRow());
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void FrmOpenSave::openFolderAt(int row) {
  const QListWidgetItem* item = folderList_->item(row);
  if (!item) return;
  const QString folder = item->data(kPathRole).toString();
  report(rules_.folderOpened(folder));
}

void FrmOpenSave::report(const QString& message) {
  refresh();
  if (message.isEmpty()) return;
  showWarning(this, QStringLiteral("FiberBridge"), message);
}

// Shows the rules' state; the blockers keep these updates from coming back as
// the user's own actions.
void FrmOpenSave::refresh() {
  {
    const QSignalBlocker blocker(fileName_);
    if (fileName_->text() != rules_.fileName()) fileName_->setText(rules_.fileName());
  }
  ok_->setEnabled(rules_.okEnabled());
  labels_[2]->setText(rules_.pathLabel());

  {
    const QSignalBlocker blocker(driveList_);
    QStringList shown;
    for (int i = 0; i < driveList_->count(); ++i) shown << driveList_->itemData(i).toString();
    if (shown != rules_.drives()) {
      driveList_->clear();
      for (const QString& drive : rules_.drives()) driveList_->addItem(QDir::toNativeSeparators(drive), drive);
    }
    driveList_->setCurrentIndex(driveList_->findData(rules_.drive()));
  }

  if (shownFolderRevision_ != rules_.folderRevision()) {
    const QSignalBlocker blocker(folderList_);
    folderList_->clear();
    int openRow = -1;
    for (const FolderEntry& entry : rules_.folderEntries()) {
      // The open folder and its ancestors show open; the subfolders below it closed.
      const bool below = openRow >= 0;
      auto* item = new QListWidgetItem(entry.label, folderList_);
      item->setData(kPathRole, entry.path);
      item->setData(kDepthRole, entry.depth);
      item->setIcon(style()->standardIcon(below ? QStyle::SP_DirClosedIcon : QStyle::SP_DirOpenIcon));
      if (entry.open) openRow = folderList_->count() - 1;
    }
    folderList_->setCurrentRow(openRow);
    shownFolderRevision_ = rules_.folderRevision();
  }

  {
    const QSignalBlocker blocker(fileList_);
    if (shownFilesRevision_ != rules_.filesRevision()) {
      fileList_->clear();
      fileList_->addItems(rules_.files());
      shownFilesRevision_ = rules_.filesRevision();
    }
    const int selected = rules_.selectedFile();
    if (selected >= 0 && fileList_->currentRow() != selected) fileList_->setCurrentRow(selected);
  }
}

void showDataFileDialog(QWidget* parent, const QString& title, const QString& initialText, std::string& dataFile) {
  FrmOpenSave dialog(parent);
  dialog.setWindowTitle(title);
  dialog.setFileNameText(initialText, 5);
  if (dialog.exec() == QDialog::Accepted) dataFile = dialog.acceptedPath().toStdString();
}

}  // namespace fb
