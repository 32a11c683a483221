#include "ui/frm_open_save.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>

#include "tests/ui/ui_test_support.h"
#include "ui/open_save_rules_testing.h"

namespace fb {
namespace {

template <typename W>
W* part(const QWidget& d, const char* name) {
  W* widget = d.findChild<W*>(name);
  EXPECT_NE(widget, nullptr) << name;
  return widget;
}
QLineEdit* box(const QWidget& d) { return part<QLineEdit>(d, "txtOpenSave"); }
QListWidget* files(const QWidget& d) { return part<QListWidget>(d, "filOpenSave"); }
QListWidget* folders(const QWidget& d) { return part<QListWidget>(d, "dirOpenSave"); }
QPushButton* okButton(const QWidget& d) { return part<QPushButton>(d, "cmdOpenSave0"); }
QString pathLabel(const QWidget& d) { return part<QLabel>(d, "lblOpenSave2")->text(); }

QStringList texts(const QListWidget* list) {
  QStringList all;
  for (int i = 0; i < list->count(); ++i) all << list->item(i)->text();
  return all;
}

void typeAndOk(const QWidget& d, const QString& text) {
  box(d)->selectAll();
  QTest::keyClicks(box(d), text);
  QTest::mouseClick(okButton(d), Qt::LeftButton);
}

// QTest sends a lone double-click event; a real one follows a click.
void clickItem(QListWidget* list, const QString& text, bool twice = false) {
  const QList<QListWidgetItem*> found = list->findItems(text, Qt::MatchExactly);
  ASSERT_EQ(found.size(), 1) << text.toStdString();
  const QPoint at = list->visualItemRect(found.first()).center();
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
  if (twice) QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
}

// Each test runs in a fresh folder made current. The watchdog's tick leaves
// a dialog driven by a test time to close.
class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(tmp_.isValid());
    root_ = QFileInfo(tmp_.path()).canonicalFilePath();
    ASSERT_TRUE(QDir::setCurrent(root_));
  }
  void TearDown() override { QDir::setCurrent(saved_); }

  QString path(const QString& relative) const { return root_ + '/' + relative; }
  void touch(const QStringList& relative) const {
    for (const QString& file : relative)
      ASSERT_TRUE(QFile(path(file)).open(QIODevice::WriteOnly)) << file.toStdString();
  }

  // Opens the dialog as the main window does, shown but not modal.
  static std::unique_ptr<FrmOpenSave> open() {
    auto dialog = std::make_unique<FrmOpenSave>();
    dialog->setFileNameText("*.p-d", 5);
    dialog->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    return dialog;
  }

  // Runs showDataFileDialog with `act` driving the modal dialog once it is up.
  static void showAndDrive(std::string& dataFile, const std::function<void(FrmOpenSave&)>& act) {
    QObject context;
    QTimer::singleShot(0, &context, [&act] {
      auto* dialog = qobject_cast<FrmOpenSave*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr) << "the dialog is not the modal window";
      act(*dialog);
    });
    showDataFileDialog(nullptr, "Data File Name", "*.p-d", dataFile);
  }

  QTemporaryDir tmp_;
  QString root_, saved_ = QDir::currentPath();
  fbtest::ModalWatchdog watchdog_{250};
};

TEST_F(DialogTest, ok_waits_for_typing_a_click_fills_the_box_and_a_double_click_accepts) {
  touch({"a.p-d", "b.p-d", "c.txt"});
  {
    const auto dialog = open();
    EXPECT_EQ(box(*dialog)->selectedText(), "*.p-d");
    EXPECT_FALSE(okButton(*dialog)->isEnabled());
    EXPECT_EQ(dialog->focusWidget(), files(*dialog));
    EXPECT_EQ(texts(files(*dialog)), QStringList({"a.p-d", "b.p-d"}));
    QTest::keyClicks(box(*dialog), "r");  // replaces the selected pattern
    EXPECT_EQ(box(*dialog)->text(), "r");
    EXPECT_TRUE(okButton(*dialog)->isEnabled());
    box(*dialog)->clear();
    QTest::keyClicks(box(*dialog), "*.p-d");
    EXPECT_TRUE(okButton(*dialog)->isEnabled()) << "nothing disables OK again";
    clickItem(files(*dialog), "b.p-d");
    EXPECT_EQ(box(*dialog)->text(), "b.p-d");
  }
  const auto dialog = open();
  ASSERT_FALSE(okButton(*dialog)->isEnabled());
  clickItem(files(*dialog), "a.p-d", true);
  EXPECT_EQ(dialog->result(), QDialog::Accepted);
  EXPECT_FALSE(dialog->isVisible());
  EXPECT_EQ(dialog->acceptedPath(), path("a.p-d"));
}

