#include "output/data_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <functional>

#include "engine/field_table.h"
#include "engine/number_reader.h"
#include "engine/number_writer.h"

namespace fb {
namespace {

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

namespace {

// The header as written and as read back: {slot}s hold values in their
// general text, and a [group] is left out when a slot in it has no value.
constexpr std::string_view kHeaderTemplates[] = {
    "Bridging Law (Tri-linear) calculated at {time} on {date}, Function lb model (P and \x83\xC2)",
    "  Sectional area of matrix (mm2)={Am},  Fiber volume fraction={Vf},  Fiber effective strength (MPa)="
    "{ruptureStrength}",
    "    Af(mm2)={Af}, Lf(mm)={Lf},  Snubbing coef.={fp0}[+{fp1}*lb], {fd0}+{fd1}*lb, Strength degr.="
    "{strengthReduction}",
    "  Orientation intensity, X-Y={kxy}, Z-X={kzx},  Principal orientation angle, X-Y={thetaRxy}, Z-X={thetaRzx}"
    "[,  Orientation preset={orientation}]",
    "  Crack angle, X-Y={crackAngleXY}, Z-X={crackAngleZX}, Total fiber = {totalFiber}, Coefficient of fiber Number = "
    "{fiberNumberCoefficient}",
    " Step          Wcr(mm)      P(N)          \x83\xD0(MPa)       Effective fiber ratio",
};

// A template's parts in order: literal texts, slots and group bounds.
struct TemplatePart {
  enum Kind { text, slot, groupStart, groupEnd } kind;
  std::string_view value;
};

std::vector<TemplatePart> templateParts(std::string_view t) {
  std::vector<TemplatePart> parts;
  while (!t.empty()) {
    if (t.front() == '[' || t.front() == ']') {
      parts.push_back({t.front() == '[' ? TemplatePart::groupStart : TemplatePart::groupEnd, {}});
      t.remove_prefix(1);
    } else if (t.front() == '{') {
      const std::size_t end = t.find('}');
      parts.push_back({TemplatePart::slot, t.substr(1, end - 1)});
      t.remove_prefix(end + 1);
    } else {
      const std::size_t end = std::min(t.find_first_of("[]{"), t.size());
      parts.push_back({TemplatePart::text, t.substr(0, end)});
      t.remove_prefix(end);
    }
  }
  return parts;
}

std::string fillTemplate(std::string_view t, const std::function<std::optional<std::string>(std::string_view)>& value) {
  std::string line, group;
  bool inGroup = false, groupWhole = true;
  for (const TemplatePart& part : templateParts(t)) {
    std::string& out = inGroup ? group : line;
    switch (part.kind) {
      case TemplatePart::text:
        out += part.value;
        break;
      case TemplatePart::slot:
        if (const auto v = value(part.value))
          out += *v;
        else
          groupWhole = false;
        break;
      case TemplatePart::groupStart:
        inGroup = true;
        groupWhole = true;
        group.clear();
        break;
      case TemplatePart::groupEnd:
        inGroup = false;
        if (groupWhole) line += group;
        break;
    }
  }
  return line;
}

// How long the value of `slot` is at the start of `s`; 0 when none is there.
// A general number ("0.02", "-1.5E-05"), the clock's time and date, or a preset's name.
std::size_t slotLength(std::string_view slot, std::string_view s) {
  std::size_t at = 0;
  const auto digits = [&](std::size_t least, std::size_t most) {
    std::size_t n = 0;
    for (; at < s.size() && n < most && s[at] >= '0' && s[at] <= '9'; ++at) ++n;
    return n >= least;
  };
  const auto literal = [&](std::string_view any) {
    if (at >= s.size() || any.find(s[at]) == std::string_view::npos) return false;
    ++at;
    return true;
  };
  constexpr std::size_t many = std::string_view::npos;
  if (slot == "time") return digits(2, 2) && literal(":") && digits(2, 2) && literal(":") && digits(2, 2) ? at : 0;
  if (slot == "date") return digits(2, 2) && literal("-") && digits(2, 2) && literal("-") && digits(1, many) ? at : 0;
  if (slot == "orientation") {  // a preset's name: a word
    while (at < s.size() && s[at] >= 'a' && s[at] <= 'z') ++at;
    return at;
  }
  literal("-");
  if (!digits(1, many)) return 0;
  const std::size_t whole = at;
  if (!(literal(".") && digits(1, many))) at = whole;
  const std::size_t mantissa = at;
  if (!(literal("E") && literal("-+") && digits(1, many))) at = mantissa;
  return at;
}

// Whether `rest` reads as the template's parts from `i` on; slot by slot, in
// order, `values` gets each value, none for a slot of a group left out.
bool readTemplate(const std::vector<TemplatePart>& parts, std::size_t i, std::size_t slot, std::string_view rest,
                  std::vector<std::optional<std::string_view>>& values) {
  if (i == parts.size()) return rest.empty();
  const TemplatePart& part = parts[i];
  switch (part.kind) {
    case TemplatePart::text:
      return rest.starts_with(part.value) && readTemplate(parts, i + 1, slot, rest.substr(part.value.size()), values);
    case TemplatePart::slot: {
      const std::size_t length = slotLength(part.value, rest);
      if (length == 0) return false;
      values[slot] = rest.substr(0, length);
      return readTemplate(parts, i + 1, slot + 1, rest.substr(length), values);
    }
    case TemplatePart::groupStart: {
      if (readTemplate(parts, i + 1, slot, rest, values)) return true;
      std::size_t end = i, inGroup = 0;
      for (; parts[end].kind != TemplatePart::groupEnd; ++end) inGroup += parts[end].kind == TemplatePart::slot;
      for (std::size_t s = slot; s < slot + inGroup; ++s) values[s].reset();
      return readTemplate(parts, end + 1, slot + inGroup, rest, values);
    }
    case TemplatePart::groupEnd:
      return readTemplate(parts, i + 1, slot, rest, values);
  }
  return false;
}

}  // namespace

std::array<std::string, 6> headerLines(const ParameterSet& p, const RunConstants& k, const Timestamp& t) {
  const std::string time = twoDigits(t.hour) + ":" + twoDigits(t.minute) + ":" + twoDigits(t.second);
  const std::string date = twoDigits(t.month) + "-" + twoDigits(t.day) + "-" + std::to_string(t.year);
  const auto value = [&](std::string_view slot) -> std::optional<std::string> {
    if (slot == "time") return time;
    if (slot == "date") return date;
    if (slot == "totalFiber") return formatGeneral(k.totalFiber);
    if (slot == "fiberNumberCoefficient") return formatGeneral(k.fiberNumberCoefficient);
    // A negative fp1 leaves the load snubbing at fp0 alone.
    if (slot == "fp1" && p.fp1 < 0) return std::nullopt;
    // Only a preset is noted; the densities' line is the whole story otherwise.
    if (slot == "orientation") return p.orientation.empty() ? std::nullopt : std::optional(p.orientation);
    return formatGeneral(static_cast<float>(numericValue(p, fieldInfo(*fieldByName(slot)))));
  };
  std::array<std::string, 6> lines;
  for (std::size_t i = 0; i < lines.size(); ++i) lines[i] = fillTemplate(kHeaderTemplates[i], value);
  return lines;
}

namespace {

// Whether `text` is UTF-8 with at least one character beyond ASCII, as a data
// file becomes when an editor saves it again in its own encoding.
bool isUtf8BeyondAscii(std::string_view text) {
  bool beyond = false;
  for (std::size_t i = 0; i < text.size();) {
    const auto byte = static_cast<unsigned char>(text[i]);
    const std::size_t length = byte < 0x80           ? 1
                               : (byte >> 5) == 0x6  ? 2
                               : (byte >> 4) == 0xE  ? 3
                               : (byte >> 3) == 0x1E ? 4
                                                     : 0;
    if (length == 0 || i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k)
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    beyond = beyond || length > 1;
    i += length;
  }
  return beyond;
}

// Why a header line that is not one may still be a data file's: saved in another encoding.
std::string encodingHint(std::string_view text) {
  if (text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF") || text.find('\0') != std::string_view::npos)
    return " (the file reads as UTF-16 text; FiberBridge writes its data files in Shift-JIS, code page 932: save "
           "it in that encoding again)";
  if (isUtf8BeyondAscii(text))
    return " (the file reads as UTF-8 text; FiberBridge writes its data files in Shift-JIS, code page 932: save it "
           "in that encoding again)";
  return "";
}

}  // namespace

Expected<DataFileContent> parseDataFile(std::string_view text) {
  const std::string_view whole = text;
  DataFileContent out;
  int lineNumber = 0;
  const auto fail = [&](const std::string& reason) {
    return unexpected("line " + std::to_string(lineNumber) + ": " + reason);
  };
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    ++lineNumber;
    if (lineNumber <= 6) {
      const std::vector<TemplatePart> parts = templateParts(kHeaderTemplates[lineNumber - 1]);
      std::vector<std::optional<std::string_view>> values(std::count_if(
          parts.begin(), parts.end(), [](const TemplatePart& p) { return p.kind == TemplatePart::slot; }));
      if (!readTemplate(parts, 0, 0, line, values))
        return fail("not the header line of a FiberBridge data file" + encodingHint(whole));
      std::size_t slot = 0;
      for (const TemplatePart& part : parts)
        if (part.kind == TemplatePart::slot) {
          if (const auto& value = values[slot++]) out.header.emplace_back(part.value, std::string(*value));
        }
      continue;
    }
    // A row: the step and four numbers in their print zones.
    std::vector<std::string_view> items;
    for (std::size_t at = 0; (at = line.find_first_not_of(' ', at)) != std::string_view::npos;) {
      const std::size_t stop = std::min(line.find(' ', at), line.size());
      items.push_back(line.substr(at, stop - at));
      at = stop;
    }
    if (items.size() != 5) return fail("a row holds " + std::to_string(items.size()) + " values, not 5");
    double values[5];
    for (std::size_t i = 0; i < 5; ++i) {
      const auto number = strictNumber(items[i]);
      if (!number) return fail("\"" + std::string(items[i]) + "\" is not a number");
      values[i] = *number;
    }
    if (values[0] != static_cast<std::int16_t>(values[0])) return fail("the step is not a whole number");
    out.rows.push_back({static_cast<std::int16_t>(values[0]), values[1], values[2], values[3], values[4]});
  }
  if (lineNumber < 6) return fail("the header ends early");
  return out;
}

std::string dataFileProblem(int code) {
  if (code == EWOULDBLOCK) return "another run is writing it";
  if (code == ENXIO) return "not a regular file (a pipe or socket)";
  return std::strerror(code);
}

std::string openFailureMessage(int code) {
  return "This output data file has been opened by another application. (" + std::to_string(code) + ")";
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
  // Not blocking: a pipe without a reader would hold the run at its opening.
  fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666);
  if (fd_ < 0) return errno == ENXIO ? ENXIO : failureCode();
  struct stat status {};
  if (::fstat(fd_, &status) != 0 || S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode)) {
    const int code = S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode) ? ENXIO : failureCode();
    close();
    return code;
  }
  ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
  regular_ = S_ISREG(status.st_mode);
  path_ = path;
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

void DiskDataFile::abandon() {
  struct stat opened {
  }, named{};
  // Only the file this one opened, not one put in its place meanwhile.
  if (fd_ >= 0 && regular_ && ::fstat(fd_, &opened) == 0 && ::stat(path_.c_str(), &named) == 0 &&
      opened.st_dev == named.st_dev && opened.st_ino == named.st_ino)
    ::unlink(path_.c_str());
  close();
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
