// Per-thread initialisation state of the component system, for activation.
#pragma once

namespace morvane::com {

// Whether the calling thread has called CoInitialize(Ex) more often than CoUninitialize.
bool initialized_on_this_thread();

} // namespace morvane::com
