#pragma once

#include <cstdint>
#include <string>

namespace fb {

/// The inputs of one calculation, each in the precision the engine computes with.
struct ParameterSet {
  std::string dataFile;
  float Am = 0;                              // mm2, matrix sectional area
  float Vf = 0;                              // fiber volume fraction
  float Af = 0;                              // mm2, one fiber's sectional area
  float Lf = 0;                              // mm, fiber length
  float fp0 = 0, fp1 = 0;                    // load snubbing: fp0 + fp1*lb (fp1 in 1/mm)
  float fd0 = 0, fd1 = 0;                    // displacement snubbing: fd0 + fd1*lb
  float strengthReduction = 0;               // strength loss with inclination
  float ruptureStrength = 0;                 // MPa
  float crackAngleXY = 0, crackAngleZX = 0;  // degrees
  float kxy = 0, kzx = 0;                    // orientation intensities
  float thetaRxy = 0, thetaRzx = 0;          // principal orientation angles, degrees
  std::int16_t division = 0;
  double Aa = 0, Ba = 0;    // first-point load Aa*lb^Ba (N)
  double Ca = 0, Da = 0;    // first-point width Ca*lb + Da (mm)
  double A = 0, B = 0;      // peak load A*lb^B (N)
  double C = 0, D = 0;      // peak width C*lb + D (mm)
  std::string orientation;  // a preset's name ("planar", "isotropic"), or empty for the kxy and kzx densities
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
  double deltaMaxHalfLf = 0;  // mm, peak width of the longest embedded length
};

/// The value of pi that every angle of the model uses.
inline constexpr double kPi = 3.141592654;
/// Radians per degree, with that pi.
inline constexpr double kDegToRad = kPi / 180;

RunConstants deriveValues(const ParameterSet& p);

}  // namespace fb
