// SIGINT as a request to end the run after the current frame.
#pragma once

namespace morvane::track {

// Catches SIGINT from now on; interrupted system calls resume.
void catch_interrupt();
bool interrupted();

} // namespace morvane::track
