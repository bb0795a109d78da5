// The C interface's result codes and per-thread messages, and the guard that
// keeps exceptions inside the library.
#pragma once

#include "morvane_track.h"

#include <new>
#include <string>

namespace morvane::track {

// Records message as the calling thread's and returns code.
int failed(int code, const std::string &message);

// body's result; an exception becomes a result code and a message.
template <typename Body> int guarded(Body &&body) noexcept
{
    try {
        return body();
    } catch (const std::bad_alloc &) {
        return failed(MORVANE_TRACK_NO_MEMORY, "out of memory");
    } catch (const std::exception &e) {
        return failed(MORVANE_TRACK_INVALID, e.what());
    } catch (...) {
        return failed(MORVANE_TRACK_INVALID, "unexpected failure");
    }
}

} // namespace morvane::track
