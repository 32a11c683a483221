#include "cli/terminal_view.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cli/interruptions.h"
#include "engine/field_table.h"
#include "output/data_file.h"

namespace fb {

void printError(std::string_view message) {
  std::fprintf(stderr, "fiberbridge-cli: %.*s\n", static_cast<int>(message.size()), message.data());
}

bool written(const Expected<void>& file) {
  if (!file) printError(file.error() + " (not written)");
  return file.has_value();
}

TerminalView::TerminalView(FieldTexts texts, bool showProgress)
    : texts_(std::move(texts)), showProgress_(showProgress) {}

bool TerminalView::stderrIsTerminal() {
  const char* term = std::getenv("TERM");
  return isatty(STDERR_FILENO) && !(term && std::strcmp(term, "dumb") == 0);
}

void TerminalView::showStatus(const std::string& text) {
  if (!showProgress_) return;
  // A long run changes its status tens of thousands of times; the eye needs
  // only a few updates a second, and the last texts of a run always show.
  const auto now = std::chrono::steady_clock::now();
  const bool phaseText = text.find("...") != std::string::npos || text == "Finish";
  if (!phaseText && now - lastProgress_ < std::chrono::milliseconds(50)) return;
  lastProgress_ = now;
  std::fprintf(stderr, "\r\033[K%s", text.c_str());
  std::fflush(stderr);
  progressShown_ = true;
  if (text == "Finish") endProgressLine();
}

void TerminalView::endProgressLine() {
  if (!progressShown_) return;
  std::fputc('\n', stderr);
  progressShown_ = false;
}

bool TerminalView::yield() {
  if (!stopRequested().load()) return true;
  endProgressLine();
  return false;
}

void TerminalView::showRefusal(const Refusal& refusal) {
  endProgressLine();
  printError(refusal.message);
}

void TerminalView::showWarning(const std::string& text) {
  endProgressLine();
  printError("warning: " + text);
}

void TerminalView::showOpenFailure(const std::string& message, const std::string& path, int code) {
  endProgressLine();
  // The window's sentence and its code stay as they are, for scripts that look for them.
  printError("Error: " + message + ": " + path + ": " + dataFileProblem(code));
}

void TerminalView::showError(const std::string& title, const std::string& text) {
  endProgressLine();
  printError(title + ": " + text);
}

}  // namespace fb
