// The command line parsed into options, with every impossible value refused.
#include "options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <map>

namespace morvane::track {

namespace {

// Whole text as a number; partial or out-of-range numbers are refused.
std::optional<long> whole_long(const std::string &text)
{
    if (text.empty())
        return std::nullopt;
    errno = 0;
    char *end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0')
        return std::nullopt;
    return value;
}

std::optional<double> whole_double(const std::string &text)
{
    if (text.empty())
        return std::nullopt;
    errno = 0;
    char *end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (errno != 0 || *end != '\0' || std::isnan(value))
        return std::nullopt;
    return value;
}

// W or WxH.
bool parse_window(const std::string &text, Options &options)
{
    const auto cross = text.find('x');
    const auto width = whole_long(text.substr(0, cross));
    const auto height = cross == std::string::npos ? width : whole_long(text.substr(cross + 1));
    if (!width || !height)
        return false;
    options.half_width = *width;
    options.half_height = *height;
    return true;
}

using Setter = std::function<bool(const std::string &, Options &)>;

template <typename T> Setter number(T Options::*field)
{
    return [field](const std::string &text, Options &options) {
        if constexpr (std::is_floating_point_v<T>) {
            const auto value = whole_double(text);
            if (value)
                options.*field = *value;
            return value.has_value();
        } else {
            const auto value = whole_long(text);
            if (value)
                options.*field = static_cast<T>(*value);
            return value.has_value() && *value == static_cast<long>(static_cast<T>(*value));
        }
    };
}

const std::map<std::string, Setter> &valued_options()
{
    static const std::map<std::string, Setter> setters = {
        {"-o", [](const std::string &t, Options &o) { o.output = t; return true; }},
        {"--format",
         [](const std::string &t, Options &o) {
             if (t != "csv" && t != "jsonl")
                 return false;
             o.format = t == "csv" ? OutputFormat::csv : OutputFormat::jsonl;
             return true;
         }},
        {"--overlay", [](const std::string &t, Options &o) { o.overlay = t; return !t.empty(); }},
        {"--points", [](const std::string &t, Options &o) { o.points = t; return !t.empty(); }},
        {"--max-features",
         [](const std::string &t, Options &o) { return number(&Options::max_features)(t, o) && o.max_features > 0; }},
        {"--quality",
         [](const std::string &t, Options &o) {
             return number(&Options::quality)(t, o) && o.quality > 0.0 && o.quality <= 1.0;
         }},
        {"--min-distance",
         [](const std::string &t, Options &o) {
             return number(&Options::min_distance)(t, o) && o.min_distance >= 0.0 && o.min_distance <= 1e6;
         }},
        {"--redetect",
         [](const std::string &t, Options &o) {
             return number(&Options::redetect)(t, o) && o.redetect >= 0.0 && o.redetect <= 1.0;
         }},
        {"--half-window", parse_window},
        {"--levels", number(&Options::levels)},
        {"--iterations", number(&Options::iterations)},
        {"--epsilon", number(&Options::epsilon)},
        {"--fb-max",
         [](const std::string &t, Options &o) { return number(&Options::fb_max)(t, o) && o.fb_max >= 0.0; }},
        // A residue is never negative: a negative limit would end every track.
        {"--residue-max",
         [](const std::string &t, Options &o) { return number(&Options::residue_max)(t, o) && o.residue_max >= 0.0; }},
        {"--appearance-min",
         [](const std::string &t, Options &o) {
             return number(&Options::appearance_min)(t, o) && o.appearance_min >= -1.0 && o.appearance_min <= 1.0;
         }},
    };
    return setters;
}

} // namespace

Command parse_options(int argc, const char *const *argv)
{
    Options options;
    bool have_input = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-h" || arg == "--help")
            return ShowHelp{};
        if (arg == "--version")
            return ShowVersion{};
        if (arg == "--quiet" || arg == "--verbose") {
            (arg == "--quiet" ? options.quiet : options.verbose) = true;
            continue;
        }
        if (arg == "--no-appearance") {
            options.appearance_check = false;
            continue;
        }
        // --name=value is the same as --name value.
        std::string name = arg;
        std::optional<std::string> value;
        if (arg.rfind("--", 0) == 0 && arg.find('=') != std::string::npos) {
            name = arg.substr(0, arg.find('='));
            value = arg.substr(arg.find('=') + 1);
        }
        const auto setter = valued_options().find(name);
        if (setter != valued_options().end()) {
            if (!value) {
                if (i + 1 >= argc)
                    return UsageError{"option " + name + " needs an argument"};
                value = argv[++i];
            }
            if (!setter->second(*value, options))
                return UsageError{"invalid value '" + *value + "' for " + name};
            continue;
        }
        if (arg.size() > 1 && arg[0] == '-')
            return UsageError{"unknown option " + arg};
        if (have_input)
            return UsageError{"more than one input: " + arg};
        options.input = arg;
        have_input = true;
    }
    if (!have_input)
        return UsageError{"no input given"};
    return options;
}

const char *usage_text()
{
    return "usage: morvane-track [options] INPUT\n"
           "Tracks features through a video file, a folder of images or a printf-style\n"
           "pattern (frames/%04d.png) with the Morvane component.\n"
           "\n"
           "  -o FILE                write the tracks to FILE (default: standard output)\n"
           "  --format csv|jsonl     CSV with a header row or JSON Lines (default csv)\n"
           "  --overlay OUT          draw the tracks on the frames: a video file, or a folder/\n"
           "  --points FILE          start from the x,y points of a CSV file (no detection)\n"
           "  --max-features N       most tracks alive at once, max_features (default 400)\n"
           "  --quality Q            corner quality relative to the best (default 0.01)\n"
           "  --min-distance PX      least distance between corners (default 10)\n"
           "  --redetect F           detect again below F x max features (default 0.7)\n"
           "  --half-window W[xH]    feature_width x feature_height (default 10)\n"
           "  --levels N             pyramid_levels (default 3)\n"
           "  --iterations N         stop_iterations (default 30)\n"
           "  --epsilon E            stop_epsilon (default 0.01)\n"
           "  --fb-max PX            forward-backward limit, 0 for none (default 1.0)\n"
           "  --residue-max R        end tracks whose match residue exceeds R (at least 0)\n"
           "  --appearance-min C     least match of a track's patch with its start (default 0.8)\n"
           "  --no-appearance        no appearance check\n"
           "  --quiet                no progress on standard error\n"
           "  --verbose              let the image and video libraries print their warnings\n"
           "  -h, --help             this text\n"
           "  --version              the program's version\n"
           "Exit status: 0 done, 1 failed, 2 wrong usage, 130 interrupted.\n";
}

} // namespace morvane::track
