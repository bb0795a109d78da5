// A run of the engine library: frames in from a source that decodes ahead,
// rows out to the writers and the overlay, progress and a summary.
#include "track_run.h"
#include "interruption.h"
#include "library_logging.h"
#include "overlay.h"
#include "progress.h"
#include "start_points.h"
#include "track_writers.h"

#include <morvane_track.h>

#include <opencv2/core.hpp>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>

namespace morvane::track {

namespace {

void say(const std::string &line) { std::fprintf(stderr, "morvane-track: %s\n", line.c_str()); }

int fail(const std::string &line)
{
    say(line);
    return run_failed;
}

struct CloseSource {
    void operator()(morvane_track_source *source) const { morvane_track_source_close(source); }
};
struct CloseEngine {
    void operator()(morvane_track_engine *engine) const { morvane_track_close(engine); }
};
using Source = std::unique_ptr<morvane_track_source, CloseSource>;
using Engine = std::unique_ptr<morvane_track_engine, CloseEngine>;

std::string frame_text(long index, const morvane_track_source &source)
{
    return "frame " + std::to_string(index) + " (" + morvane_track_source_frame_name(&source) + ")";
}

void summarize(const morvane_track_summary &summary, double fps)
{
    char figures[320];
    std::snprintf(figures, sizeof figures,
                  "%ld frames, %ld tracks started; ended: %ld lost, %ld forward-backward, %ld residue, "
                  "%ld left the frame, %ld appearance; median track length %.1f frames; %.1f frames per second",
                  summary.frames, summary.started, summary.ended[MORVANE_TRACK_LOST],
                  summary.ended[MORVANE_TRACK_FORWARD_BACKWARD], summary.ended[MORVANE_TRACK_RESIDUE],
                  summary.ended[MORVANE_TRACK_LEFT_FRAME], summary.ended[MORVANE_TRACK_APPEARANCE],
                  summary.median_length, fps);
    say(figures);
}

// The outputs that would overwrite an input; nothing when all are safe.
std::optional<std::string> output_clash(const Options &options, const morvane_track_source &source)
{
    const bool overlay_folder = options.overlay && options.overlay->back() == '/';
    for (const auto &[output, folder] : {std::pair(options.output, false), std::pair(options.overlay, overlay_folder)}) {
        if (!output)
            continue;
        const char *input = morvane_track_source_overwritten(&source, output->c_str(), folder ? 1 : 0);
        if (input == nullptr && options.points && !folder && *options.points == *output)
            input = options.points->c_str();
        if (input != nullptr)
            return "will not write " + *output + ": it would overwrite the input " + input;
    }
    return std::nullopt;
}

int interruption_status(long frames)
{
    say(frames > 0 ? "interrupted after frame " + std::to_string(frames - 1) : "interrupted before the first frame");
    return run_interrupted;
}

int clamped(long value) { return static_cast<int>(std::clamp<long>(value, INT_MIN, INT_MAX)); }

morvane_track_settings engine_settings(const Options &options, const std::vector<float> &points)
{
    morvane_track_settings settings = engine_defaults();
    settings.max_features = options.max_features;
    settings.quality = options.quality;
    settings.min_distance = options.min_distance;
    settings.redetect = options.redetect;
    settings.half_width = clamped(options.half_width);
    settings.half_height = clamped(options.half_height);
    settings.levels = clamped(options.levels);
    settings.iterations = clamped(options.iterations);
    settings.epsilon = options.epsilon;
    settings.fb_max = options.fb_max;
    settings.residue_max = options.residue_max;
    settings.appearance_check = options.appearance_check ? 1 : 0;
    settings.appearance_min = options.appearance_min;
    settings.points = points.empty() ? nullptr : points.data();
    settings.point_count = points.size() / 2;
    return settings;
}

// A frame of the source as a matrix over its memory.
struct Frame {
    int result;
    cv::Mat grey;
};

Frame next_frame(morvane_track_source &source)
{
    const unsigned char *pixels = nullptr;
    int width = 0, height = 0;
    ptrdiff_t stride = 0;
    const int result = morvane_track_source_next(&source, &pixels, &width, &height, &stride);
    if (result != MORVANE_TRACK_OK)
        return {result, {}};
    return {result, cv::Mat(height, width, CV_8UC1, const_cast<unsigned char *>(pixels), static_cast<size_t>(stride))};
}

} // namespace

int run_tracking(const Options &options)
{
    if (!options.verbose)
        silence_libraries();
    catch_interrupt();
    morvane_track_source *opened_source = nullptr;
    if (morvane_track_source_open(options.input.c_str(), interrupt_descriptor(), &opened_source) != MORVANE_TRACK_OK)
        return fail("cannot open the input " + options.input + ": " + morvane_track_message());
    const Source source(opened_source);
    if (const auto clash = output_clash(options, *source))
        return fail(*clash);
    const Frame first = next_frame(*source);
    if (first.result == MORVANE_TRACK_END)
        return fail("the input " + options.input + " holds no frames");
    if (first.result == MORVANE_TRACK_WOKEN || (first.result != MORVANE_TRACK_OK && interrupted()))
        return interruption_status(0);
    if (first.result != MORVANE_TRACK_OK)
        return fail("cannot read " + frame_text(0, *source) + ": " + morvane_track_message());

    std::vector<float> points;
    if (options.points) {
        std::string error;
        const auto read = read_start_points(*options.points, error);
        if (!read)
            return fail(error);
        for (const cv::Point2f &p : *read)
            points.insert(points.end(), {p.x, p.y});
    }
    const morvane_track_settings settings = engine_settings(options, points);
    morvane_track_engine *opened_engine = nullptr;
    if (morvane_track_open(&settings, &opened_engine) != MORVANE_TRACK_OK)
        return fail(morvane_track_message());
    const Engine engine(opened_engine);
    if (morvane_track_push(engine.get(), first.grey.data, first.grey.cols, first.grey.rows,
                           static_cast<ptrdiff_t>(first.grey.step[0])) != MORVANE_TRACK_OK)
        return fail(morvane_track_message());
    // The first frame is copied: the source's memory holds only the latest frame.
    const cv::Mat first_frame = first.grey.clone();

    std::string error;
    std::unique_ptr<OverlayWriter> overlay;
    if (options.overlay) {
        const double fps = morvane_track_source_fps(source.get());
        overlay = open_overlay(*options.overlay, first_frame.size(), fps > 0.0 ? fps : 25.0, error);
        if (!overlay)
            return fail(error);
    }
    std::ofstream file;
    const std::string output_name = options.output.value_or("standard output");
    if (options.output) {
        errno = 0;
        file.open(*options.output, std::ios::binary | std::ios::trunc);
        if (!file)
            return fail("cannot write " + output_name + ": " + (errno != 0 ? std::strerror(errno) : "open failed"));
    }
    std::ostream &out = options.output ? static_cast<std::ostream &>(file) : std::cout;
    const auto writer = make_writer(options.format, out);
    const long total = morvane_track_source_frame_count(source.get());
    Progress progress(options.quiet, total > 0 ? std::optional(total) : std::nullopt);
    Trails trails;

    // Writes the rows of the frame last pushed and draws them on grey.
    const auto write_frame = [&](const cv::Mat &grey) {
        const morvane_track_row *rows = nullptr;
        std::size_t count = 0;
        morvane_track_rows(engine.get(), &rows, &count);
        if (!writer->write(rows, count, error))
            return fail("cannot write " + output_name + ": " + error);
        trails.update(rows, count);
        if (overlay && !overlay->write(grey, trails, error))
            return fail(error);
        return run_complete;
    };
    int status = write_frame(first_frame);
    long frames = 1;
    while (status == run_complete && !interrupted()) {
        const Frame frame = next_frame(*source);
        if (frame.result == MORVANE_TRACK_END || frame.result == MORVANE_TRACK_WOKEN)
            break;
        if (frame.result != MORVANE_TRACK_OK) {
            // An interrupt that cut a read short is an interrupt, not a bad frame.
            if (!interrupted())
                status = fail("cannot read " + frame_text(frames, *source) + ": " + morvane_track_message());
            break;
        }
        const int pushed = morvane_track_push(engine.get(), frame.grey.data, frame.grey.cols, frame.grey.rows,
                                              static_cast<ptrdiff_t>(frame.grey.step[0]));
        if (pushed == MORVANE_TRACK_FRAME_SIZE) {
            // "frame N is ..." from the engine, with the frame's name added.
            const std::string message = morvane_track_message();
            status = fail(frame_text(frames, *source) + message.substr(message.find(" is ")));
            break;
        }
        if (pushed != MORVANE_TRACK_OK) {
            status = fail(morvane_track_message());
            break;
        }
        status = write_frame(frame.grey);
        ++frames;
        progress.update(frames);
    }
    progress.finish();
    if (status == run_complete && interrupted())
        status = interruption_status(frames);
    morvane_track_summary summary{};
    morvane_track_get_summary(engine.get(), &summary);
    summarize(summary, progress.rate(frames));
    return status;
}

} // namespace morvane::track
