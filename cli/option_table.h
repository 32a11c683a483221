#pragma once

// The option table of fiberbridge-cli, from which --help and the bash
// completion are made, and what it fills in before the commands check it.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cli/cli_options.h"
#include "engine/expected.h"

namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace fb {

inline constexpr const char* kDescription =
    "FiberBridge: the bridging law of a cracked short-fiber composite.\n"
    "Every input takes the text the window's box would hold, read the same way.";
inline constexpr const char* kInputsGroup = "Inputs";
inline constexpr const char* kSweepValue = "NAME=VALUES";
inline constexpr const char* kFitValue = "NAME=LO:HI";
inline constexpr const char* kScatterValue = "NAME=DIST:A:B";

/// Why a command line is refused: the reason, or an option it lacks, which
/// the option parser words as it words its own errors.
struct UsageProblem {
  UsageProblem(std::string why) : reason(std::move(why)) {}  // implicit: the checks return bare reasons
  static UsageProblem missing(std::string option) {
    UsageProblem problem(std::move(option));
    problem.missingOption = true;
    return problem;
  }
  std::string reason;
  bool missingOption = false;  // `reason` is the option's name
};
using Checked = Expected<void, UsageProblem>;

/// What the option table fills in, before the checks: the options as given,
/// and in `o` those that need no reading.
struct GivenOptions {
  explicit GivenOptions(const CLI::App& parser) : app(&parser) {}

  const CLI::App* app;
  CliOptions o;
  FieldTexts inputs;  // the inputs' own options, applied over --inputs
  std::vector<std::pair<Field, CLI::Option*>> inputOptions;
  std::vector<std::string> sweepTexts, fitTexts, scatterTexts;
  std::string outputDir;  // a sweep's, a scatter's or a merge's
  std::string shardText;
  std::string seedText = "1";  // read strictly, not by the option parser, which takes "-1" and ""
  std::uint64_t seed = 1;      // seedText, read
  // The design options, read strictly like the seed.
  std::string Jtip, Km, Em, sigmaFc, margins, map, mapLevel, samples;
  // The composite's tension law and its export, read strictly too.
  std::string ft, Gf, Ec, crackBand, beamSize;
  std::vector<std::string> exportTexts;

  /// Whether `option` ("--Jtip") is on the command line.
  bool given(std::string_view option) const;
  /// Whether the option of input `field` (--Vf) is on the command line.
  bool inputGiven(Field field) const;
  /// The long name ("--Vf", or "" for one without) of every option given, in the table's order.
  std::vector<std::string> givenNames() const;
};

/// The whole option table, one option per input of the field table; what the
/// command line gives lands in `g`.
void addOptions(CLI::App& app, GivenOptions& g);

}  // namespace fb
