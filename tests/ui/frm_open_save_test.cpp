#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

#include "frm_open_save.h"

// Failures show the text itself rather than its UTF-16 units.
static void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace fb {
namespace {

template <typename W = QWidget>
W* part(const QWidget& dialog, const char* name) {
  W* widget = dialog.findChild<W*>(name);
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

// Each test runs in a fresh folder made current. A modal window left open for
// long (a message box nobody expected, a dialog that never closes) is closed and
// fails the test instead of hanging the suite.
class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = QDir::currentPath();
    ASSERT_TRUE(tmp_.isValid());
    root_ = QFileInfo(tmp_.path()).canonicalFilePath();
    ASSERT_TRUE(QDir::setCurrent(root_));
    QObject::connect(&watchdog_, &QTimer::timeout, [this] {
      QWidget* modal = QApplication::activeModalWidget();
      if (modal != lastModal_) {
        lastModal_ = modal;
        modalSince_.start();
      } else if (modal && modalSince_.elapsed() > 3000) {
        const auto* message = qobject_cast<QMessageBox*>(modal);
        ADD_FAILURE() << "modal window left open: " << (message ? message->text() : modal->windowTitle()).toStdString();
        modal->close();
      }
    });
    watchdog_.start(50);
  }
  void TearDown() override { QDir::setCurrent(saved_); }

  QString path(const QString& relative) const { return root_ + '/' + relative; }
  void touch(const QString& relative) const { ASSERT_TRUE(QFile(path(relative)).open(QIODevice::WriteOnly)); }
  void mkdir(const QString& relative) const { ASSERT_TRUE(QDir(root_).mkpath(relative)); }

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
  QString root_, saved_;
  QTimer watchdog_;
  QPointer<QWidget> lastModal_;
  QElapsedTimer modalSince_;
};

TEST_F(DialogTest, opens_with_ok_disabled_until_typing_and_never_disables_it_again) {
  const auto dialog = open();
  EXPECT_EQ(box(*dialog)->selectedText(), "*.p-d");
  EXPECT_FALSE(okButton(*dialog)->isEnabled());
  EXPECT_EQ(dialog->focusWidget(), files(*dialog));

  QTest::keyClicks(box(*dialog), "r");  // replaces the selected pattern
  EXPECT_EQ(box(*dialog)->text(), "r");
  EXPECT_TRUE(okButton(*dialog)->isEnabled());
  box(*dialog)->clear();
  QTest::keyClicks(box(*dialog), "*.p-d");
  EXPECT_TRUE(okButton(*dialog)->isEnabled());
}

TEST_F(DialogTest, click_fills_the_box_and_double_click_accepts_even_with_ok_disabled) {
  touch("a.p-d");
  touch("b.p-d");
  touch("c.txt");
  {
    const auto dialog = open();
    EXPECT_EQ(texts(files(*dialog)), QStringList({"a.p-d", "b.p-d"}));
    clickItem(files(*dialog), "b.p-d");
    EXPECT_EQ(box(*dialog)->text(), "b.p-d");
    EXPECT_TRUE(okButton(*dialog)->isEnabled());
  }
  const auto dialog = open();
  ASSERT_FALSE(okButton(*dialog)->isEnabled());
  clickItem(files(*dialog), "a.p-d", true);
  EXPECT_EQ(dialog->result(), QDialog::Accepted);
  EXPECT_FALSE(dialog->isVisible());
  EXPECT_EQ(dialog->acceptedPath(), path("a.p-d"));
}

TEST_F(DialogTest, a_new_name_lands_in_the_shown_folder_unless_it_starts_at_a_root) {
  QTemporaryDir elsewhere;
  const QString absolute = QFileInfo(elsewhere.path()).canonicalFilePath() + "/fresh";
  for (const auto& [typed, expected] : {std::pair{QString("run1"), path("run1")}, std::pair{absolute, absolute}}) {
    const auto dialog = open();
    typeAndOk(*dialog, typed);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(dialog->acceptedPath(), expected);  // no extension added
  }
}

TEST_F(DialogTest, a_pattern_refilters_and_keeps_the_dialog_open_until_the_next_opening) {
  touch("x.p-d");
  touch("y.txt");
  touch("z.csv");
  {
    const auto dialog = open();
    typeAndOk(*dialog, "*.txt;*.csv");
    EXPECT_EQ(texts(files(*dialog)), QStringList({"y.txt", "z.csv"}));
    EXPECT_EQ(box(*dialog)->text(), "*.txt;*.csv");
    EXPECT_TRUE(dialog->isVisible());
  }
  const auto dialog = open();
  EXPECT_EQ(box(*dialog)->text(), "*.p-d");
  EXPECT_EQ(texts(files(*dialog)), QStringList({"x.p-d"}));
}

TEST_F(DialogTest, a_folder_name_moves_both_lists_and_puts_the_pattern_back) {
  mkdir("sub");
  touch("sub/in.p-d");
  touch("top.txt");
  const auto dialog = open();
  typeAndOk(*dialog, "sub");
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_EQ(box(*dialog)->text(), "*.p-d");
  EXPECT_EQ(texts(files(*dialog)), QStringList({"in.p-d"}));
  EXPECT_EQ(folders(*dialog)->currentItem()->text(), "sub");
  EXPECT_EQ(pathLabel(*dialog), QDir::toNativeSeparators(path("sub")));
  EXPECT_EQ(QDir::currentPath(), path("sub"));

  // A folder with a pattern does both, and the box then shows the new pattern.
  typeAndOk(*dialog, "../*.txt");
  EXPECT_EQ(QDir::currentPath(), root_);
  EXPECT_EQ(texts(files(*dialog)), QStringList({"top.txt"}));
  EXPECT_EQ(box(*dialog)->text(), "*.txt");
}

TEST_F(DialogTest, the_folder_list_shows_ancestors_and_subfolders_and_opens_them) {
  mkdir("a/b/c");
  mkdir("a/b/d");
  mkdir("a/b/.hidden");
  ASSERT_TRUE(QDir::setCurrent(path("a/b")));
  const auto dialog = open();
  const QStringList lines = texts(folders(*dialog));
  EXPECT_EQ(lines.first(), QDir::toNativeSeparators(QDir::rootPath()));
  EXPECT_EQ(lines.mid(lines.size() - 4), QStringList({"a", "b", "c", "d"}));

  clickItem(folders(*dialog), "a", true);
  EXPECT_EQ(QDir::currentPath(), path("a"));
  EXPECT_EQ(texts(folders(*dialog)).last(), "b");
  EXPECT_EQ(pathLabel(*dialog), QDir::toNativeSeparators(path("a")));
}

TEST_F(DialogTest, the_name_of_an_existing_file_is_accepted_like_a_double_click) {
  mkdir("sub");
  touch("old.p-d");
  touch("sub/in.p-d");
  {
    const auto dialog = open();
    typeAndOk(*dialog, "old.p-d");
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(dialog->acceptedPath(), path("old.p-d"));
  }
  const auto dialog = open();
  typeAndOk(*dialog, "sub/in.p-d");
  EXPECT_EQ(dialog->acceptedPath(), path("sub/in.p-d"));
  EXPECT_EQ(QDir::currentPath(), path("sub"));
}

TEST_F(DialogTest, a_folder_part_that_does_not_exist_is_reported_and_the_dialog_stays) {
  QString shown, title;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  const auto dialog = open();
  QTimer::singleShot(0, dialog.get(), [&] {
    if (auto* message = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      shown = message->text();
      title = message->windowTitle();
      icon = message->icon();
      message->button(QMessageBox::Ok)->click();
    }
  });
  typeAndOk(*dialog, "nope/run1");
  EXPECT_EQ(shown, "No such file or directory: " + QDir::toNativeSeparators(path("nope")));
  EXPECT_EQ(title, "FiberBridge");
  EXPECT_EQ(icon, QMessageBox::Warning);
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_TRUE(dialog->acceptedPath().isEmpty());
}

TEST_F(DialogTest, cancel_escape_and_the_close_box_leave_the_data_file_alone) {
  const std::function<void(FrmOpenSave&)> closings[] = {
      [](FrmOpenSave& d) { QTest::mouseClick(part<QPushButton>(d, "cmdOpenSave1"), Qt::LeftButton); },
      [](FrmOpenSave& d) { QTest::keyClick(&d, Qt::Key_Escape); },
      [](FrmOpenSave& d) { d.close(); },
  };
  for (const auto& close : closings) {
    std::string dataFile = "earlier.p-d";
    showAndDrive(dataFile, [&close](FrmOpenSave& d) {
      QTest::keyClicks(box(d), "run1");
      close(d);
    });
    EXPECT_EQ(dataFile, "earlier.p-d");
  }
}

TEST_F(DialogTest, reopening_starts_in_the_folder_shown_last) {
  mkdir("sub");
  std::string dataFile;
  showAndDrive(dataFile, [](FrmOpenSave& d) {
    typeAndOk(d, "sub");
    d.reject();
  });
  QString label;
  showAndDrive(dataFile, [&label](FrmOpenSave& d) {
    label = pathLabel(d);
    typeAndOk(d, "run2");
  });
  EXPECT_EQ(label, QDir::toNativeSeparators(path("sub")));
  EXPECT_EQ(dataFile, path("sub/run2").toStdString());
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
