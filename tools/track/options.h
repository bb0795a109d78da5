// The command line of morvane-track: what to read, how to track, what to write.
#pragma once

#include <morvane_track.h>

#include <optional>
#include <string>
#include <variant>

namespace morvane::track {

enum class OutputFormat { csv, jsonl };

// The engine's own defaults, so that the program and the library never differ.
inline morvane_track_settings engine_defaults()
{
    morvane_track_settings settings;
    morvane_track_default_settings(&settings);
    return settings;
}

struct Options {
    std::string input;                // video file, folder of images or printf pattern
    std::optional<std::string> output; // -o FILE; standard output when absent
    OutputFormat format = OutputFormat::csv;
    std::optional<std::string> overlay; // a video file, or a folder when it ends in '/'
    std::optional<std::string> points;  // start points instead of detected corners

    int max_features = engine_defaults().max_features;
    double quality = engine_defaults().quality;
    double min_distance = engine_defaults().min_distance;
    double redetect = engine_defaults().redetect;

    long half_width = engine_defaults().half_width;
    long half_height = engine_defaults().half_height;
    long levels = engine_defaults().levels;
    long iterations = engine_defaults().iterations;
    double epsilon = engine_defaults().epsilon;

    double fb_max = engine_defaults().fb_max;          // 0 turns the forward-backward check off
    double residue_max = engine_defaults().residue_max; // infinity: no limit
    bool appearance_check = engine_defaults().appearance_check != 0;
    double appearance_min = engine_defaults().appearance_min;
    bool quiet = false;
    bool verbose = false; // the libraries' own warnings on standard error
};

// What the command line asks for: a run, the usage text, or the version.
struct ShowHelp {};
struct ShowVersion {};
struct UsageError {
    std::string message;
};
using Command = std::variant<Options, ShowHelp, ShowVersion, UsageError>;

Command parse_options(int argc, const char *const *argv);

// The short usage printed by --help and after a usage error.
const char *usage_text();

} // namespace morvane::track
