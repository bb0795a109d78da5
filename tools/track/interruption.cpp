// SIGINT recorded in a flag and in a pipe that waits for input can watch.
#include "interruption.h"

#include <csignal>

#include <fcntl.h>
#include <unistd.h>

namespace morvane::track {

namespace {

volatile std::sig_atomic_t interrupt_seen = 0;
// The pipe's ends: the handler writes, waits poll the read end.
int wake_read = -1;
int wake_write = -1;

void on_interrupt(int)
{
    interrupt_seen = 1;
    if (wake_write >= 0) {
        const char byte = 1;
        // A full pipe already wakes every wait; nothing to do then.
        [[maybe_unused]] const ssize_t written = write(wake_write, &byte, 1);
    }
}

} // namespace

void catch_interrupt()
{
    int ends[2];
    if (wake_read < 0 && pipe2(ends, O_CLOEXEC | O_NONBLOCK) == 0) {
        wake_read = ends[0];
        wake_write = ends[1];
    }
    struct sigaction action {};
    action.sa_handler = on_interrupt;
    sigemptyset(&action.sa_mask);
    // Writes of the output resume; a wait for a frame watches the pipe instead.
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
}

bool interrupted() { return interrupt_seen != 0; }

int interrupt_descriptor() { return wake_read; }

} // namespace morvane::track
