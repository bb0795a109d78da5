// The command line of morvane-track: what to read, how to track, what to write.
#pragma once

#include <optional>
#include <string>
#include <variant>

namespace morvane::track {

enum class OutputFormat { csv, jsonl };

struct Options {
    std::string input;                // video file, folder of images or printf pattern
    std::optional<std::string> output; // -o FILE; standard output when absent
    OutputFormat format = OutputFormat::csv;
    std::optional<std::string> overlay; // a video file, or a folder when it ends in '/'
    std::optional<std::string> points;  // start points instead of detected corners

    int max_features = 400;
    double quality = 0.01;
    double min_distance = 10.0;
    double redetect = 0.7;

    long half_width = 10;
    long half_height = 10;
    long levels = 3;
    long iterations = 30;
    double epsilon = 0.01;

    double fb_max = 1.0;                // 0 turns the forward-backward check off
    std::optional<double> residue_max;  // no limit when absent
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
