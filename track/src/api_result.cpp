// The message of each thread's last failed call, kept until its next failure.
#include "api_result.h"

namespace morvane::track {

thread_local std::string last_message;

int failed(int code, const std::string &message)
{
    try {
        last_message = message;
    } catch (...) {
        last_message.clear(); // no room for the text: the code alone
    }
    return code;
}

} // namespace morvane::track

extern "C" const char *morvane_track_message(void) { return morvane::track::last_message.c_str(); }
