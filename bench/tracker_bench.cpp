// The tracker's two calls against a plain call of the library with the same
// settings, on the same 640 × 480 frames and 400 points.
//
//   tracker_bench --benchmark_repetitions=10 --benchmark_report_aggregates_only=true
//
// Arguments of every case: pyramid levels, half window (2 → 5 × 5, 10 → 21 × 21),
// and the library's threads (0: its default; 1: one thread, whose CPU time
// is the work itself and holds steady on a busy machine).
#include "module_heaps_main.h"
#include "textured_frame.h"
#include "tracker.h"

#include <opencv2/video/tracking.hpp>

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

using morvane::Tracker;

constexpr int columns = 640;
constexpr int lines = 480;
constexpr int iterations = 5;
constexpr float epsilon = 0.1f;

// Frames with a motion of a few pixels and a 20 × 20 grid of points on them.
struct Scene {
    Scene()
        : a(morvane::test::textured_frame(columns, lines)),
          b(morvane::test::textured_frame(columns, lines, 2.6, -1.7))
    {
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 20; ++x)
                points.emplace_back(40.0f + 28.0f * static_cast<float>(x) + 0.3f,
                                    30.0f + 21.0f * static_cast<float>(y) + 0.6f);
    }
    cv::Mat a, b;
    std::vector<cv::Point2f> points;
};

const Scene &scene()
{
    static const Scene s;
    return s;
}

// Results of one run, kept between iterations as a caller would keep them.
struct Outputs {
    explicit Outputs(size_t n) : points(n), status(n), residue(n) {}
    std::vector<cv::Point2f> points;
    std::vector<unsigned char> status;
    std::vector<float> residue;
};

// Applies the case's thread setting to the library.
void use_threads(const benchmark::State &state) { cv::setNumThreads(state.range(2) == 1 ? 1 : -1); }

void configure(Tracker &tracker, const benchmark::State &state)
{
    use_threads(state);
    tracker.put_columns(columns);
    tracker.put_lines(lines);
    tracker.put_pyramid_levels(static_cast<LONG>(state.range(0)));
    tracker.put_feature_width(static_cast<LONG>(state.range(1)));
    tracker.put_feature_height(static_cast<LONG>(state.range(1)));
    tracker.put_stop_iterations(iterations);
    tracker.put_stop_epsilon(epsilon);
    tracker.put_calc_match_residue(1);
    tracker.create_morvane();
}

void plain_library_call(benchmark::State &state)
{
    use_threads(state);
    const Scene &s = scene();
    const int window = 2 * static_cast<int>(state.range(1)) + 1;
    const cv::TermCriteria stop(cv::TermCriteria::COUNT + cv::TermCriteria::EPS, iterations,
                                static_cast<double>(epsilon));
    Outputs out(s.points.size());
    for (auto _ : state) {
        cv::calcOpticalFlowPyrLK(s.a, s.b, s.points, out.points, out.status, out.residue,
                                 cv::Size(window, window), static_cast<int>(state.range(0)), stop, 0);
        benchmark::DoNotOptimize(out.points.data());
    }
}

void direct_call(benchmark::State &state)
{
    const Scene &s = scene();
    Tracker tracker;
    configure(tracker, state);
    Outputs out(s.points.size());
    std::vector<cv::Point2f> from = s.points;
    for (auto _ : state) {
        const HRESULT result = tracker._track_corners(
            s.a.data, s.b.data, static_cast<LONG>(from.size()), reinterpret_cast<FLOAT *>(from.data()),
            reinterpret_cast<FLOAT *>(out.points.data()), out.status.data(), out.residue.data());
        if (FAILED(result))
            state.SkipWithError("direct call failed");
        benchmark::DoNotOptimize(out.points.data());
    }
}

// An automation matrix of element type vt with the given counts, dimension 1 first.
VARIANT new_matrix(VARTYPE vt, ULONG first, ULONG second, const void *cells, size_t bytes)
{
    SAFEARRAYBOUND bounds[2] = {{first, 1}, {second, 1}};
    VARIANT v;
    VariantInit(&v);
    v.vt = static_cast<VARTYPE>(VT_ARRAY | vt);
    v.parray = SafeArrayCreate(vt, 2, bounds);
    void *data = nullptr;
    SafeArrayAccessData(v.parray, &data);
    std::memcpy(data, cells, bytes);
    SafeArrayUnaccessData(v.parray);
    return v;
}

void matrix_call(benchmark::State &state)
{
    const Scene &s = scene();
    Tracker tracker;
    configure(tracker, state);
    const auto n = static_cast<ULONG>(s.points.size());
    std::vector<double> xy(2 * n);
    for (ULONG i = 0; i < n; ++i) {
        xy[i] = s.points[i].x;
        xy[n + i] = s.points[i].y;
    }
    VARIANT a = new_matrix(VT_UI1, columns, lines, s.a.data, s.a.total());
    VARIANT b = new_matrix(VT_UI1, columns, lines, s.b.data, s.b.total());
    VARIANT features = new_matrix(VT_R8, n, 2, xy.data(), xy.size() * sizeof(double));
    VARIANT matches;
    VariantInit(&matches);
    for (auto _ : state) {
        if (FAILED(tracker.track_corners(a, b, features, &matches)))
            state.SkipWithError("matrix call failed");
        benchmark::DoNotOptimize(matches.parray);
    }
    for (VARIANT *v : {&a, &b, &features, &matches})
        VariantClear(v);
}

void cases(benchmark::internal::Benchmark *b)
{
    b->ArgNames({"levels", "half_window", "threads"});
    for (int threads : {0, 1})
        for (int levels : {0, 3})
            for (int half_window : {2, 10})
                b->Args({levels, half_window, threads});
    b->Unit(benchmark::kMicrosecond);
}

BENCHMARK(plain_library_call)->Apply(cases);
BENCHMARK(direct_call)->Apply(cases);
BENCHMARK(matrix_call)->Apply(cases);

} // namespace

int main(int argc, char **argv) { return morvane::bench::run_with_module_heaps(argc, argv); }
