#include "ui/open_save_rules.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <algorithm>
#include <filesystem>
#include <system_error>

namespace fb {

namespace {

namespace fs = std::filesystem;

constexpr Qt::CaseSensitivity kPathCase = Qt::CaseSensitive;

fs::path toFsPath(const QString& path) { return fs::path(QFile::encodeName(path).toStdString()); }

QString describe(const std::error_code& ec, const QString& path) {
  return QString::fromLocal8Bit(ec.message()) + QStringLiteral(": ") + QDir::toNativeSeparators(path);
}

QString describe(std::errc e, const QString& path) { return describe(std::make_error_code(e), path); }

// Where the folder part of a typed name ends; -1 for a bare name.
qsizetype lastSeparator(const QString& text) { return text.lastIndexOf(u'/'); }

// The folder part of a path, keeping the separator of a root ("/", "C:/").
QString parentOf(const QString& path) {
  const qsizetype cut = lastSeparator(path);
  if (cut < 0) return {};
  const QString head = path.left(cut);
  if (head.isEmpty() || head.endsWith(u':')) return path.left(cut + 1);
  return head;
}

bool namesFolderOnly(const QString& name) {
  return name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..");
}

bool liesIn(const QString& folder, const QString& root) {
  if (root.endsWith(u'/')) return folder.startsWith(root, kPathCase);
  return folder.compare(root, kPathCase) == 0 || folder.startsWith(root + u'/', kPathCase);
}

}  // namespace

bool isPattern(const QString& name) { return name.contains(u'*') || name.contains(u'?'); }

QStringList splitPatterns(const QString& pattern) {
  QStringList parts;
  for (const QString& part : pattern.split(u';')) {
    const QString trimmed = part.trimmed();
    if (!trimmed.isEmpty()) parts << trimmed;
  }
  return parts;
}

QString joinFolderAndName(const QString& folder, const QString& name, QChar separator) {
  if (folder.endsWith(separator)) return folder + name;
  return folder + separator + name;
}

QString driveOf(const QString& folder, const QStringList& drives) {
  QString best;
  for (const QString& drive : drives)
    if (drive.size() > best.size() && liesIn(folder, drive)) best = drive;
  if (!best.isEmpty()) return best;
  return QDir::rootPath();
}

QStringList listDrives() {
  QStringList drives;
  // Volumes that are not ready or are mounted over a single file cannot hold a
  // data file folder.
  for (const QStorageInfo& volume : QStorageInfo::mountedVolumes())
    if (volume.isValid() && volume.isReady() && QFileInfo(volume.rootPath()).isDir()) drives << volume.rootPath();
  if (drives.isEmpty()) drives << QDir::rootPath();
  drives.removeDuplicates();
  drives.sort(kPathCase);
  return drives;
}

QString folderProblem(const QString& folder) {
  std::error_code ec;
  const fs::file_status status = fs::status(toFsPath(folder), ec);
  if (ec) return describe(ec, folder);
  if (!fs::is_directory(status)) return describe(std::errc::not_a_directory, folder);
  const QFileInfo info(folder);
  const bool enterable = info.isReadable() && info.isExecutable();
  if (!enterable) return describe(std::errc::permission_denied, folder);
  return {};
}

NameTest testTypedName(const QString& folder, const QString& typed) {
  if (typed.isEmpty()) return {false, QStringLiteral("No file name was typed.")};
  if (typed.contains(QChar(0))) return {false, describe(std::errc::invalid_argument, typed)};

  // Not cleaned: "missing/../name" must fail on "missing" as the file system would.
  const QString full = QDir(folder).absoluteFilePath(typed);
  if (namesFolderOnly(typed.mid(lastSeparator(typed) + 1))) {
    const QString problem = folderProblem(full);
    return {problem.isEmpty(), problem};
  }

  const QString parent = parentOf(full);
  std::error_code ec;
  const fs::file_status parentStatus = fs::status(toFsPath(parent), ec);
  if (ec) return {false, describe(ec, parent)};
  if (!fs::is_directory(parentStatus)) return {false, describe(std::errc::not_a_directory, parent)};

  (void)fs::status(toFsPath(full), ec);
  if (!ec) return {true, {}};
  if (ec == std::errc::no_such_file_or_directory) return {false, {}};
  return {false, describe(ec, full)};
}

OpenSaveRules::OpenSaveRules(QStringList drives) : drives_(std::move(drives)) {}

OpenSaveRules::OpenSaveRules() : OpenSaveRules(listDrives()) {}

void OpenSaveRules::load() {
  QString current = QDir::currentPath();
  if (!folderProblem(current).isEmpty()) current = QDir::homePath();
  if (!folderProblem(current).isEmpty()) current = QDir::rootPath();
  setDrive(driveOf(current, drives_), current);
  setFolder(current);
  pathLabel_ = QDir::toNativeSeparators(folder_);
}

void OpenSaveRules::fileNameChanged(const QString& text) { setFileName(text); }

QString OpenSaveRules::driveChosen(const QString& drive) {
  if (drive == drive_) return {};
  // Folders are not remembered per drive, so another drive opens at its root.
  QString problem = folderProblem(drive);
  if (!problem.isEmpty()) return problem;
  setDrive(drive, QDir::cleanPath(drive));
  return {};
}

QString OpenSaveRules::folderOpened(const QString& folder) {
  const QString target = QDir::cleanPath(folder);
  if (target == folder_) return {};
  QString problem = folderProblem(target);
  if (!problem.isEmpty()) return problem;
  setFolder(target);
  return {};
}

void OpenSaveRules::fileClicked(int index) {
  if (index < 0 || index >= files_.size()) return;
  selectedFile_ = index;
  setFileName(files_[index]);
}

void OpenSaveRules::fileDoubleClicked(int index) {
  if (accepted_ || index < 0 || index >= files_.size()) return;
  selectedFile_ = index;
  accept(joinFolderAndName(nativeFileFolder(), files_[index], QDir::separator()));
}

QString OpenSaveRules::okPressed() {
  if (accepted_) return {};
  QString message;
  if (assignFileName(fileName_, message) == Assignment::taken) return message;

  const NameTest test = testTypedName(fileFolder_, fileName_);
  if (!test.problem.isEmpty()) return test.problem;
  if (test.exists) return {};

  // A new file, named exactly as typed: no extension is added. A path that
  // starts at a root stands on its own rather than under the shown folder.
  if (QDir::isAbsolutePath(fileName_))
    accept(fileName_);
  else
    accept(joinFolderAndName(nativeFileFolder(), fileName_, QDir::separator()));
  return {};
}

// The file list takes a typed name: a folder shows that folder, a pattern (with
// or without a folder in front) filters, an existing file is accepted as if
// double-clicked. Anything else fails, and okPressed tests the name itself.
OpenSaveRules::Assignment OpenSaveRules::assignFileName(const QString& text, QString& message) {
  if (text.isEmpty() || text.contains(QChar(0))) return Assignment::failed;
  const qsizetype cut = lastSeparator(text);
  const QString name = text.mid(cut + 1);
  const QString whole = resolve(text);

  if (QFileInfo(whole).isDir()) {
    message = folderProblem(whole);
    if (message.isEmpty()) setFileFolder(whole);
    return Assignment::taken;
  }
  if (namesFolderOnly(name)) return Assignment::failed;

  if (isPattern(name)) {
    const QString folder = cut < 0 ? fileFolder_ : resolve(text.left(cut + 1));
    if (!QFileInfo(folder).isDir()) return Assignment::failed;
    message = folderProblem(folder);
    if (!message.isEmpty()) return Assignment::taken;
    const bool unchanged = name == pattern_ && folder == fileFolder_;
    // The pattern first, so that the folder's change puts the new pattern in the box.
    setPattern(name);
    setFileFolder(folder);
    if (unchanged) rescanFiles();  // the same pattern again still shows new files
    return Assignment::taken;
  }

  const QFileInfo file(whole);
  if (!file.isFile()) return Assignment::failed;
  const QString folder = file.absolutePath();
  if (folderProblem(folder).isEmpty()) {
    setFileFolder(folder);
    selectedFile_ = static_cast<int>(files_.indexOf(file.fileName()));
  }
  accept(joinFolderAndName(QDir::toNativeSeparators(folder), file.fileName(), QDir::separator()));
  return Assignment::taken;
}

void OpenSaveRules::accept(const QString& path) {
  accepted_ = true;
  acceptedPath_ = path;
}

// The file-name box changed: any text but the first pattern enables "OK", and
// nothing disables it again.
void OpenSaveRules::setFileName(const QString& text) {
  if (text == fileName_) return;
  fileName_ = text;
  if (fileName_ != kDataFilePattern) okEnabled_ = true;
}

void OpenSaveRules::setDrive(const QString& drive, const QString& folderOnIt) {
  if (drive == drive_) return;
  if (!drives_.contains(drive)) {
    drives_ << drive;
    drives_.sort(kPathCase);
  }
  drive_ = drive;
  driveChanged(folderOnIt);
}

// The process's current drive follows: the folder list makes its folder current.
void OpenSaveRules::driveChanged(const QString& folderOnIt) { setFolder(folderOnIt); }

void OpenSaveRules::setFolder(const QString& folder) {
  if (folder == folder_) return;
  folder_ = folder;

  QStringList chain;
  QString step = folder_;
  for (int guard = 0; guard < 4096; ++guard) {
    chain.prepend(step);
    const QString up = QFileInfo(step).path();
    if (up == step) break;
    step = up;
  }
  folderEntries_.clear();
  for (int depth = 0; depth < chain.size(); ++depth) {
    const QString& path = chain[depth];
    const QString label = depth == 0 ? QDir::toNativeSeparators(path) : QFileInfo(path).fileName();
    folderEntries_.push_back({path, label, depth, depth == chain.size() - 1});
  }
  const QStringList subfolders =
      QDir(folder_).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
  for (const QString& name : subfolders)
    folderEntries_.push_back({joinFolderAndName(folder_, name, u'/'), name, int(chain.size()), false});
  ++folderRevision_;

  folderChanged();
}

void OpenSaveRules::folderChanged() {
  setFileFolder(folder_);
  pathLabel_ = QDir::toNativeSeparators(folder_);
  // A bare name typed later lands here, and the next opening starts here.
  QDir::setCurrent(folder_);
}

void OpenSaveRules::setFileFolder(const QString& folder) {
  if (folder == fileFolder_) return;
  fileFolder_ = folder;
  rescanFiles();
  fileFolderChanged();
}

void OpenSaveRules::fileFolderChanged() {
  setFileName(pattern_);
  setDrive(driveOf(fileFolder_, drives_), fileFolder_);
  setFolder(fileFolder_);
}

void OpenSaveRules::setPattern(const QString& pattern) {
  if (pattern == pattern_) return;
  pattern_ = pattern;
  rescanFiles();
  patternChanged();
}

// The box keeps the pattern as typed.
void OpenSaveRules::patternChanged() {
  setDrive(driveOf(fileFolder_, drives_), fileFolder_);
  setFolder(fileFolder_);
}

void OpenSaveRules::rescanFiles() {
  files_ = QDir(fileFolder_).entryList(splitPatterns(pattern_), QDir::Files, QDir::Name | QDir::IgnoreCase);
  selectedFile_ = -1;
  ++filesRevision_;
}

QString OpenSaveRules::resolve(const QString& typed) const {
  return QDir::cleanPath(QDir(fileFolder_).absoluteFilePath(typed));
}

QString OpenSaveRules::nativeFileFolder() const { return QDir::toNativeSeparators(fileFolder_); }

}  // namespace fb
