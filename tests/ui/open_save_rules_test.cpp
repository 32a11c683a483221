#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "open_save_rules.h"

// Failures show the text itself rather than its UTF-16 units.
static void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace fb {
namespace {

TEST(OpenSaveRules, joins_a_name_to_its_folder_with_one_separator) {
  struct Case {
    const char* folder;
    const char* name;
    char separator;
    const char* expected;
  };
  const Case cases[] = {
      {"/data", "run1", '/', "/data/run1"},
      {"/", "run1", '/', "/run1"},
      {"C:\\data", "run1", '\\', "C:\\data\\run1"},
      {"C:\\", "run1", '\\', "C:\\run1"},
      {"/data", "run1.txt ", '/', "/data/run1.txt "},  // exactly as typed
  };
  for (const Case& c : cases)
    EXPECT_EQ(joinFolderAndName(c.folder, c.name, QLatin1Char(c.separator)), QString(c.expected)) << c.folder;
}

TEST(OpenSaveRules, finds_the_volume_a_folder_lies_on) {
  const QStringList drives = {"/", "/mnt/usb"};
  EXPECT_EQ(driveOf("/mnt/usb/data", drives), "/mnt/usb");
  EXPECT_EQ(driveOf("/mnt/usb", drives), "/mnt/usb");
  EXPECT_EQ(driveOf("/mnt/usbkey", drives), "/");  // a name prefix is not a parent
  EXPECT_EQ(driveOf("/home/user", drives), "/");
}

TEST(OpenSaveRules, tests_typed_names_as_the_file_system_sees_them) {
  QTemporaryDir tmp;
  ASSERT_TRUE(tmp.isValid());
  const QString root = tmp.path();
  ASSERT_TRUE(QDir(root).mkdir("sub"));
  ASSERT_TRUE(QFile(root + "/old.p-d").open(QIODevice::WriteOnly));

  const QString in = QDir::toNativeSeparators(root) + QDir::separator();
  const struct {
    QString typed;
    bool exists;
    QString problemStart;  // empty: no problem
  } cases[] = {
      {"old.p-d", true, ""},
      {root + "/old.p-d", true, ""},
      {"run1", false, ""},
      {"sub/run1", false, ""},
      {"nope/run1", false, "No such file or directory: " + in + "nope"},
      {"nope/../run1", false, "No such file or directory: "},  // not cleaned away
      {"old.p-d/run1", false, "Not a directory: " + in + "old.p-d"},
      {"nope/", false, "No such file or directory: "},
      {QString(300, u'x'), false, "File name too long: "},
      {"", false, "No file name was typed."},
  };
  for (const auto& c : cases) {
    const NameTest test = testTypedName(root, c.typed);
    EXPECT_EQ(test.exists, c.exists) << c.typed.toStdString();
    EXPECT_EQ(test.problem.isEmpty(), c.problemStart.isEmpty()) << c.typed.toStdString();
    EXPECT_EQ(test.problem.left(c.problemStart.size()), c.problemStart);
  }
}

// The temporary folder stands in for a second volume. A path typed onto another
// volume must land in the folder typed, not at that volume's root.
TEST(OpenSaveRules, moves_between_volumes_and_lands_in_the_folder_typed) {
  QTemporaryDir tmp;
  ASSERT_TRUE(tmp.isValid());
  const QString volume = QFileInfo(tmp.path()).canonicalFilePath();
  ASSERT_TRUE(QDir(volume).mkdir("sub"));
  const QString saved = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(volume));

  OpenSaveRules rules({QDir::rootPath(), volume});
  rules.load();
  EXPECT_EQ(rules.drive(), volume);
  EXPECT_TRUE(rules.driveChosen(QDir::rootPath()).isEmpty());
  EXPECT_EQ(rules.folder(), QDir::rootPath());
  EXPECT_EQ(QDir::currentPath(), QDir::rootPath());

  rules.fileNameChanged(volume + "/sub");
  EXPECT_TRUE(rules.okPressed().isEmpty());
  EXPECT_EQ(rules.drive(), volume);
  EXPECT_EQ(rules.folder(), volume + "/sub");
  EXPECT_EQ(rules.fileFolder(), volume + "/sub");
  EXPECT_EQ(rules.fileName(), kDataFilePattern);
  EXPECT_EQ(QDir::currentPath(), volume + "/sub");
  EXPECT_FALSE(rules.accepted());
  QDir::setCurrent(saved);
}

}  // namespace
}  // namespace fb
