#include "cli/named_files.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <optional>

#include "output/text_file.h"
#include "study/fit/fit_prior.h"
#include "study/inputs/beam_test.h"
#include "study/inputs/input_set.h"
#include "study/inputs/pullout_curve.h"

namespace fb {
namespace {

bool isDevice(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode) && !S_ISDIR(status.st_mode);
}

// Why a written file may not be an output: a pipe or socket (a write would
// wait for a reader) or a study's folder lock (its study would lose its hold).
std::optional<std::string> unfitOutput(const NamedFile& file) {
  if (file.path == "-") return std::nullopt;  // standard output: a pipe is what it is for
  const std::string target = followLinks(file.path);
  struct stat status {};
  if (::stat(target.c_str(), &status) == 0 && (S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode)))
    return "a pipe or socket, not a file to write";
  const std::filesystem::path name(target);
  if (name.filename() == kStudyLockName || sameFile(target, (name.parent_path() / kStudyLockName).string()))
    return "the lock file of a study's folder";
  return std::nullopt;
}

// A specimen's or a test's name in messages and reports.
std::string curveName(const std::string& path) { return path == "-" ? "(standard input)" : path; }

}  // namespace

Expected<void> findFileClash(const std::vector<NamedFile>& files) {
  for (std::size_t i = 0; i < files.size(); ++i) {
    const NamedFile& b = files[i];
    if (!b.read)
      if (const auto unfit = unfitOutput(b)) return unexpected(b.option + " " + b.path + ": " + *unfit);
    for (std::size_t j = 0; j < i; ++j) {
      const NamedFile& a = files[j];
      if (a.read && b.read) continue;
      // A terminal or /dev/null loses nothing when read and written, or written twice.
      if (isDevice(a.onDisk()) || isDevice(b.onDisk())) continue;
      if (sameFile(a.onDisk(), b.onDisk()))
        return unexpected(a.option + " " + a.path + " and " + b.option + " " + b.path + " name the same file");
    }
  }
  return {};
}

std::vector<NamedFile> namedFiles(const CliOptions& o) {
  std::vector<NamedFile> files;
  if (!o.inputsPath.empty()) files.push_back({"--inputs", o.inputsPath, true});
  for (const std::string& path : o.measuredPaths) files.push_back({"--measured", path, true});
  for (const std::string& path : o.fit.pulloutPaths) files.push_back({"--pullout", path, true});
  for (const std::string& path : o.fit.beamPaths) files.push_back({"--beam-measured", path, true});
  if (!o.fit.priorPath.empty()) files.push_back({"--fit-prior", o.fit.priorPath, true});
  // Only the command that writes into a folder has its own.
  const std::string& dir = o.sweep.outputDir.empty() ? o.scatter.outputDir : o.sweep.outputDir;
  if (!dir.empty())
    files.push_back({"--output-dir", (std::filesystem::path(dir) / "summary.csv").string()});
  else if (!o.texts[Field::dataFile].empty())
    files.push_back({"-o", o.texts[Field::dataFile]});
  if (!o.fit.log.empty()) files.push_back({"--fit-log", o.fit.log});
  if (!o.law.tablePath.empty()) files.push_back({"--sigma-w", o.law.tablePath, true});
  for (const ExportRequest& request : o.law.exports) files.push_back({"--export", request.path});
  if (!o.law.beamCurve.empty()) files.push_back({"--beam-curve", o.law.beamCurve});
  if (!o.fit.report.empty()) files.push_back({"--fit-report", o.fit.report});
  for (const auto& [option, path] :
       {std::pair{"--csv", &o.csv}, {"--plot", &o.plot}, {"--save-inputs", &o.saveInputs}, {"--band", &o.scatter.band}})
    if (!path->empty()) files.push_back({option, *path});
  return files;
}

Expected<void> oneReaderOfStandardInput(const CliOptions& o) {
  const auto readsStandardInput = [](const std::string& path) { return path == "-"; };
  if (std::count_if(o.measuredPaths.begin(), o.measuredPaths.end(), readsStandardInput) +
          std::count_if(o.fit.pulloutPaths.begin(), o.fit.pulloutPaths.end(), readsStandardInput) +
          std::count_if(o.fit.beamPaths.begin(), o.fit.beamPaths.end(), readsStandardInput) +
          (o.inputsPath == "-" ? 1 : 0) + (o.law.tablePath == "-" ? 1 : 0) + (o.fit.priorPath == "-" ? 1 : 0) >
      1)
    return unexpected(
        "only one of --inputs, --measured, --pullout, --beam-measured, --fit-prior and --sigma-w can read standard "
        "input (-)");
  return {};
}

