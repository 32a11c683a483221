#include "engine/parameter_set.h"

#include <cmath>

#include "engine/number_reader.h"

namespace fb {

const std::array<FieldInfo, kFieldCount> kFields = {{
    {Field::dataFile, "dataFile", "Text2", "data file", ""},
    {Field::Am, "Am", "Text3", "matrix sectional area", "2500"},
    {Field::Vf, "Vf", "Text4", "fiber volume fraction", "0.02"},
    {Field::Af, "Af", "Text5", "fiber sectional area", "0.007854"},
    {Field::Lf, "Lf", "Text6", "fiber length", "12"},
    {Field::fp0, "fp0", "Text7", "snubbing coefficient for pullout load", "0.5"},
    {Field::fp1, "fp1", "Text24", "length term of the load snubbing coefficient", "0"},
    {Field::fd0, "fd0", "Text27", "snubbing coefficient for displacement", "0"},
    {Field::fd1, "fd1", "Text28", "length term of the displacement snubbing coefficient", "0"},
    {Field::strengthReduction, "strengthReduction", "Text8", "strength reduction", "0.3"},
    {Field::ruptureStrength, "ruptureStrength", "Text9", "rupture strength", "569"},
    {Field::crackAngleXY, "crackAngleXY", "Text25", "crack angle x-y", "0"},
    {Field::crackAngleZX, "crackAngleZX", "Text26", "crack angle z-x", "0"},
    {Field::kxy, "kxy", "Text10", "orientation intensity x-y", "1"},
    {Field::kzx, "kzx", "Text12", "orientation intensity z-x", "1"},
    {Field::thetaRxy, "thetaRxy", "Text11", "principal orientation angle x-y", "0"},
    {Field::thetaRzx, "thetaRzx", "Text13", "principal orientation angle z-x", "0"},
    {Field::division, "division", "Text20", "number of crack-width divisions", "30"},
    {Field::Aa, "Aa", "Text29", "first-point load factor", "1"},
    {Field::Ba, "Ba", "Text30", "first-point load exponent", "0"},
    {Field::Ca, "Ca", "Text31", "first-point width factor", "0"},
    {Field::Da, "Da", "Text32", "first-point width constant", "0.2"},
    {Field::A, "A", "Text14", "peak load factor", "3"},
    {Field::B, "B", "Text15", "peak load exponent", "0"},
    {Field::C, "C", "Text16", "peak width factor", "0"},
    {Field::D, "D", "Text17", "peak width constant", "0.5"},
}};

const FieldInfo& fieldInfo(Field field) { return kFields[static_cast<std::size_t>(field)]; }

std::optional<Field> fieldByName(std::string_view name) {
  for (const FieldInfo& info : kFields)
    if (info.name == name) return info.field;
  return std::nullopt;
}

FieldTexts FieldTexts::defaults() {
  FieldTexts t;
  for (const FieldInfo& info : kFields) t[info.field] = std::string(info.defaultText);
  return t;
}

namespace {

std::string subject(Field f) {
  const FieldInfo& info = fieldInfo(f);
  return std::string(info.name) + " (" + std::string(info.meaning) + ")";
}

Refusal refuse(Field f, std::string_view reason) {
  return {std::string(fieldInfo(f).name), subject(f) + " " + std::string(reason)};
}

float readSingle(const FieldTexts& t, Field f) { return static_cast<float>(numberReader(t[f])); }

}  // namespace

ReadOutcome readParameterSet(const FieldTexts& t) {
  ReadOutcome out;
  ParameterSet& p = out.params;
  p.dataFile = t[Field::dataFile];
  p.Am = readSingle(t, Field::Am);
  p.Vf = readSingle(t, Field::Vf);
  p.Af = readSingle(t, Field::Af);
  p.Lf = readSingle(t, Field::Lf);
  p.fp0 = readSingle(t, Field::fp0);
  p.fp1 = readSingle(t, Field::fp1);
  p.fd0 = readSingle(t, Field::fd0);
  p.fd1 = readSingle(t, Field::fd1);
  p.strengthReduction = readSingle(t, Field::strengthReduction);
  p.ruptureStrength = readSingle(t, Field::ruptureStrength);
  p.crackAngleXY = readSingle(t, Field::crackAngleXY);
  p.crackAngleZX = readSingle(t, Field::crackAngleZX);
  p.kxy = readSingle(t, Field::kxy);
  p.kzx = readSingle(t, Field::kzx);
  p.thetaRxy = readSingle(t, Field::thetaRxy);
  p.thetaRzx = readSingle(t, Field::thetaRzx);
  if (const auto division = roundDivision(numberReader(t[Field::division])))
    p.division = *division;
  else
    out.refusal = refuse(Field::division, "must be a whole number from -16384 to 16383");
  p.Aa = numberReader(t[Field::Aa]);
  p.Ba = numberReader(t[Field::Ba]);
  p.Ca = numberReader(t[Field::Ca]);
  p.Da = numberReader(t[Field::Da]);
  p.A = numberReader(t[Field::A]);
  p.B = numberReader(t[Field::B]);
  p.C = numberReader(t[Field::C]);
  p.D = numberReader(t[Field::D]);
  return out;
}

RunConstants deriveValues(const ParameterSet& p) {
  RunConstants k;
  k.totalFiber = static_cast<float>(static_cast<double>(p.Vf) * p.Am / p.Af);
  k.fiberNumberCoefficient = static_cast<float>(static_cast<double>(k.totalFiber) / 101);
  k.degToRad = kPi / 180;
  k.angleStep = 2;
  k.angleClassWidth = 2 * k.degToRad;
  k.thetaRxyRad = p.thetaRxy * k.degToRad;
  k.thetaRzxRad = p.thetaRzx * k.degToRad;
  k.crackAngleXYRad = p.crackAngleXY * k.degToRad;
  k.crackAngleZXRad = p.crackAngleZX * k.degToRad;
  k.deltaMaxHalfLf = p.C * p.Lf / 2 + p.D;
  return k;
}

std::optional<Refusal> checkRunInputs(const ParameterSet& p, const RunConstants& k) {
  const std::pair<Field, double> values[] = {
      {Field::Am, p.Am}, {Field::Vf, p.Vf}, {Field::Af, p.Af}, {Field::Lf, p.Lf},
      {Field::fp0, p.fp0}, {Field::fp1, p.fp1}, {Field::fd0, p.fd0}, {Field::fd1, p.fd1},
      {Field::strengthReduction, p.strengthReduction}, {Field::ruptureStrength, p.ruptureStrength},
      {Field::crackAngleXY, p.crackAngleXY}, {Field::crackAngleZX, p.crackAngleZX},
      {Field::kxy, p.kxy}, {Field::kzx, p.kzx}, {Field::thetaRxy, p.thetaRxy},
      {Field::thetaRzx, p.thetaRzx}, {Field::Aa, p.Aa}, {Field::Ba, p.Ba}, {Field::Ca, p.Ca},
      {Field::Da, p.Da}, {Field::A, p.A}, {Field::B, p.B}, {Field::C, p.C}, {Field::D, p.D},
  };
  for (const auto& [field, value] : values)
    if (!std::isfinite(value)) return refuse(field, "must be a finite number (it is too large)");

  if (p.Am == 0) return refuse(Field::Am, "must not be 0");
  if (p.Af == 0) return refuse(Field::Af, "must not be 0");
  if (!(p.Lf > 0)) return refuse(Field::Lf, "must be greater than 0");
  if (!(p.kxy > 0)) return refuse(Field::kxy, "must be greater than 0");
  if (!(p.kzx > 0)) return refuse(Field::kzx, "must be greater than 0");
  if (p.division == 0) return refuse(Field::division, "must not be 0");
  if (p.division > 16383 || p.division < -16384)
    return refuse(Field::division, "must lie between -16384 and 16383 (twice it must fit 16 bits)");
  if (k.totalFiber == 0)
    return refuse(Field::Vf, "gives no fibers: the fiber count Vf*Am/Af must not be 0");
  if (!std::isfinite(k.totalFiber))
    return refuse(Field::Vf, "gives a fiber count Vf*Am/Af too large for single precision");
  if (!std::isfinite(k.deltaMaxHalfLf * 2))
    return Refusal{"C/D", "C/D (peak width of the pullout law) give a crack width that is not finite"};
  return std::nullopt;
}

bool checkLoadSnubbing(std::string_view LfText, std::string_view fp0Text,
                       std::string_view fp1Text) {
  const float Lf = static_cast<float>(numberReader(LfText));
  const float fp0 = static_cast<float>(numberReader(fp0Text));
  const float fp1 = static_cast<float>(numberReader(fp1Text));
  const float atHalfLength = static_cast<float>(static_cast<double>(fp1) * Lf / 2 + fp0);
  return atHalfLength < 0;
}

}  // namespace fb
