#pragma once

#include <QDialog>
#include <QString>
#include <string>

#include "ui/open_save_rules.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QWidget;

namespace fb {

/// Shows the data file name dialog modally and returns when it has closed.
/// On acceptance `dataFile` holds the chosen full path; otherwise it is left as it was.
void showDataFileDialog(QWidget* parent, const QString& title, const QString& initialText, std::string& dataFile);

/// The data file name dialog: a file-name box, a file list filtered by a pattern,
/// a drive list, a folder list, "OK" and "Cancel". Its widgets only pass the
/// user's actions to OpenSaveRules and show what the rules leave behind. It
/// starts in the process's current folder and keeps that folder equal to the one
/// it shows.
class FrmOpenSave : public QDialog {
  Q_OBJECT

 public:
  explicit FrmOpenSave(QWidget* parent = nullptr);

  /// Puts a text into the file-name box as a change of the box, then selects its
  /// first `selectFirst` characters so that typing replaces them.
  void setFileNameText(const QString& text, int selectFirst);

  /// The chosen full path once the dialog has accepted one; empty before.
  QString acceptedPath() const;

  const OpenSaveRules& rules() const { return rules_; }

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void build();
  void connectEvents();
  void refresh();
  void report(const QString& message);
  void openFolderAt(int row);

  OpenSaveRules rules_;
  QLabel* labels_[4] = {};
  QLineEdit* fileName_ = nullptr;
  QListWidget* fileList_ = nullptr;
  QComboBox* driveList_ = nullptr;
  QListWidget* folderList_ = nullptr;
  QPushButton* ok_ = nullptr;      // cmdOpenSave 0
  QPushButton* cancel_ = nullptr;  // cmdOpenSave 1
  unsigned shownFolderRevision_ = ~0u;
  unsigned shownFilesRevision_ = ~0u;
};

}  // namespace fb
