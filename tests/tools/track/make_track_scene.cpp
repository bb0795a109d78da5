// morvane-track's test scene as numbered PNG files, for trying it by hand: make-track-scene FOLDER
#include "track_scene.h"


int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fputs("usage: make-track-scene FOLDER\n", stderr);
        return 2;
    }
    morvane::test::write_scene_images(morvane::test::TrackScene{}, argv[1]);
    return 0;
}
