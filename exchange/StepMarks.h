// Where the time of one request goes, for the round-trip benchmark.
//
// Off unless QUORVANE_STEP_MARKS names a file; each mark then appends one
// line "<microseconds of CLOCK_MONOTONIC> <process id> <step>" to it. The
// desktop side and the agent (which inherits the variable through the
// device) write to the same file, and one clock serves both, so the gaps
// between marks are the steps. A mark costs one write(2); when off, one
// branch. Safe from any thread.
#pragma once

#include <string_view>

namespace exchange {

void MarkStep(std::string_view step);

} // namespace exchange
