// fiberbridge-cli: the bridging-law calculation without a window. It runs the
// same driver as the Start button and writes the same data file.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <string>

#include "number_format.h"
#include "parameter_set.h"
#include "run_driver.h"
#include "terminal_view.h"

namespace {

constexpr int kExitRefused = 1;  // inputs refused, or the data file failed
constexpr int kExitUsage = 2;

std::string summaryLine(const fb::RunSummary& s) {
  if (s.stepsWritten == 0) return "no crack-opening steps (division below 0); header written to " + s.dataFile;
  return "peak force " + fb::formatFixed(s.maximum.P / 1000, 4) + " kN, peak stress " +
         fb::formatFixed(s.maximum.sigma, 4) + " MPa at Wcr " + fb::formatShortest(s.maximum.Wcr) +
         " mm; written to " + s.dataFile;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"FiberBridge: the bridging law of a cracked short-fiber composite.\n"
               "Every input takes the text the window's box would hold, read the same way."};
  app.set_version_flag("--version", "3.0.0");
  app.get_formatter()->column_width(32);

  fb::FieldTexts texts = fb::FieldTexts::defaults();
  for (const fb::FieldInfo& info : fb::kFields) {
    if (info.field == fb::Field::dataFile) continue;
    app.add_option("--" + std::string(info.name), texts[info.field], std::string(info.meaning))
        ->capture_default_str()
        ->group("Inputs");
  }
  app.add_option("-o,--output", texts[fb::Field::dataFile], "the data file to write")->required();
  bool quiet = false;
  app.add_flag("-q,--quiet", quiet, "no progress on standard error");

  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return kExitUsage;
  }

  fb::TerminalView view(texts, !quiet && fb::TerminalView::stderrIsTerminal());
  const fb::RunSummary summary = fb::runCalculation(view);
  if (summary.end != fb::RunEnd::finished) return kExitRefused;
  std::printf("%s\n", summaryLine(summary).c_str());
  return 0;
}
