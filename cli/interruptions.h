#pragma once

// Ctrl-C, SIGTERM and SIGHUP stop the command line's runs at their next yield,
// so that every data file ends after a complete row and a study's summary
// says which runs finished.

#include <atomic>

namespace fb {

/// From here on SIGINT, SIGTERM and SIGHUP set the stop flag instead of ending
/// the process; SIGXFSZ is ignored, so a file size limit fails the write
/// instead of killing the process in the middle of a row.
void catchInterruptions();

/// Set once one of those signals has come.
const std::atomic<bool>& stopRequested();

/// The signal that came, 0 when none.
int caughtSignal();

}  // namespace fb
