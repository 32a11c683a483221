#include "cli/terminal_view.h"

#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "cli/interruptions.h"
#include "engine/field_table.h"
#include "engine/message_text.h"
#include "output/data_file.h"
#include "output/text_file.h"

namespace fb {

void printError(std::string_view message) {
  std::fprintf(stderr, "fiberbridge-cli: %s\n", printableText(message).c_str());
}

namespace {
bool reportsOnStandardError = false;
}  // namespace

std::FILE* reportStream() { return reportsOnStandardError ? stderr : stdout; }

void reportsToStandardError() { reportsOnStandardError = true; }

void printLine(std::string_view line) { std::fprintf(reportStream(), "%s\n", printableText(line).c_str()); }

std::string progressTimes(const StudyProgress& p) {
  const auto seconds = [](double s) { return std::to_string(static_cast<long long>(std::ceil(s))) + " s"; };
  std::string text = ", " + seconds(p.seconds) + " elapsed";
  if (p.secondsLeft) text += ", about " + seconds(*p.secondsLeft) + " left";
  return text;
}

Expected<void> writeOutput(const std::string& path, std::string_view text) {
  if (path != "-") return writeTextFile(path, text);
  // A closed pipe or a full disk shows at the flush, with the system's reason.
  errno = 0;
  if (std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0) return {};
  return unexpected(std::string("standard output: ") + std::strerror(errno != 0 ? errno : EIO));
}

bool standardOutputWritten() {
  // A full disk or a closed pipe shows only when the buffered rest is flushed;
  // the help goes through std::cout, which hands it to the same buffer.
  errno = 0;
  const bool flushed = std::fflush(stdout) == 0;
  const int code = errno;
  std::cout.flush();
  if (flushed && !std::ferror(stdout) && std::cout.good()) return true;
  printError(std::string("could not write the results to standard output: ") + (code != 0    ? std::strerror(code)
                                                                                : errno != 0 ? std::strerror(errno)
                                                                                             : "a write failed"));
  return false;
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
  // The window's sentence, kept for scripts that look for it, names a file
  // another run holds; any other failure leads with its own reason.
  if (code == EWOULDBLOCK)
    printError("Error: " + message + ": " + path + ": " + dataFileProblem(code));
  else
    printError(path + ": " + dataFileProblem(code) + " (the data file could not be written; error " +
               std::to_string(code) + ")");
}

void TerminalView::showError(const std::string& title, const std::string& text) {
  endProgressLine();
  printError(title + ": " + text);
}

}  // namespace fb