Expected<void> oneWriterOfStandardOutput(const CliOptions& o) {
  std::vector<std::string> writers;
  for (const NamedFile& file : namedFiles(o)) {
    if (file.read || file.path != "-") continue;
    if (file.option != "--csv" && file.option != "--band")
      return unexpected(file.option + " -: only --csv and --band write to standard output (-); name a file");
    writers.push_back(file.option);
  }
  if (writers.size() > 1)
    return unexpected(writers[0] + " and " + writers[1] + " cannot both write to standard output");
  return {};
}

Expected<void> readInputsFile(CliOptions& o) {
  if (o.inputsPath.empty()) return {};
  const Expected<InputSet> file = readInputSet(o.inputsPath);
  if (!file) return unexpected(file.error());
  for (const auto& [field, text] : file->values) o.texts[field] = text;
  o.savedWarnings = file->warnings;
  return {};
}

Expected<void> readCurves(CliOptions& o) {
  for (const std::string& path : o.measuredPaths) {
    Expected<MeasuredCurve> read = readMeasuredCurve(path);
    if (!read) return unexpected(read.error());
    MeasuredCurve& curve = *read;
    if (o.measured.empty()) o.measured = curve.points;
    o.specimens.push_back({curveName(path), std::move(curve.inputs), std::move(curve.points)});
  }
  for (const std::string& path : o.fit.pulloutPaths) {
    Expected<PulloutCurve> read = readPulloutCurve(path);
    if (!read) return unexpected(read.error());
    PulloutCurve& curve = *read;
    o.fit.pullouts.push_back({curveName(path), std::move(curve.inputs), curve.lb, curve.angle, curve.lbLine,
                              std::move(curve.points), curve.stretch});
  }
  for (const std::string& path : o.fit.beamPaths) {
    Expected<BeamTestCurve> read = readBeamTest(path);
    if (!read) return unexpected(read.error());
    o.fit.beams.push_back({curveName(path), std::move(read->inputs), std::move(read->points)});
  }
  if (!o.fit.priorPath.empty()) {
    Expected<std::vector<PriorInput>> prior = readFitPrior(o.fit.priorPath);
    if (!prior) return unexpected(prior.error());
    o.fit.prior = std::move(*prior);
  }
  // A specimen given twice would count its points twice and narrow the intervals.
  for (std::size_t i = 0; i < o.specimens.size(); ++i)
    for (std::size_t j = 0; j < i; ++j)
      if (o.specimens[i].measured == o.specimens[j].measured && o.specimens[i].inputs == o.specimens[j].inputs)
        return unexpected("--measured " + o.measuredPaths[j] + " and --measured " + o.measuredPaths[i] +
                          " hold the same curve; give each specimen once");
  for (std::size_t i = 0; i < o.fit.pullouts.size(); ++i)
    for (std::size_t j = 0; j < i; ++j) {
      const PulloutSpecimen &a = o.fit.pullouts[j], &b = o.fit.pullouts[i];
      if (a.measured == b.measured && a.inputs == b.inputs && a.lb == b.lb && a.angle == b.angle &&
          a.stretch == b.stretch)
        return unexpected("--pullout " + o.fit.pulloutPaths[j] + " and --pullout " + o.fit.pulloutPaths[i] +
                          " hold the same test; give each test once");
    }
  for (std::size_t i = 0; i < o.fit.beams.size(); ++i)
    for (std::size_t j = 0; j < i; ++j)
      if (o.fit.beams[i].measured == o.fit.beams[j].measured && o.fit.beams[i].inputs == o.fit.beams[j].inputs)
        return unexpected("--beam-measured " + o.fit.beamPaths[j] + " and --beam-measured " + o.fit.beamPaths[i] +
                          " hold the same test; give each test once");
  return {};
}

}  // namespace fb
