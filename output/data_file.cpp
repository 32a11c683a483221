#include "output/data_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "engine/number_format.h"

namespace fb {
namespace {

// The Greek letters of the header in code page 932.
constexpr const char* kDelta = "\x83\xC2";
constexpr const char* kSigma = "\x83\xD0";

constexpr std::size_t kZoneWidth = 14;

std::string twoDigits(int v) { return {char('0' + v / 10 % 10), char('0' + v % 10)}; }

// The failure's error number; EIO when the system left none.
int failureCode() { return errno != 0 ? errno : EIO; }

}  // namespace

Timestamp Timestamp::now() {
  const std::time_t clock = std::time(nullptr);
  std::tm local{};
  localtime_r(&clock, &local);
  return {local.tm_hour, local.tm_min, local.tm_sec, local.tm_mon + 1, local.tm_mday, local.tm_year + 1900};
}

std::array<std::string, 6> headerLines(const ParameterSet& p, const RunConstants& k, const Timestamp& t) {
  const auto G = [](float v) { return formatGeneral(v); };
  const std::string time = twoDigits(t.hour) + ":" + twoDigits(t.minute) + ":" + twoDigits(t.second);
  const std::string date = twoDigits(t.month) + "-" + twoDigits(t.day) + "-" + std::to_string(t.year);
  const std::string loadSnubbing = p.fp1 < 0 ? G(p.fp0) + ", " : G(p.fp0) + "+" + G(p.fp1) + "*lb, ";
  return {
      "Bridging Law (Tri-linear) calculated at " + time + " on " + date + ", Function lb model (P and " + kDelta + ")",
      "  Sectional area of matrix (mm2)=" + G(p.Am) + ",  Fiber volume fraction=" + G(p.Vf) +
          ",  Fiber effective strength (MPa)=" + G(p.ruptureStrength),
      "    Af(mm2)=" + G(p.Af) + ", Lf(mm)=" + G(p.Lf) + ",  Snubbing coef.=" + loadSnubbing + G(p.fd0) + "+" +
          G(p.fd1) + "*lb, Strength degr.=" + G(p.strengthReduction),
      "  Orientation intensity, X-Y=" + G(p.kxy) + ", Z-X=" + G(p.kzx) +
          ",  Principal orientation angle, X-Y=" + G(p.thetaRxy) + ", Z-X=" + G(p.thetaRzx),
      "  Crack angle, X-Y=" + G(p.crackAngleXY) + ", Z-X=" + G(p.crackAngleZX) + ", Total fiber = " + G(k.totalFiber) +
          ", Coefficient of fiber Number = " + G(k.fiberNumberCoefficient),
      std::string(" Step          Wcr(mm)      P(N)          ") + kSigma + "(MPa)       Effective fiber ratio",
  };
}

std::string rowText(const StepResult& r) {
  const std::string items[] = {
      std::string(" ").append(std::to_string(r.step)),
      formatFixed(r.Wcr, 5),
      formatFixed(r.P, 2),
      formatFixed(r.sigma, 5),
      formatFixed(r.effectiveFiberRatio, 5),
  };
  std::string row;
  for (const std::string& item : items) {
    if (!row.empty()) {
      // Blanks up to the next zone; an item that fills its whole zone pushes
      // the next one a zone further, so the columns never run together.
      row.append(kZoneWidth - row.size() % kZoneWidth, ' ');
    }
    row += item;
  }
  return row;
}

int writeAccess(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return 0;
  if (::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0) return failureCode();
  if (S_ISREG(status.st_mode) && (status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return EACCES;
  return 0;
}

int writeHeader(DataFile& file, const ParameterSet& p, const RunConstants& k, const Timestamp& t) {
  for (const std::string& line : headerLines(p, k, t))
    if (const int code = file.writeLine(line)) return code;
  return 0;
}

int writeRow(DataFile& file, const StepResult& r) { return file.writeLine(rowText(r)); }

DiskDataFile::~DiskDataFile() { close(); }

int DiskDataFile::open(const std::string& path) {
  close();
  if (const int code = writeAccess(path)) return code;
  fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
  if (fd_ < 0) return failureCode();
  struct stat status {};
  regular_ = ::fstat(fd_, &status) == 0 && S_ISREG(status.st_mode);
  // Locked before it is emptied, so a file another run is writing keeps its rows.
  if (regular_ && (::flock(fd_, LOCK_EX | LOCK_NB) != 0 || ::ftruncate(fd_, 0) != 0)) {
    const int code = failureCode();
    close();
    return code;
  }
  complete_ = 0;
  return 0;
}

int DiskDataFile::writeLine(std::string_view line) {
  if (fd_ < 0) return EBADF;
  std::string whole(line);
  whole += "\r\n";
  for (std::size_t done = 0; done < whole.size();) {
    const ssize_t n = ::write(fd_, whole.data() + done, whole.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      const int code = n < 0 ? failureCode() : EIO;
      // Cut the part of the line that did get out, so the file ends after a complete line.
      if (regular_ && ::ftruncate(fd_, complete_) == 0) ::lseek(fd_, complete_, SEEK_SET);
      return code;
    }
  }
  complete_ += static_cast<long long>(whole.size());
  return 0;
}

int DiskDataFile::close() {
  if (fd_ < 0) return 0;
  // On the disk before the run says it is done: a write that the file system
  // put off can still fail here (a full disk), which close alone would not tell.
  int code = regular_ && ::fsync(fd_) != 0 ? failureCode() : 0;
  if (::close(fd_) != 0 && code == 0) code = failureCode();
  fd_ = -1;
  return code;
}

}  // namespace fb