TEST_F(DialogTest, a_typed_name_new_or_existing_lands_in_the_shown_folder_unless_it_starts_at_a_root) {
  ASSERT_TRUE(QDir(root_).mkdir("sub"));
  touch({"old.p-d", "sub/in.p-d"});
  QTemporaryDir elsewhere;
  const QString absolute = QFileInfo(elsewhere.path()).canonicalFilePath() + "/fresh";
  // No extension is added; an existing file is taken as a double-click takes it;
  // a missing folder is reported and the dialog stays.
  const std::pair<QString, QString> cases[] = {
      {"run1", path("run1")},
      {absolute, absolute},
      {"nope/run1", ""},
      {"old.p-d", path("old.p-d")},
      {"sub/in.p-d", path("sub/in.p-d")},  // last: it shows sub
  };
  for (const auto& [typed, expected] : cases) {
    const auto dialog = open();
    typeAndOk(*dialog, typed);
    EXPECT_EQ(dialog->result(), expected.isEmpty() ? QDialog::Rejected : QDialog::Accepted) << typed.toStdString();
    EXPECT_EQ(dialog->isVisible(), expected.isEmpty());
    EXPECT_EQ(dialog->acceptedPath(), expected);
  }
  EXPECT_EQ(QDir::currentPath(), path("sub"));
  const QString missing = "No such file or directory: " + QDir::toNativeSeparators(path("nope"));
  EXPECT_EQ(watchdog_.take(), QStringList(fbtest::shown("FiberBridge", QMessageBox::Warning, missing)));
}

TEST_F(DialogTest, patterns_and_folders_typed_move_the_lists_and_keep_the_dialog_open) {
  ASSERT_TRUE(QDir(root_).mkdir("sub"));
  touch({"x.p-d", "y.txt", "z.csv", "sub/in.txt"});
  {
    const auto dialog = open();
    typeAndOk(*dialog, "*.txt;*.csv");
    EXPECT_EQ(texts(files(*dialog)), QStringList({"y.txt", "z.csv"}));
    EXPECT_EQ(box(*dialog)->text(), "*.txt;*.csv");

    typeAndOk(*dialog, "sub");  // and the box gets the pattern back
    EXPECT_EQ(box(*dialog)->text(), "*.txt;*.csv");
    EXPECT_EQ(texts(files(*dialog)), QStringList({"in.txt"}));
    EXPECT_EQ(folders(*dialog)->currentItem()->text(), "sub");
    EXPECT_EQ(pathLabel(*dialog), QDir::toNativeSeparators(path("sub")));
    EXPECT_EQ(QDir::currentPath(), path("sub"));

    typeAndOk(*dialog, "../*.txt");  // both, and the box shows the new pattern
    EXPECT_EQ(QDir::currentPath(), root_);
    EXPECT_EQ(texts(files(*dialog)), QStringList({"y.txt"}));
    EXPECT_EQ(box(*dialog)->text(), "*.txt");
    EXPECT_TRUE(dialog->isVisible());
  }
  const auto dialog = open();
  EXPECT_EQ(box(*dialog)->text(), "*.p-d");
  EXPECT_EQ(texts(files(*dialog)), QStringList({"x.p-d"}));
}

TEST_F(DialogTest, the_folder_list_opens_folders_and_the_next_opening_starts_in_the_one_shown_last) {
  ASSERT_TRUE(QDir(root_).mkpath("a/b/c") && QDir(root_).mkpath("a/b/d") && QDir(root_).mkpath("a/b/.hidden"));
  ASSERT_TRUE(QDir::setCurrent(path("a/b")));
  std::string dataFile;
  showAndDrive(dataFile, [](FrmOpenSave& d) {
    const QStringList lines = texts(folders(d));
    EXPECT_EQ(lines.first(), QDir::toNativeSeparators(QDir::rootPath()));
    EXPECT_EQ(lines.mid(lines.size() - 4), QStringList({"a", "b", "c", "d"}));
    clickItem(folders(d), "a", true);
    EXPECT_EQ(texts(folders(d)).last(), "b");
    d.reject();
  });
  EXPECT_EQ(QDir::currentPath(), path("a"));
  QString label;
  showAndDrive(dataFile, [&label](FrmOpenSave& d) {
    label = pathLabel(d);
    typeAndOk(d, "run2");
  });
  EXPECT_EQ(label, QDir::toNativeSeparators(path("a")));
  EXPECT_EQ(dataFile, path("a/run2").toStdString());
}

