#pragma once

// The parts of fiberbridge._native, each adding its functions to the module.

#include <pybind11/pybind11.h>

namespace fb {

void bindRuns(pybind11::module_& m);    // run, run_many, grid, data files, input sets, CSV, RMS
void bindDesign(pybind11::module_& m);  // PSH indices, scatter samples, band, spread
void bindFit(pybind11::module_& m);     // the pullout law and the fit

}  // namespace fb
