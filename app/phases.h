// The start-up's phase clock. With KIVO_PHASES naming a file, each phase the
// start reaches is timed (milliseconds since the process was created) and
// the list is written to that file, one "name milliseconds" line a phase,
// when the start is over. Without the variable nothing is timed or written.
#pragma once

#include <string>

namespace phases {

// Reads KIVO_PHASES and, when it names a file, times the phase "entry".
void Start();
// Times a phase (nothing when the clock was not started).
void Mark(const char* name);
// Times the phase "ready" and writes the list; later marks are not written.
void Finish();
// The list as written: "name milliseconds" lines, for the tests.
std::string Text();
// Forgets the phases and stops the clock.
void Reset();

}  // namespace phases