TEST_F(DialogTest, cancel_escape_and_the_close_box_leave_the_data_file_alone) {
  for (int way = 0; way < 3; ++way) {
    std::string dataFile = "earlier.p-d";
    showAndDrive(dataFile, [way](FrmOpenSave& d) {
      QTest::keyClicks(box(d), "run1");
      if (way == 0) QTest::mouseClick(part<QPushButton>(d, "cmdOpenSave1"), Qt::LeftButton);
      if (way == 1) QTest::keyClick(&d, Qt::Key_Escape);
      if (way == 2) d.close();
    });
    EXPECT_EQ(dataFile, "earlier.p-d") << way;
  }
}

TEST(OpenSaveRules, joins_a_name_to_its_folder_with_one_separator_and_finds_its_volume) {
  EXPECT_EQ(joinFolderAndName("/data", "run1", u'/'), "/data/run1");
  EXPECT_EQ(joinFolderAndName("/", "run1", u'/'), "/run1");
  EXPECT_EQ(joinFolderAndName("C:\\data", "run1", u'\\'), "C:\\data\\run1");
  EXPECT_EQ(joinFolderAndName("C:\\", "run1", u'\\'), "C:\\run1");
  EXPECT_EQ(joinFolderAndName("/data", "run1.txt ", u'/'), "/data/run1.txt ");  // exactly as typed

  const QStringList drives = {"/", "/mnt/usb"};
  EXPECT_EQ(driveOf("/mnt/usb/data", drives), "/mnt/usb");
  EXPECT_EQ(driveOf("/mnt/usb", drives), "/mnt/usb");
  EXPECT_EQ(driveOf("/mnt/usbkey", drives), "/");  // a name prefix is not a parent
  EXPECT_EQ(driveOf("/home/user", drives), "/");
}

TEST(OpenSaveRules, tests_typed_names_as_the_file_system_sees_them) {
  QTemporaryDir tmp;
  const QString root = tmp.path(), in = QDir::toNativeSeparators(root) + QDir::separator();
  ASSERT_TRUE(QDir(root).mkdir("sub") && QFile(root + "/old.p-d").open(QIODevice::WriteOnly));
  const struct {
    QString typed;
    bool exists;
    QString problemStart;  // empty: no problem
  } cases[] = {
      {"old.p-d", true, ""},
      {root + "/old.p-d", true, ""},
      {"sub/run1", false, ""},
      {"nope/../run1", false, "No such file or directory: " + in + "nope"},  // not cleaned away
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
TEST_F(DialogTest, rules_move_between_volumes_and_land_in_the_folder_typed) {
  ASSERT_TRUE(QDir(root_).mkdir("sub"));
  OpenSaveRules rules({QDir::rootPath(), root_});
  rules.load();
  EXPECT_EQ(rules.drive(), root_);
  EXPECT_TRUE(rules.driveChosen(QDir::rootPath()).isEmpty());
  EXPECT_EQ(rules.folder(), QDir::rootPath());
  EXPECT_EQ(QDir::currentPath(), QDir::rootPath());

  rules.fileNameChanged(path("sub"));
  EXPECT_TRUE(rules.okPressed().isEmpty());
  EXPECT_EQ(rules.drive(), root_);
  EXPECT_EQ(rules.folder(), path("sub"));
  EXPECT_EQ(OpenSaveRulesTesting::fileFolder(rules), path("sub"));
  EXPECT_EQ(rules.fileName(), kDataFilePattern);
  EXPECT_EQ(QDir::currentPath(), path("sub"));
  EXPECT_FALSE(rules.accepted());
}

}  // namespace
}  // namespace fb

int main(int argc, char** argv) {
  // Test discovery runs the binary too, so it must not need a display either.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
