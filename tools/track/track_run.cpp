#include "track_run.h"
#include "component_tracker.h"
#include "detection.h"
#include "interruption.h"
#include "library_logging.h"
#include "output_guard.h"
#include "overlay.h"
#include "padding.h"
#include "progress.h"
#include "sequence.h"
#include "start_points.h"
#include "track_book.h"
#include "track_step.h"
#include "track_writers.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>

namespace morvane::track {

namespace {

void say(const std::string &line) { std::fprintf(stderr, "morvane-track: %s\n", line.c_str()); }

int fail(const std::string &line)
{
    say(line);
    return run_failed;
}

std::string size_text(cv::Size size) { return std::to_string(size.width) + "x" + std::to_string(size.height); }

std::string frame_text(long index, const FrameSequence &sequence)
{
    return "frame " + std::to_string(index) + " (" + sequence.frame_name() + ")";
}

void summarize(long frames, const TrackBook &book, double fps)
{
    char figures[256];
    std::snprintf(figures, sizeof figures,
                  "%ld frames, %ld tracks started; ended: %ld lost, %ld forward-backward, %ld residue, "
                  "%ld left the frame; median track length %.1f frames; %.1f frames per second",
                  frames, book.started(), book.ended(EndReason::lost), book.ended(EndReason::forward_backward),
                  book.ended(EndReason::residue), book.ended(EndReason::left_frame), book.median_length(), fps);
    say(figures);
}

// Reads the next frame; on failure says why, naming the frame and its index.
FrameSequence::Read next_frame(FrameSequence &sequence, long index, cv::Size expected, cv::Mat &grey)
{
    std::string error;
    const auto read = sequence.next(grey, error);
    if (read == FrameSequence::Read::failed && interrupted())
        return FrameSequence::Read::woken; // the interrupt came first
    if (read == FrameSequence::Read::failed) {
        say("cannot read " + frame_text(index, sequence) + ": " + error);
    } else if (read == FrameSequence::Read::frame && grey.size() != expected) {
        say(frame_text(index, sequence) + " is " + size_text(grey.size()) + ", not " + size_text(expected) +
            " as the first frame");
        return FrameSequence::Read::failed;
    }
    return read;
}

// The outputs that would overwrite an input; nothing when all are safe.
std::optional<std::string> output_clash(const Options &options, const FrameSequence &sequence)
{
    std::vector<std::string> inputs = sequence.sources();
    if (options.points)
        inputs.push_back(*options.points);
    const bool overlay_folder = options.overlay && options.overlay->back() == '/';
    for (const auto &[output, folder] : {std::pair(options.output, false), std::pair(options.overlay, overlay_folder)}) {
        if (!output)
            continue;
        if (const auto input = overwritten_input(*output, folder, inputs))
            return "will not write " + *output + ": it would overwrite the input " + *input;
    }
    return std::nullopt;
}

int interruption_status(long frames)
{
    say(frames > 0 ? "interrupted after frame " + std::to_string(frames - 1) : "interrupted before the first frame");
    return run_interrupted;
}

} // namespace

int run_tracking(const Options &options)
{
    if (!options.verbose)
        silence_libraries();
    catch_interrupt();
    std::string error;
    const auto sequence = open_sequence(options.input, interrupt_descriptor(), error);
    if (!sequence)
        return fail("cannot open the input " + options.input + ": " + error);
    if (const auto clash = output_clash(options, *sequence))
        return fail(*clash);
    cv::Mat first;
    const auto first_read = sequence->next(first, error);
    if (first_read == FrameSequence::Read::end)
        return fail("the input " + options.input + " holds no frames");
    if (first_read == FrameSequence::Read::woken || (first_read == FrameSequence::Read::failed && interrupted()))
        return interruption_status(0);
    if (first_read == FrameSequence::Read::failed)
        return fail("cannot read " + frame_text(0, *sequence) + ": " + error);
    const cv::Size frame_size = first.size();
    const cv::Size padded = padded_size(frame_size, options.levels);

    std::vector<cv::Point2f> start;
    if (options.points) {
        auto points = read_start_points(*options.points, error);
        if (!points)
            return fail(error);
        start = std::move(*points);
    }
    const long max_features = std::max<long>(options.max_features, static_cast<long>(start.size()));

    const auto tracker = ComponentTracker::create(error);
    if (!tracker)
        return fail(error);
    const ComponentSettings settings{padded.width,        padded.height,  max_features,       options.half_width,
                                     options.half_height, options.levels, options.iterations, options.epsilon};
    if (!tracker->configure(settings, error))
        return fail(error);

    std::unique_ptr<OverlayWriter> overlay;
    if (options.overlay) {
        overlay = open_overlay(*options.overlay, frame_size, sequence->fps().value_or(25.0), error);
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

    const DetectionSettings detection{options.quality, options.min_distance};
    const StepLimits limits{frame_size, options.fb_max, options.residue_max};
    Progress progress(options.quiet, sequence->count());
    TrackBook book;
    std::vector<TrackRow> rows;
    if (!options.points)
        start = detect_corners(first, static_cast<int>(max_features), detection, {});
    book.start(0, start, rows);
    int status = run_complete;
    if (!writer->write(rows, error))
        status = fail("cannot write " + output_name + ": " + error);
    else if (overlay && !overlay->write(first, book, error))
        status = fail(error);

    cv::Mat previous = pad_frame(first, padded);
    long frames = 1;
    while (status == run_complete && !interrupted()) {
        cv::Mat grey;
        const auto read = next_frame(*sequence, frames, frame_size, grey);
        if (read == FrameSequence::Read::end || read == FrameSequence::Read::woken)
            break;
        if (read == FrameSequence::Read::failed) {
            status = run_failed;
            break;
        }
        cv::Mat current = pad_frame(grey, padded);
        const auto outcomes = track_step(*tracker, previous, current, book.live_points(), limits, error);
        if (!outcomes) {
            status = fail(error);
            break;
        }
        rows.clear();
        book.advance(frames, *outcomes, rows);
        // Start points of the user's own are never topped up with corners.
        const auto live = static_cast<long>(book.live().size());
        if (!options.points && static_cast<double>(live) < options.redetect * static_cast<double>(max_features))
            book.start(frames,
                       detect_corners(grey, static_cast<int>(max_features - live), detection, book.live_points()),
                       rows);
        if (!writer->write(rows, error))
            status = fail("cannot write " + output_name + ": " + error);
        else if (overlay && !overlay->write(grey, book, error))
            status = fail(error);
        previous = std::move(current);
        ++frames;
        progress.update(frames);
    }
    progress.finish();
    if (status == run_complete && interrupted())
        status = interruption_status(frames);
    summarize(frames, book, progress.rate(frames));
    return status;
}

} // namespace morvane::track
