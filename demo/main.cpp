// trackdemo: tracks six points from image1.bmp into image2.bmp through the Morvane
// component and shows the marked frames. Exit status 0 after a complete run, -1
// (255) after a failure. It takes no other arguments than -h, --help and --version.
#include "application.h"
#include "standard_options.h"

#include <iostream>
#include <new>

namespace {

// The manual page trackdemo.1 says the same at length.
constexpr char usage_text[] =
    "usage: trackdemo\n"
    "       trackdemo -h | --help | --version\n"
    "Tracks six points from image1.bmp into image2.bmp, both in the current folder,\n"
    "through the registered Morvane component, and shows the marked frames (as lines\n"
    "on standard error without a display). Each tracked point goes to standard output.\n"
    "Exit status: 0 after a complete run, 255 after a failure.\n"
    "MORVANE_REGISTRY names the registry database.\n";

} // namespace

int main(int argc, char **argv)
{
    if (const auto answered = morvane::answer_standard_option(argc, argv, "trackdemo", usage_text))
        return *answered;
    try {
        trackdemo::TrackDemoApp application(argc, argv);
        return application.run();
    } catch (const std::bad_alloc &) {
        std::cerr << "trackdemo: out of memory\n";
        return -1;
    }
}
