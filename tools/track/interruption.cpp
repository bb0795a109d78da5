#include "interruption.h"

#include <csignal>

namespace morvane::track {

namespace {

volatile std::sig_atomic_t interrupt_seen = 0;

void on_interrupt(int) { interrupt_seen = 1; }

} // namespace

void catch_interrupt()
{
    struct sigaction action {};
    action.sa_handler = on_interrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
}

bool interrupted() { return interrupt_seen != 0; }

} // namespace morvane::track
