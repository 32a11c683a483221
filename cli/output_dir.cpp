#include "cli/output_dir.h"

#include <filesystem>

#include "cli/terminal_view.h"
#include "output/text_file.h"

namespace fb {

bool placeDataFiles(const CliOptions& o, std::vector<GridRun>& runs) {
  const std::vector<NamedFile> named = namedFiles(o);
  for (GridRun& run : runs) {
    const std::string dataFile = (std::filesystem::path(o.outputDir) / (run.name + ".p-d")).string();
    for (const NamedFile& file : named) {
      if (file.path == "-" || !sameFile(dataFile, file.path)) continue;
      printError("--output-dir's data file " + dataFile + " and " + file.option + " " + file.path +
                 " name the same file");
      return false;
    }
    run.texts[Field::dataFile] = dataFile;
  }
  return true;
}

std::unique_ptr<StudyFolderLock> holdOutputDir(const std::string& dir, const std::string& identity,
                                               std::optional<Shard> shard) {
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  if (ec) {
    printError(dir + ": " + ec.message());
    return nullptr;
  }
  auto hold = std::make_unique<StudyFolderLock>(dir, identity, shard);
  if (hold->refusal()) {
    printError(*hold->refusal() + "; this study wrote nothing");
    return nullptr;
  }
  return hold;
}

}  // namespace fb
