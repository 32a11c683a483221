#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/refusal.h"

namespace fb {

/// Every input of a run, in the order the window's table lists them.
enum class Field {
  dataFile, Am, Vf, Af, Lf, fp0, fp1, fd0, fd1, strengthReduction, ruptureStrength,
  crackAngleXY, crackAngleZX, kxy, kzx, thetaRxy, thetaRzx, division,
  Aa, Ba, Ca, Da, A, B, C, D,
};
inline constexpr std::size_t kFieldCount = 26;

struct FieldInfo {
  Field field;
  std::string_view name;         // as the command line spells it
  std::string_view textBox;      // the window's text box
  std::string_view meaning;      // for messages: "Af (fiber sectional area) ..."
  std::string_view defaultText;  // what the window shows when it opens
};

/// The fields with their text boxes and default texts, in reading order.
extern const std::array<FieldInfo, kFieldCount> kFields;

const FieldInfo& fieldInfo(Field field);
std::optional<Field> fieldByName(std::string_view name);

/// The text of every input, as typed into a text box or given on a command line.
struct FieldTexts {
  std::array<std::string, kFieldCount> texts;

  static FieldTexts defaults();
  std::string& operator[](Field f) { return texts[static_cast<std::size_t>(f)]; }
  const std::string& operator[](Field f) const { return texts[static_cast<std::size_t>(f)]; }
};

/// The inputs of one calculation, each in the precision the engine computes with.
struct ParameterSet {
  std::string dataFile;
  float Am = 0;                 // mm2, matrix sectional area
  float Vf = 0;                 // fiber volume fraction
  float Af = 0;                 // mm2, one fiber's sectional area
  float Lf = 0;                 // mm, fiber length
  float fp0 = 0, fp1 = 0;       // load snubbing: fp0 + fp1*lb (fp1 in 1/mm)
  float fd0 = 0, fd1 = 0;       // displacement snubbing: fd0 + fd1*lb
  float strengthReduction = 0;  // strength loss with inclination
  float ruptureStrength = 0;    // MPa
  float crackAngleXY = 0, crackAngleZX = 0;  // degrees
  float kxy = 0, kzx = 0;                    // orientation intensities
  float thetaRxy = 0, thetaRzx = 0;          // principal orientation angles, degrees
  std::int16_t division = 0;
  double Aa = 0, Ba = 0;  // first-point load Aa*lb^Ba (N)
  double Ca = 0, Da = 0;  // first-point width Ca*lb + Da (mm)
  double A = 0, B = 0;    // peak load A*lb^B (N)
  double C = 0, D = 0;    // peak width C*lb + D (mm)
};

/// Constants of a run derived from its inputs.
struct RunConstants {
  float totalFiber = 0;              // Vf*Am/Af, fibers in the section
  float fiberNumberCoefficient = 0;  // totalFiber/101, fibers per slice
  double degToRad = 0;               // with pi taken as 3.141592654
  std::int16_t angleStep = 2;        // degrees between angle classes
  double angleClassWidth = 0;        // rad
  double thetaRxyRad = 0, thetaRzxRad = 0;
  double crackAngleXYRad = 0, crackAngleZXRad = 0;
  double deltaMaxHalfLf = 0;         // mm, peak width of the longest embedded length
};

/// The value of pi that every angle of the model uses.
inline constexpr double kPi = 3.141592654;

struct ReadOutcome {
  ParameterSet params;
  std::optional<Refusal> refusal;  // set when `division` does not fit 16 bits
};

/// Reads every field with the number reader and stores it in its precision.
ReadOutcome readParameterSet(const FieldTexts& texts);

RunConstants deriveValues(const ParameterSet& p);

/// The inputs a run cannot work with (division by zero, 16-bit overflow,
/// no usable density, values that are not finite), the first one found.
std::optional<Refusal> checkRunInputs(const ParameterSet& p, const RunConstants& k);

/// The decision of the fp1 check: true when fp0 + fp1*Lf/2 falls below 0,
/// so that the fp1 box must be reset to "0" and shown in red.
bool checkLoadSnubbing(std::string_view LfText, std::string_view fp0Text,
                       std::string_view fp1Text);

}  // namespace fb
