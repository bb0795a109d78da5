// morvane-track against the plain OpenCV loop it replaces, on a 640 × 480 H.264
// clip of 120 frames that the benchmark writes first: the same settings (the
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
#include <string>

namespace {

constexpr int frame_count = 120;

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

void program(benchmark::State &state)
{
    for (auto _ : state) {
        const auto run = morvane::test::run_child(
            {{TRACK_PROGRAM, clip(), "--quiet", "--no-appearance", "-o", "/dev/null"}, "", {}, std::chrono::seconds(600)});
        if (run.exit_status != 0)
            state.SkipWithError(run.err.c_str());
    }
    state.counters["fps"] = benchmark::Counter(frame_count, benchmark::Counter::kIsIterationInvariantRate);
}

void opencv_loop(benchmark::State &state)
{
    for (auto _ : state) {
        cv::VideoCapture video(clip());
        const auto rows = morvane::test::run_opencv_loop(clip_frames(video), loop_settings());
        benchmark::DoNotOptimize(rows.data());
    }
    state.counters["fps"] = benchmark::Counter(frame_count, benchmark::Counter::kIsIterationInvariantRate);
}

void decoding(benchmark::State &state)
{
    for (auto _ : state) {
        cv::VideoCapture video(clip());
        const auto next = clip_frames(video);
        cv::Mat grey;
        while (next(grey))
            benchmark::DoNotOptimize(grey.data);
    }
}

void engine_steps(benchmark::State &state)
{
    std::vector<cv::Mat> frames;
    cv::VideoCapture video(clip());
    const auto next = clip_frames(video);
    for (cv::Mat grey; next(grey);)
        frames.push_back(grey.clone());
    const morvane_track_settings settings = loop_settings();
    for (auto _ : state) {
        morvane_track_engine *engine = nullptr;
        if (morvane_track_open(&settings, &engine) != MORVANE_TRACK_OK)
            state.SkipWithError(morvane_track_message());
        for (const cv::Mat &frame : frames)
            if (engine != nullptr)
                morvane_track_push(engine, frame.data, frame.cols, frame.rows, static_cast<ptrdiff_t>(frame.step[0]));
        morvane_track_close(engine);
    }
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
