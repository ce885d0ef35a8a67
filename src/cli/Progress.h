// The progress bar of the long jobs (write, import, font) on a terminal's stderr.
#pragma once

#include <string>

namespace halvex::cli {

// One line of the bar: "[#####.....]  45%  2.9 s left" for `fraction` 0..1 done after
// `elapsedSeconds`. The time left is estimated from the pace so far; it is left out until
// some progress has been made.
std::string ProgressLine(double fraction, double elapsedSeconds);

} // namespace halvex::cli
