// Late-bound calls through IDispatch::Invoke against the same calls through the
// table of IMorvane, on a tracker created through the component system from a
// module registered in a scratch registry:
//   - track_corners on two 640 × 480 frames with 400 points (byte and double
//     matrices in variants), by table and by Invoke;
//   - the lines property read, by table and by Invoke;
//   - the lines property write, by table, by Invoke with a long (passed as it
//     is) and by Invoke with a short (converted to the declared long first);
//   - name resolution of "lines" through GetIDsOfNames.
//
//   dispatch_bench --benchmark_repetitions=10 --benchmark_report_aggregates_only=true
//
// With MORVANE_BENCH_INPUTS=FOLDER it first writes its inputs there (frame_a.raw,
// frame_b.raw: 480 rows of 640 bytes; points.raw: the 400 x then the 400 y as
// doubles), so that a client in another language can time the same call.
#include "benchmark_main.h"
#include "registered_module.h"
#include "textured_frame.h"

#include <morvane.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kColumns = 640;
constexpr int kLines = 480;
constexpr int kGrid = 20; // 20 × 20 = 400 points
constexpr LCID kLocale = 0x0409;

VARIANT matrix(VARTYPE type, ULONG dimension1, ULONG dimension2, const void *elements, size_t size)
{
    SAFEARRAYBOUND bounds[2] = {{dimension1, 0}, {dimension2, 0}};
    VARIANT v;
    VariantInit(&v);
    v.parray = SafeArrayCreate(type, 2, bounds);
    void *data = nullptr;
    if (v.parray && SafeArrayAccessData(v.parray, &data) == S_OK) {
        std::memcpy(data, elements, size);
        SafeArrayUnaccessData(v.parray);
        v.vt = static_cast<VARTYPE>(VT_ARRAY | type);
    }
    return v;
}

bool write_file(const std::string &path, const void *data, size_t size)
{
    std::FILE *file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    const bool written = std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && written;
}

bool write_inputs(const std::string &folder, const cv::Mat &a, const cv::Mat &b, const std::vector<double> &points)
{
    return write_file(folder + "/frame_a.raw", a.data, a.total()) &&
           write_file(folder + "/frame_b.raw", b.data, b.total()) &&
           write_file(folder + "/points.raw", points.data(), points.size() * sizeof(double));
}

// A configured tracker and the three input matrices of track_corners.
class Session {
public:
    Session()
    {
        const cv::Mat a = morvane::test::textured_frame(kColumns, kLines);
        const cv::Mat b = morvane::test::textured_frame(kColumns, kLines, 2.6, -1.7);
        std::vector<double> points(2 * kGrid * kGrid);
        const size_t n = kGrid * kGrid;
        for (size_t i = 0; i < n; ++i) {
            points[i] = 40.0 + 28.0 * static_cast<double>(i % kGrid) + 0.3;
            points[n + i] = 30.0 + 21.0 * static_cast<double>(i / kGrid) + 0.6;
        }
        inputs_[0] = matrix(VT_UI1, kColumns, kLines, a.data, a.total());
        inputs_[1] = matrix(VT_UI1, kColumns, kLines, b.data, b.total());
        inputs_[2] = matrix(VT_R8, static_cast<ULONG>(n), 2, points.data(), points.size() * sizeof(double));
        // Invoke takes its arguments last first.
        arguments_[0] = inputs_[2];
        arguments_[1] = inputs_[1];
        arguments_[2] = inputs_[0];

        if (const char *folder = std::getenv("MORVANE_BENCH_INPUTS"); folder && !write_inputs(folder, a, b, points)) {
            std::fprintf(stderr, "the inputs could not be written to %s\n", folder);
            return;
        }
        if (CoCreateInstance(CLSID_CoMorvane, nullptr, CLSCTX_INPROC_SERVER, IID_IMorvane,
                             reinterpret_cast<void **>(&tracker_)) != S_OK)
            return;
        ready_ = tracker_->put_columns(kColumns) == S_OK && tracker_->put_lines(kLines) == S_OK &&
                 tracker_->put_max_features(static_cast<LONG>(n)) == S_OK &&
                 tracker_->create_morvane() == S_OK && inputs_[2].vt == (VT_ARRAY | VT_R8);
    }
    ~Session()
    {
        if (tracker_)
            tracker_->Release();
        for (VARIANT &v : inputs_)
            VariantClear(&v);
    }
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    bool ready() const { return ready_; }
    IMorvane *tracker() const { return tracker_; }
    const VARIANT &input(int i) const { return inputs_[i]; }
    // The three matrices as Invoke's argument block (the variants are shared, not copied).
    DISPPARAMS track_arguments() { return DISPPARAMS{arguments_, nullptr, 3, 0}; }

private:
    VARIANT inputs_[3]{};
    VARIANT arguments_[3]{};
    IMorvane *tracker_ = nullptr;
    bool ready_ = false;
};

