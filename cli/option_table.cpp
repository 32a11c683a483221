#include "cli/option_table.h"

#include <CLI/CLI.hpp>

#include "engine/cpu_allotment.h"
#include "engine/number_writer.h"
#include "engine/version.h"

namespace fb {
namespace {

// Strain-hardening design: the matrix, the indices' margins, maps and scatter.
void addDesignOptions(CLI::App& app, GivenOptions& g) {
  constexpr const char* kGroup = "Strain-hardening design";
  app.add_option("--Jtip", g.Jtip, "crack-tip toughness of the matrix (J/m2), for the PSH energy index J'b/Jtip")
      ->type_name("J/m2")
      ->group(kGroup);
  app.add_option("--Km", g.Km, "matrix fracture toughness (MPa m^0.5); with --Em gives Jtip = Km^2/Em")
      ->type_name("MPa*m^0.5")
      ->group(kGroup);
  app.add_option("--Em", g.Em, "matrix modulus (GPa), with --Km")->type_name("GPa")->group(kGroup);
  app.add_option("--sigma-fc", g.sigmaFc, "first-crack strength (MPa), for the PSH strength index sigma0/sigma_fc")
      ->type_name("MPa")
      ->group(kGroup);
  app.add_flag("--allow-unusual-matrix")
      ->description(
          "take a matrix outside Em 1-100 GPa, Km 0.05-5 MPa m^0.5, Jtip 0.5-500 J/m2 or sigma_fc 0.5-20 MPa, "
          "which is refused as a likely slip of unit")
      ->group(kGroup);
  const PshMargins margins;
  app.add_option("--psh-margins", g.margins,
                 "margins the energy and strength indices must exceed (default " + formatShortest(margins.energy) +
                     "," + formatShortest(margins.strength) + ", for saturated multiple cracking after " +
                     std::string(kPshMarginsSource) + ")")
      ->type_name("ENERGY,STRENGTH")
      ->group(kGroup);
  app.add_option(
         "--map", g.map,
         "with two --sweep options and --plot, draw METRIC over the grid as a design map: " + summaryMetricKeys())
      ->type_name("METRIC")
      ->group(kGroup);
  app.add_option("--map-level", g.mapLevel, "the map's contour line (default: the margin of a PSH index)")
      ->type_name("V")
      ->group(kGroup);
  app.add_option("--scatter", g.scatterTexts,
                 "draw an input from a distribution: NAME=normal:MEAN:SD, NAME=lognormal:MEAN:SD (of the input "
                 "itself) or NAME=uniform:LO:HI; repeated for several inputs")
      ->type_name(kScatterValue)
      ->group(kGroup)
      ->take_all()
      ->expected(1);
  app.add_option("--samples", g.samples, "samples of a scatter, from a Latin hypercube of --seed (default 64)")
      ->type_name("N")
      ->group(kGroup);
  app.add_option("--band", g.o.scatter.band,
                 "write a scatter's band to FILE.csv: mean, sd, 5, 50 and 95 % of the stress over the crack width "
                 "(- for standard output, the report then on standard error)")
      ->type_name("FILE")
      ->group(kGroup);
}

// The composite's tension law for structural analyses, and its export.
void addLawOptions(CLI::App& app, GivenOptions& g) {
  constexpr const char* kGroup = "Tension law for structural analysis";
  app.add_option("--ft", g.ft,
                 "tensile strength of the plain matrix (MPa): with --Gf, its softening (Hordijk 1991) "
                 "is added to the fibers' bridging stress in the law --export writes")
      ->type_name("MPa")
      ->group(kGroup);
  app.add_option("--Gf", g.Gf, "fracture energy of the plain matrix (N/mm), with --ft")
      ->type_name("N/mm")
      ->group(kGroup);
  app.add_option("--Ec", g.Ec, "modulus of the composite (GPa), for the total strain of --export csv with --crack-band")
      ->type_name("GPa")
      ->group(kGroup);
  app.add_option("--sigma-w", g.o.law.tablePath,
                 "a tabulated tension law (crack width mm, stress MPa; the measured-curve format) to --export "
                 "instead of a run")
      ->type_name("FILE")
      ->group(kGroup);
  app.add_option("--export", g.exportTexts,
                 "write the composite's tension law for an FE code: abaqus:FILE (*CONCRETE TENSION STIFFENING), "
                 "diana:FILE (multilinear tension softening) or csv:FILE; repeatable")
      ->type_name("FORMAT:FILE")
      ->group(kGroup);
  app.add_flag("--beam", g.o.law.beam,
               "the EN 14651 notched beam (150 x 150 mm, span 500 mm, notch 25 mm) of the tension law: fL, "
               "fR1-fR4 and the fib Model Code 2010 class, from a cracked hinge (Olesen 2001); needs --Ec")
      ->group(kGroup);
  app.add_option("--beam-size", g.beamSize, "the beam's width, depth, span and notch depth (mm) in place of EN 14651's")
      ->type_name("B,H,SPAN,NOTCH")
      ->group(kGroup);
  app.add_option("--beam-curve", g.o.law.beamCurve, "write the beam's load (kN) against CMOD (mm) as CSV to FILE")
      ->type_name("FILE")
      ->group(kGroup);
  app.add_option("--crack-band", g.crackBand,
                 "crack band width h (mm) of the FE mesh: --export gives strains w/h (Abaqus TYPE=STRAIN, DIANA)")
      ->type_name("mm")
      ->group(kGroup);
}

}  // namespace

bool GivenOptions::given(std::string_view option) const { return app->count(std::string(option)) > 0; }

bool GivenOptions::inputGiven(Field field) const {
  for (const auto& [f, option] : inputOptions)
    if (f == field && option->count() > 0) return true;
  return false;
}

std::vector<std::string> GivenOptions::givenNames() const {
  std::vector<std::string> names;
  for (const CLI::Option* option : app->get_options())
    if (option->count() > 0) names.push_back(option->get_lnames().empty() ? "" : "--" + option->get_lnames().front());
  return names;
}

// The whole option table, one option per input of the field table; what the
// command line gives lands in `g`.
void addOptions(CLI::App& app, GivenOptions& g) {
  app.set_version_flag("--version", "fiberbridge-cli " + std::string(kVersion));
  app.get_formatter()->column_width(32);

  CliOptions& o = g.o;
  o.texts = FieldTexts::defaults();
  g.inputs = o.texts;
  // What the two orientation intensities mean together, which their names alone do not say.
  const auto helpOf = [](const FieldInfo& info) {
    std::string help(info.meaning);
    // Every number's unit, so that no one guesses between mm and m, or MPa and N.
    if (info.field == Field::division)
      help += " (a whole number)";
    else if (info.isNumber())
      help += info.unit.empty() ? std::string(" (no unit)") : " (" + std::string(info.unit) + ")";
    if (info.field == Field::orientation)
      help +=
          ": planar (random in the X-Y plane) or isotropic (uniform over the sphere), each in place of the "
          "densities of kxy, kzx, thetaRxy and thetaRzx, which stay 1, 1, 0 and 0; empty (the default): those "
          "densities";
    if (info.field == Field::kxy || info.field == Field::kzx)
      help +=
          " (kxy = kzx = 1: two independent uniform angles, not 3-D isotropic fibers; about 40.5 % of the "
          "fibers cross a crack, against 50 % for isotropic ones)";
    return help;
  };
  for (const FieldInfo& info : kFields) {
    if (info.field == Field::dataFile) continue;
    CLI::Option* option = app.add_option("--" + std::string(info.name), g.inputs[info.field], helpOf(info))
                              ->capture_default_str()
                              ->group(kInputsGroup);
    g.inputOptions.emplace_back(info.field, option);
  }
  app.add_option("-o,--output", o.texts[Field::dataFile],
                 "the data file to write (a single run; it may be left out when --csv or --plot is given); every "
                 "output named by a symbolic link is written to the file the link points to")
      ->type_name("FILE");
  app.add_flag("-q,--quiet", o.quiet,
               "no progress on standard error, and in a sweep no line for each run that finished (those that did "
               "not, and the summary line, stay)");

  app.add_option("--inputs", o.inputsPath,
                 "read inputs from FILE ('name = value' lines; - reads standard input); options given here override "
                 "it")
      ->type_name("FILE")
      ->group("Input sets");
  app.add_option("--save-inputs", o.saveInputs, "write the complete input set to FILE, to repeat the run exactly")
      ->type_name("FILE")
      ->group("Input sets");
  app.add_option("--csv", o.csv,
                 "also write the rows as CSV to FILE (a single run); - writes them to standard output, and the "
                 "summary line then goes to standard error")
      ->type_name("FILE")
      ->group("Results");
  app.add_option("--plot", o.plot, "draw the stress and fiber-ratio graphs into FILE.svg or FILE.png")
      ->type_name("FILE")
      ->group("Results");
  app.add_option("--measured", o.measuredPaths,
                 "a measured curve (crack width mm, stress MPa and optionally its standard deviation MPa per line; "
                 "- reads standard input) to plot and compare with; a fit takes several, one per specimen")
      ->type_name("FILE")
      ->group("Results")
      ->take_all()
      ->expected(1);
  app.add_option("--sweep", g.sweepTexts,
                 "vary an input: NAME=FROM:TO:COUNT or NAME=V1,V2,...; repeated, the sweeps form a grid")
      ->type_name(kSweepValue)
      ->group("Studies")
      ->take_all()
      ->expected(1);
  app.add_option("--fit", g.fitTexts,
                 "fit an input to --measured, --pullout or --beam-measured within its bounds: NAME=LO:HI, up to 8 "
                 "inputs")
      ->type_name(kFitValue)
      ->group("Calibration")
      ->take_all()
      ->expected(1);
  app.add_option("--pullout", o.fit.pulloutPaths,
                 "a single-fiber pullout test to fit (slip mm, load N and optionally its standard deviation N per "
                 "line; '# lb = ' and '# angle = ' give its embedded length mm and inclination degrees); repeated")
      ->type_name("FILE")
      ->group("Calibration")
      ->take_all()
      ->expected(1);
  app.add_option("--beam-measured", o.fit.beamPaths,
                 "a notched-beam test to fit (CMOD mm, load kN and optionally its standard deviation kN per line) "
                 "through the beam of each run's law with the matrix's --ft, --Gf and --Ec and --beam-size; repeated")
      ->type_name("FILE")
      ->group("Calibration")
      ->take_all()
      ->expected(1);
  app.add_option("--fit-prior", o.fit.priorPath,
                 "the --fit-report of a stage-1 fit whose inputs this fit holds: it is fitted again with each at the "
                 "ends of its 95 % interval, and the shifts widen the intervals")
      ->type_name("FILE")
      ->group("Calibration");
  app.add_flag("--robust", o.fit.robust,
               "fit with a soft-L1 loss: residuals beyond the points' own noise (or one standard deviation) count "
               "less than their square, so a few bad points cannot pull the fit")
      ->group("Calibration");
  app.add_option("--fit-starts", o.fit.starts, "local searches of a fit: the given values, then a Latin hypercube")
      ->capture_default_str()
      ->type_name("N")
      ->group("Calibration");
  app.add_option("--seed", g.seedText, "seed of the Latin hypercube of a fit or a scatter")
      ->capture_default_str()
      ->type_name("N")
      ->group("Calibration");
  app.add_option("--fit-log", o.fit.log, "write one CSV row per run of the fit to FILE")
      ->type_name("FILE")
      ->group("Calibration");
  app.add_option("--fit-report", o.fit.report,
                 "write the fit's values, 95 % intervals, basins and warnings as JSON to FILE")
      ->type_name("FILE")
      ->group("Calibration");
  app.add_flag("--log-width", o.fit.logWidth, "draw the fit's plot on a logarithmic crack-width axis")
      ->group("Calibration");
  app.add_option("--output-dir", g.outputDir, "where a sweep writes its data files and summary.csv")
      ->type_name("DIR")
      ->group("Studies");
  addDesignOptions(app, g);
  addLawOptions(app, g);
  app.add_option("--shard", g.shardText,
                 "run only part K of N of the sweep's grid (runs K, K + N, K + 2N, ... in grid order) and write "
                 "summary-shard-K-of-N.csv into --output-dir, for --merge")
      ->type_name("K/N")
      ->group("Studies");
  app.add_flag("--resume", o.sweep.resume,
               "run again only what an earlier attempt at the same study (or shard) in --output-dir left "
               "unfinished: a run whose summary row says finished and whose data file is complete is kept")
      ->group("Studies");
  app.add_flag("--allow-large", o.sweep.allowLarge,
               "let a sweep's grid have more than " + std::to_string(kLargeStudyRuns) +
                   " runs (a larger grid is refused as a likely typo; a shard runs its share with memory "
                   "independent of the grid's size)")
      ->group("Studies");
  app.add_option("--merge", o.merge.dirs,
                 "merge the summary parts of a sharded sweep found in DIR... into summary.csv in --output-dir "
                 "(default: the one DIR given)")
      ->type_name("DIR")
      ->group("Studies")
      ->take_all()
      ->expected(1, 1 << 16);
  // No default shown: the CPUs differ from machine to machine and job to job.
  o.jobs = allottedCpus();
  app.add_option("--jobs", o.jobs,
                 "threads of a run, a sweep or a fit (1 to 4096; default: the CPUs this process may use, "
                 "at most SLURM_CPUS_PER_TASK)")
      ->type_name("N")
      ->group("Studies (and fits)");
}

}  // namespace fb
