// trackdemo: tracks six points from image1.bmp into image2.bmp through the Morvane
// component and shows the marked frames. Exit status 0 after a complete run, -1
// (255) after a failure.
#include "application.h"

#include <iostream>
#include <new>

int main(int argc, char **argv)
{
    try {
        trackdemo::TrackDemoApp application(argc, argv);
        return application.run();
    } catch (const std::bad_alloc &) {
        std::cerr << "trackdemo: out of memory\n";
        return -1;
    }
}
