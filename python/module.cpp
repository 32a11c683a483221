// fiberbridge._native: the engine, the data file, the metrics and the fit for
// Python. It speaks in plain values (dicts of texts, numpy arrays, tuples) so
// that results pickle and travel between Dask workers; python/fiberbridge
// shapes them into the module's classes. The model runs with the GIL released,
// watched for Ctrl-C (python/watched_call.h).
#include "python/bindings.h"

PYBIND11_MODULE(_native, m) {
  m.doc() = "FiberBridge's engine for Python; use the fiberbridge package.";
  fb::bindRuns(m);
  fb::bindDesign(m);
  fb::bindFit(m);
}
