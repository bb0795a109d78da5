// morvane-track against the plain OpenCV loop it replaces, on a 640 × 480 H.264
// clip of 300 frames that the benchmark writes first: the same settings (the
// program's defaults, the forward-backward check, re-detection; the appearance
// check off for both), each decoding the clip itself. Wall time, since the
// program decodes on a second thread while it tracks. Two more benchmarks show
// where a frame's time goes: decoding alone, and the engine's steps over frames
// already decoded.
//
//   track_program_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
#include "benchmark_main.h"
#include "child_process.h"
#include "opencv_track_loop.h"
#include "scratch_folder.h"
#include "textured_frame.h"

#include <morvane_track.h>

#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include <cstdio>
#include <cstdlib>
#include <string>

#include <sys/resource.h>

namespace {

constexpr int frame_count = 300;

// The clip, written once: a texture drifting by (0.37, 0.29) pixels a frame.
const std::string &clip()
{
    static const test_support::ScratchFolder folder;
    static const std::string file = [] {
        const std::string name = (folder.path() / "clip.mp4").string();
        cv::VideoWriter video(name, cv::CAP_FFMPEG, cv::VideoWriter::fourcc('a', 'v', 'c', '1'), 25.0,
                              cv::Size(640, 480), false);
        for (int k = 0; k < frame_count && video.isOpened(); ++k)
            video.write(morvane::test::textured_frame(640, 480, 0.37 * k, 0.29 * k));
        return name;
    }();
    return file;
}

// Processor time of this process's threads and its waited-for children, in seconds.
double processor_seconds()
{
    double seconds = 0.0;
    for (const int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        rusage usage{};
        getrusage(who, &usage);
        for (const timeval &t : {usage.ru_utime, usage.ru_stime})
            seconds += static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
    }
    return seconds;
}

// Runs body once per iteration and reports the processor time of all threads per frame.
template <typename Body> void measured(benchmark::State &state, Body &&body)
{
    const double before = processor_seconds();
    for (auto _ : state)
        body();
    const double used = processor_seconds() - before;
    state.counters["cpu_ms_per_frame"] =
        1e3 * used / static_cast<double>(state.iterations()) / static_cast<double>(frame_count);
    state.counters["fps"] = benchmark::Counter(frame_count, benchmark::Counter::kIsIterationInvariantRate);
}

morvane_track_settings loop_settings()
{
    morvane_track_settings settings;
    morvane_track_default_settings(&settings);
    settings.appearance_check = 0;
    return settings;
}

// Reads the clip as the program does: decoded, then turned into grey.
std::function<bool(cv::Mat &)> clip_frames(cv::VideoCapture &video)
{
    return [&video](cv::Mat &grey) {
        cv::Mat picture;
        if (!video.read(picture) || picture.empty())
            return false;
        cv::cvtColor(picture, grey, cv::COLOR_BGR2GRAY);
        return true;
    };
}

// The whole run, from the program's start; its summary's own rate (from the first
// frame on, without loading its libraries and the component) is own_fps.
void program(benchmark::State &state)
{
    double own_fps = 0.0;
    measured(state, [&] {
        const auto run = morvane::test::run_child(
            {{TRACK_PROGRAM, clip(), "--quiet", "--no-appearance", "-o", "/dev/null"}, "", {}, std::chrono::seconds(600)});
        if (run.exit_status != 0)
            state.SkipWithError(run.err.c_str());
        const auto rate = run.err.rfind("; ");
        own_fps += rate == std::string::npos ? 0.0 : std::atof(run.err.c_str() + rate + 2);
    });
    state.counters["own_fps"] = own_fps / static_cast<double>(state.iterations());
}

void opencv_loop(benchmark::State &state)
{
    measured(state, [] {
        cv::VideoCapture video(clip(), cv::CAP_FFMPEG);
        const auto rows = morvane::test::run_opencv_loop(clip_frames(video), loop_settings());
        benchmark::DoNotOptimize(rows.data());
    });
}

void decoding(benchmark::State &state)
{
    measured(state, [] {
        cv::VideoCapture video(clip(), cv::CAP_FFMPEG);
        const auto next = clip_frames(video);
        cv::Mat grey;
        while (next(grey))
            benchmark::DoNotOptimize(grey.data);
    });
}

void engine_steps(benchmark::State &state)
{
    std::vector<cv::Mat> frames;
    cv::VideoCapture video(clip(), cv::CAP_FFMPEG);
    const auto next = clip_frames(video);
    for (cv::Mat grey; next(grey);)
        frames.push_back(grey.clone());
    const morvane_track_settings settings = loop_settings();
    measured(state, [&] {
        morvane_track_engine *engine = nullptr;
        if (morvane_track_open(&settings, &engine) != MORVANE_TRACK_OK)
            state.SkipWithError(morvane_track_message());
        for (const cv::Mat &frame : frames)
            if (engine != nullptr)
                morvane_track_push(engine, frame.data, frame.cols, frame.rows, static_cast<ptrdiff_t>(frame.step[0]));
        morvane_track_close(engine);
    });
}

} // namespace

BENCHMARK(program)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(opencv_loop)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(decoding)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(engine_steps)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char **argv)
{
    return morvane::bench::run(argc, argv, [] {
        return morvane::bench::with_registered_component(MORVANE_MODULE_PATH, morvane::bench::run_all);
    });
}