Session *session = nullptr;

void TrackCornersByTable(benchmark::State &state)
{
    IMorvane *tracker = session->tracker();
    for (auto _ : state) {
        VARIANT matches;
        VariantInit(&matches);
        const HRESULT hr = tracker->track_corners(session->input(0), session->input(1), session->input(2),
                                                  &matches);
        VariantClear(&matches);
        if (hr != S_OK) {
            state.SkipWithError("track_corners failed");
            break;
        }
    }
}
BENCHMARK(TrackCornersByTable)->Unit(benchmark::kMicrosecond);

void TrackCornersByInvoke(benchmark::State &state)
{
    IMorvane *tracker = session->tracker();
    DISPPARAMS arguments = session->track_arguments();
    for (auto _ : state) {
        VARIANT matches;
        VariantInit(&matches);
        const HRESULT hr =
            tracker->Invoke(4, IID_NULL, kLocale, DISPATCH_METHOD, &arguments, &matches, nullptr, nullptr);
        VariantClear(&matches);
        if (hr != S_OK) {
            state.SkipWithError("Invoke of track_corners failed");
            break;
        }
    }
}
BENCHMARK(TrackCornersByInvoke)->Unit(benchmark::kMicrosecond);

void PropertyGetByTable(benchmark::State &state)
{
    IMorvane *tracker = session->tracker();
    for (auto _ : state) {
        LONG lines = 0;
        tracker->get_lines(&lines);
        benchmark::DoNotOptimize(lines);
    }
}
BENCHMARK(PropertyGetByTable);

void PropertyGetByInvoke(benchmark::State &state)
{
    IMorvane *tracker = session->tracker();
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    for (auto _ : state) {
        VARIANT lines;
        VariantInit(&lines);
        if (tracker->Invoke(1, IID_NULL, kLocale, DISPATCH_PROPERTYGET, &none, &lines, nullptr, nullptr) !=
                S_OK ||
            lines.vt != VT_I4) {
            state.SkipWithError("Invoke reading lines failed");
            break;
        }
        benchmark::DoNotOptimize(lines.lVal);
    }
}
BENCHMARK(PropertyGetByInvoke);

void PropertyPutByTable(benchmark::State &state)
{
    IMorvane *tracker = session->tracker();
    for (auto _ : state) {
        if (tracker->put_lines(kLines) != S_OK) {
            state.SkipWithError("writing lines failed");
            break;
        }
    }
}
BENCHMARK(PropertyPutByTable);

// Writes lines by name with the value in a variant of the given type.
void property_put_by_invoke(benchmark::State &state, VARTYPE type)
{
    IMorvane *tracker = session->tracker();
    VARIANT value;
    VariantInit(&value);
    value.vt = type;
    if (type == VT_I2)
        value.iVal = kLines;
    else
        value.lVal = kLines;
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS arguments{&value, &put, 1, 1};
    for (auto _ : state) {
        if (tracker->Invoke(1, IID_NULL, kLocale, DISPATCH_PROPERTYPUT, &arguments, nullptr, nullptr, nullptr) !=
            S_OK) {
            state.SkipWithError("Invoke writing lines failed");
            break;
        }
    }
}

void PropertyPutByInvoke(benchmark::State &state)
{
    property_put_by_invoke(state, VT_I4);
}
BENCHMARK(PropertyPutByInvoke);

void PropertyPutByInvokeConverted(benchmark::State &state)
{
    property_put_by_invoke(state, VT_I2);
}
BENCHMARK(PropertyPutByInvokeConverted);

void NameResolution(benchmark::State &state)
{
    IMorvane *tracker = session->tracker();
    char16_t name[] = u"lines";
    LPOLESTR names[] = {name};
    for (auto _ : state) {
        DISPID id = -1;
        if (tracker->GetIDsOfNames(IID_NULL, names, 1, kLocale, &id) != S_OK) {
            state.SkipWithError("GetIDsOfNames failed");
            break;
        }
        benchmark::DoNotOptimize(id);
    }
}
BENCHMARK(NameResolution);

} // namespace

int main(int argc, char **argv)
{
    return morvane::bench::run(argc, argv, [] {
        return morvane::bench::with_registered_component(MORVANE_MODULE_PATH, [] {
            Session s;
            if (!s.ready()) {
                std::fputs("the tracker could not be created and configured\n", stderr);
                return 1;
            }
            session = &s;
            benchmark::RunSpecifiedBenchmarks();
            session = nullptr;
            return 0;
        });
    });
}
