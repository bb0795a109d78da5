// Writes the test scene of morvane-track as numbered PNG files into a folder,
// for trying the program by hand: make-track-scene FOLDER
#include "track_scene.h"

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fputs("usage: make-track-scene FOLDER\n", stderr);
        return 2;
    }
    morvane::test::write_scene_images(morvane::test::TrackScene{}, argv[1]);
    return 0;
}
