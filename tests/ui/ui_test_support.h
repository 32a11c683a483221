#pragma once

// Shared by the dialog and the window tests.

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <utility>

// Failures show the text itself rather than its UTF-16 units or bytes.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }
inline void PrintTo(const QByteArray& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace fbtest {

/// How the watchdog records a message box.
inline QString shown(const QString& title, QMessageBox::Icon icon, const QString& text) {
  return QString("%1 (icon %2): %3").arg(title).arg(icon).arg(text);
}

/// Closes any modal window still open at two ticks in a row and records it.
/// What no test took fails the test, so an unexpected message box or a dialog
/// left open fails instead of hanging the suite.
class ModalWatchdog {
 public:
  explicit ModalWatchdog(int tickMs) {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      QWidget* modal = QApplication::activeModalWidget();
      if (modal && modal == last_) {
        const auto* box = qobject_cast<QMessageBox*>(modal);
        seen_ << (box ? shown(box->windowTitle(), box->icon(), box->text()) : modal->windowTitle());
        modal->close();
      }
      last_ = modal;
    });
    timer_.start(tickMs);
  }
  ~ModalWatchdog() { EXPECT_TRUE(seen_.isEmpty()) << "left open: " << seen_.join(" | ").toStdString(); }

  /// What was closed since the last call.
  QStringList take() { return std::exchange(seen_, {}); }

 private:
  QTimer timer_;
  QPointer<QWidget> last_;
  QStringList seen_;
};

}  // namespace fbtest
