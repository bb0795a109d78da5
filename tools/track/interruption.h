// SIGINT as a request to end the run after the current frame.
#pragma once

namespace morvane::track {

// Catches SIGINT from now on; interrupted system calls resume, and waits for
// input that watch interrupt_descriptor() end at once.
void catch_interrupt();
bool interrupted();

// A descriptor that turns readable at the first interrupt; -1 before
// catch_interrupt.
int interrupt_descriptor();

} // namespace morvane::track
