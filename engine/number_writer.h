#pragma once

// Writing numbers: the fixed and general texts of data files and tables, and
// texts that read back exactly.

#include <string>

namespace fb {

/// The general text of a single-precision value: 7 significant digits, no
/// trailing zeros, "0.02" rather than ".02", exponent form ("1E+07") only
/// for magnitudes below 1E-04 or from 1E+07 on.
std::string formatGeneral(float value);

/// The shortest general text of a double, up to 15 significant digits
/// (a crack width of 0.5 mm is "0.5").
std::string formatShortest(double value);

/// `value` with exactly `decimals` digits after ".", at least one before it,
/// no grouping: the "0.00", "0.0000" and "0.00000" patterns.
std::string formatFixed(double value, int decimals);

/// `value` to `digits` significant digits, in exponent form where shorter ("0.0316", "2.1e-78").
std::string significantText(double value, int digits);

/// The shortest decimal text that the number reader reads back to exactly `value`
/// ("0.1", "1e-05"); infinities become "1e999" and "-1e999".
std::string exactText(double value);
/// The same for a single-precision value, read back and rounded to single.
std::string exactText(float value);

}  // namespace fb
