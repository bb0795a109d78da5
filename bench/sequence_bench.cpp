// Forward and backward tracking through a whole sequence, as morvane-track
// does it: the tracker's direct call, which keeps the pyramids of the last two
// frames, against plain library calls that build both pyramids on every call.
// 100 frames of 640 × 480 with 400 points, at the component's default settings
// and at the program's.
//
//   sequence_bench --benchmark_repetitions=6 --benchmark_report_aggregates_only=true
//
// The library runs on one thread, so that CPU time is the work itself and
// holds steady on a busy machine.
#include "module_heaps_main.h"
#include "textured_frame.h"
#include "tracker.h"

#include <opencv2/video/tracking.hpp>

#include <benchmark/benchmark.h>

#include <vector>

namespace {

using morvane::Tracker;

constexpr int columns = 640;
constexpr int lines = 480;
constexpr int frame_count = 100;

struct Sequence {
    Sequence()
    {
        for (int k = 0; k < frame_count; ++k)
            frames.push_back(morvane::test::textured_frame(columns, lines, 0.37 * k, 0.29 * k));
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 20; ++x)
                points.emplace_back(40.0f + 28.0f * static_cast<float>(x) + 0.3f,
                                    30.0f + 21.0f * static_cast<float>(y) + 0.6f);
    }
    std::vector<cv::Mat> frames;
    std::vector<cv::Point2f> points;
};

const Sequence &sequence()
{
    static const Sequence s;
    return s;
}

// Half window, levels, iterations, epsilon of a case.
struct Settings {
    int half_window;
    int levels;
    int iterations;
    float epsilon;
};
constexpr Settings component_defaults{2, 0, 5, 0.1f};
constexpr Settings program_defaults{10, 3, 30, 0.01f};

const Settings &settings_of(const benchmark::State &state)
{
    return state.range(0) == 0 ? component_defaults : program_defaults;
}

struct Arrays {
    explicit Arrays(std::size_t n) : to(n), back(n), status(n), back_status(n), residue(n) {}
    std::vector<cv::Point2f> to, back;
    std::vector<unsigned char> status, back_status;
    std::vector<float> residue;
};

void plain_calls(benchmark::State &state)
{
    cv::setNumThreads(1);
    const Sequence &s = sequence();
    const Settings &c = settings_of(state);
    const cv::Size window(2 * c.half_window + 1, 2 * c.half_window + 1);
    const cv::TermCriteria stop(cv::TermCriteria::COUNT + cv::TermCriteria::EPS, c.iterations,
                                static_cast<double>(c.epsilon));
    Arrays out(s.points.size());
    for (auto _ : state) {
        std::vector<cv::Point2f> from = s.points;
        for (int k = 0; k + 1 < frame_count; ++k) {
            const cv::Mat &a = s.frames[static_cast<std::size_t>(k)];
            const cv::Mat &b = s.frames[static_cast<std::size_t>(k + 1)];
            cv::calcOpticalFlowPyrLK(a, b, from, out.to, out.status, out.residue, window, c.levels, stop, 0);
            cv::calcOpticalFlowPyrLK(b, a, out.to, out.back, out.back_status, cv::noArray(), window, c.levels,
                                     stop, 0);
            from.swap(out.to);
        }
        benchmark::DoNotOptimize(from.data());
    }
    cv::setNumThreads(-1);
}

void component_calls(benchmark::State &state)
{
    cv::setNumThreads(1);
    const Sequence &s = sequence();
    const Settings &c = settings_of(state);
    Tracker tracker;
    const bool configured = tracker.put_columns(columns) == S_OK && tracker.put_lines(lines) == S_OK &&
                            tracker.put_feature_width(c.half_window) == S_OK &&
                            tracker.put_feature_height(c.half_window) == S_OK &&
                            tracker.put_pyramid_levels(c.levels) == S_OK &&
                            tracker.put_stop_iterations(c.iterations) == S_OK &&
                            tracker.put_stop_epsilon(c.epsilon) == S_OK && tracker.create_morvane() == S_OK;
    if (!configured)
        state.SkipWithError("tracker refused the settings");
    const auto n = static_cast<LONG>(s.points.size());
    Arrays out(s.points.size());
    for (auto _ : state) {
        std::vector<cv::Point2f> from = s.points;
        for (int k = 0; k + 1 < frame_count; ++k) {
            BYTE *a = s.frames[static_cast<std::size_t>(k)].data;
            BYTE *b = s.frames[static_cast<std::size_t>(k + 1)].data;
            const HRESULT forward = tracker._track_corners(a, b, n, reinterpret_cast<FLOAT *>(from.data()),
                                                           reinterpret_cast<FLOAT *>(out.to.data()),
                                                           out.status.data(), out.residue.data());
            const HRESULT backward = tracker._track_corners(b, a, n, reinterpret_cast<FLOAT *>(out.to.data()),
                                                            reinterpret_cast<FLOAT *>(out.back.data()),
                                                            out.back_status.data(), nullptr);
            if (FAILED(forward) || FAILED(backward))
                state.SkipWithError("tracking failed");
            from.swap(out.to);
        }
        benchmark::DoNotOptimize(from.data());
    }
    cv::setNumThreads(-1);
}

void cases(benchmark::internal::Benchmark *b)
{
    // 0: the component's default settings; 1: the program's.
    b->ArgNames({"program_defaults"});
    b->Arg(0)->Arg(1);
    b->Unit(benchmark::kMillisecond);
}

BENCHMARK(plain_calls)->Apply(cases);
BENCHMARK(component_calls)->Apply(cases);

} // namespace

int main(int argc, char **argv) { return morvane::bench::run_with_module_heaps(argc, argv); }
