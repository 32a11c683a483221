#pragma once

#include <array>
#include <cstdio>
#include <string>

#include "engine/crack_steps.h"
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

/// The result data file, written line by line with CR LF line ends; every
/// line reaches the disk as it is written, so a run's file grows step by step.
/// Failures come back as the system's error number (0: none).
class DataFile {
 public:
  DataFile() = default;
  DataFile(const DataFile&) = delete;
  DataFile& operator=(const DataFile&) = delete;
  ~DataFile();

  /// Creates the file or empties an existing one.
  int open(const std::string& path);
  int writeHeader(const ParameterSet& p, const RunConstants& k, const Timestamp& t);
  int writeRow(const StepResult& r);
  int close();
  bool isOpen() const { return file_ != nullptr; }

 private:
  int writeLine(const std::string& line);
  std::FILE* file_ = nullptr;
};

}  // namespace fb
