#pragma once

// The data file name dialog without its widgets. Each public event below is one
// thing the user does; setting a list from inside an event raises that list's own
// change at once, nested, and only when its value really changes, so every chain
// of changes comes to rest. The dialog's views read the state back afterwards.
//
// Folders are kept in Qt's form ("/" separators); texts meant for the user, the
// path label and the accepted path, use the platform's separator.

#include <QLatin1String>
#include <QList>
#include <QString>
#include <QStringList>

namespace fb {

/// The pattern the file list starts with; while the file-name box shows exactly
/// this text, "OK" has not been enabled yet.
inline constexpr QLatin1String kDataFilePattern("*.p-d");

/// True when a name holds a wildcard and so is a file list pattern.
bool isPattern(const QString& name);

/// The patterns of a file list pattern such as "*.p-d;*.txt".
QStringList splitPatterns(const QString& pattern);

/// folder + separator + name, with no second separator when the folder is a
/// root that already ends in one ("/" or "C:\").
QString joinFolderAndName(const QString& folder, const QString& name, QChar separator);

/// The drive (volume root) holding a folder: the longest of `drives` that the
/// folder lies in, or the folder's file-system root when none does.
QString driveOf(const QString& folder, const QStringList& drives);

/// The drives of this machine: the roots of its mounted volumes.
QStringList listDrives();

/// Why a folder cannot be shown (missing, not a folder, not readable), as the
/// system words it followed by the folder; empty when it can be shown.
QString folderProblem(const QString& folder);

/// The outcome of testing whether a typed name names an existing file.
struct NameTest {
  bool exists = false;
  QString problem;  // the system's description when the test itself failed
};

/// Tests a name typed into the file-name box, resolved against `folder` unless it
/// starts at a root. A missing file is no problem; a missing or unreadable folder
/// part, an over-long or malformed name is.
NameTest testTypedName(const QString& folder, const QString& typed);

/// One line of the folder list: the root, each ancestor, the open folder, then
/// its subfolders one level deeper.
struct FolderEntry {
  QString path;
  QString label;
  int depth = 0;
  bool open = false;  // the folder the list stands in
};

class OpenSaveRules {
 public:
  explicit OpenSaveRules(QStringList drives);
  OpenSaveRules();

  /// Load: the drive list, the folder list and the path label follow the
  /// process's current folder (or home, when that folder has gone).
  void load();

  /// The file-name box changed, typed or set.
  void fileNameChanged(const QString& text);

  /// A drive picked in the drive list; returns the message to show, if any.
  QString driveChosen(const QString& drive);

  /// A folder opened in the folder list; returns the message to show, if any.
  QString folderOpened(const QString& folder);

  void fileClicked(int index);
  void fileDoubleClicked(int index);

  /// "OK": the box's text as a folder, a pattern, an existing file or a new name.
  /// Returns the message to show, if any.
  QString okPressed();

  const QString& fileName() const { return fileName_; }
  bool okEnabled() const { return okEnabled_; }
  const QStringList& drives() const { return drives_; }
  const QString& drive() const { return drive_; }
  const QString& folder() const { return folder_; }
  const QList<FolderEntry>& folderEntries() const { return folderEntries_; }
  const QString& pattern() const { return pattern_; }
  const QStringList& files() const { return files_; }
  int selectedFile() const { return selectedFile_; }
  const QString& pathLabel() const { return pathLabel_; }
  bool accepted() const { return accepted_; }
  /// The chosen full path, once accepted.
  const QString& acceptedPath() const { return acceptedPath_; }

  /// Bumped whenever the folder list's or the file list's lines change, so a view
  /// refills only what changed.
  unsigned folderRevision() const { return folderRevision_; }
  unsigned filesRevision() const { return filesRevision_; }

 private:
  friend struct OpenSaveRulesTesting;

  // Setting a value raises its change only when the value differs.
  void setFileName(const QString& text);
  void setDrive(const QString& drive, const QString& folderOnIt);
  void setFolder(const QString& folder);
  void setFileFolder(const QString& folder);
  void setPattern(const QString& pattern);

  // The changes the lists raise.
  void driveChanged(const QString& folderOnIt);
  void folderChanged();
  void fileFolderChanged();
  void patternChanged();

  enum class Assignment { taken, failed };
  Assignment assignFileName(const QString& text, QString& message);
  void accept(const QString& path);
  void rescanFiles();
  QString resolve(const QString& typed) const;
  QString nativeFileFolder() const;

  QString fileName_{kDataFilePattern};
  bool okEnabled_ = false;
  QStringList drives_;
  QString drive_;
  QString folder_;
  QList<FolderEntry> folderEntries_;
  QString fileFolder_;
  QString pattern_{kDataFilePattern};
  QStringList files_;
  int selectedFile_ = -1;
  QString pathLabel_;
  bool accepted_ = false;
  QString acceptedPath_;
  unsigned folderRevision_ = 0;
  unsigned filesRevision_ = 0;
};

}  // namespace fb
