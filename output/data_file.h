#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/crack_steps.h"
#include "engine/expected.h"
#include "engine/parameter_set.h"

namespace fb {

/// The local time a run's header records.
struct Timestamp {
  int hour = 0, minute = 0, second = 0;
  int month = 1, day = 1, year = 2000;
  static Timestamp now();
};

/// The six header lines, without their line ends, in code page 932.
std::array<std::string, 6> headerLines(const ParameterSet& p, const RunConstants& k, const Timestamp& t);

/// One step's row in its 14-character print zones, without its line end.
std::string rowText(const StepResult& r);

/// A data file read back through the header the writer fills: the header's
/// values as written, in its order, named by their inputs (Am, Vf, ...) or as
/// "time", "date", "totalFiber" and "fiberNumberCoefficient", and the rows at
/// their printed precision, or "line N: reason". A negative fp1 was not
/// written, so it is absent.
struct DataFileContent {
  std::vector<std::pair<std::string, std::string>> header;
  std::vector<StepResult> rows;
};
[[nodiscard]] Expected<DataFileContent> parseDataFile(std::string_view text);

/// Why a data file could not be opened or written, for a person: the
/// system's reason, "another run is writing it" for a file a run holds, or
/// "not a regular file" for a pipe or socket (ENXIO), which would stall a run.
std::string dataFileProblem(int code);

/// The window's message for a data file that cannot be opened or given its
/// header, whatever the cause; only the code differs.
std::string openFailureMessage(int code);

/// Where a run's data file goes, line by line. The run driver writes through
/// this interface; DiskDataFile is the real file, tests bring their own.
/// Failures come back as the system's error number (0: none).
class DataFile {
 public:
  virtual ~DataFile() = default;
  /// Creates the file or empties an existing one.
  virtual int open(const std::string& path) = 0;
  /// One line, followed by CR LF.
  virtual int writeLine(std::string_view line) = 0;
  virtual int close() = 0;
  /// Closes a file that never got its header and removes it, so that no empty
  /// file passes for a result; a file this one did not open stays.
  virtual void abandon() { close(); }
};

/// A data file that keeps nothing, for runs whose rows go elsewhere.
class NullDataFile : public DataFile {
 public:
  int open(const std::string&) override { return 0; }
  int writeLine(std::string_view) override { return 0; }
  int close() override { return 0; }
};

/// 0 when the existing file at `path` may be written over, else the error
/// number (EACCES): the system must grant write access, and the file's mode
/// must let somebody write it. The second rule keeps root, whom the system
/// lets write anything, off a file marked read-only for everybody, so that
/// root and users see the same refusal. A path that names no file gives 0.
int writeAccess(const std::string& path);

/// The six header lines.
int writeHeader(DataFile& file, const ParameterSet& p, const RunConstants& k, const Timestamp& t);
/// One step's row.
int writeRow(DataFile& file, const StepResult& r);

/// The data file on disk, with CR LF line ends. Every line reaches the file
/// system as it is written, so a run's file grows step by step; a line that
/// cannot be written whole is cut off again, so the file ends after its last
/// complete line. A run holds an exclusive lock on its file from opening to
/// closing: a file that another run holds fails to open with EWOULDBLOCK and
/// is left as it was. A pipe or socket fails with ENXIO: a run would wait on
/// its reader. Closing syncs the file to the disk (a few milliseconds),
/// so that a finished run's rows survive a power cut.
class DiskDataFile : public DataFile {
 public:
  DiskDataFile() = default;
  DiskDataFile(const DiskDataFile&) = delete;
  DiskDataFile& operator=(const DiskDataFile&) = delete;
  ~DiskDataFile() override;

  int open(const std::string& path) override;
  int writeLine(std::string_view line) override;
  int close() override;
  void abandon() override;

 private:
  int fd_ = -1;
  std::string path_;
  bool regular_ = false;    // a regular file, which can be locked and cut back
  long long complete_ = 0;  // bytes up to the end of the last complete line
};

}  // namespace fb
