// The tracker tests' helpers: grid points, the thread's error record, matrices as
// variants and back.
#include "test_support.h"

#include "scratch_registry.h"
#include "server/module_heap.h"

#include <numeric>

namespace morvane::test {

std::vector<cv::Point2f> grid_points(int columns, int lines, int margin, int step)
{
    std::vector<cv::Point2f> points;
    for (int y = margin; y <= lines - 1 - margin; y += step)
        for (int x = margin; x <= columns - 1 - margin; x += step)
            points.emplace_back(static_cast<float>(x) + 0.25f, static_cast<float>(y) + 0.5f);
    return points;
}

std::optional<std::string> take_error_record()
{
    IErrorInfo *info = nullptr;
    if (GetErrorInfo(0, &info) != S_OK || !info)
        return std::nullopt;
    BSTR description = nullptr, source = nullptr;
    info->GetDescription(&description);
    info->GetSource(&source);
    info->Release();
    std::string record(description, description + SysStringLen(description));
    if (SysStringLen(source) > 0)
        record += " [" + std::string(source, source + SysStringLen(source)) + "]";
    SysFreeString(description);
    SysFreeString(source);
    return record;
}

::testing::AssertionResult failed_with(HRESULT result, HRESULT code, const std::string &message)
{
    const auto record = take_error_record();
    if (result == code && record == message)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << std::hex << "0x" << ULONG(result) << " \""
                                         << record.value_or("(none)") << "\", expected 0x"
                                         << ULONG(code) << " \"" << message << "\"";
}

OwnedVariant any_matrix(VARTYPE vt, std::vector<ULONG> counts)
{
    std::vector<SAFEARRAYBOUND> bounds;
    for (ULONG count : counts)
        bounds.push_back(SAFEARRAYBOUND{count, 0});
    return OwnedVariant(SafeArrayCreate(vt, static_cast<UINT>(bounds.size()), bounds.data()), vt);
}

OwnedVariant frame_matrix(const cv::Mat &frame)
{
    OwnedVariant matrix = any_matrix(VT_UI1, {ULONG(frame.cols), ULONG(frame.rows)});
    frame.copyTo(cv::Mat(frame.size(), CV_8UC1, (*matrix).parray->pvData));
    return matrix;
}

OwnedVariant points_matrix(const std::vector<cv::Point2f> &points)
{
    const int n = static_cast<int>(points.size());
    OwnedVariant matrix = any_matrix(VT_R8, {ULONG(n), 2});
    cv::Mat cells; // one point a line; the matrix holds every x, then every y
    cv::Mat(points).reshape(1, n).convertTo(cells, CV_64F);
    cv::transpose(cells, cv::Mat(2, n, CV_64F, (*matrix).parray->pvData));
    return matrix;
}

MatrixView read_double_matrix(const VARIANT &v)
{
    MatrixView view;
    if (v.vt != (VT_ARRAY | VT_R8) || !v.parray)
        return view;
    for (UINT d = v.parray->cDims; d-- > 0;) {
        view.counts.push_back(v.parray->rgsabound[d].cElements);
        view.lower_bounds.push_back(v.parray->rgsabound[d].lLbound);
    }
    const auto *cells = static_cast<const double *>(v.parray->pvData);
    const auto total = std::reduce(view.counts.begin(), view.counts.end(), 1ul, std::multiplies());
    view.cells.assign(cells, cells + total);
    return view;
}

TrackResult track_direct(Tracker &tracker, const cv::Mat &a, const cv::Mat &b,
                         const std::vector<cv::Point2f> &points, std::optional<LONG> count,
                         int missing)
{
    const size_t n = points.size();
    TrackResult out{E_FAIL, std::vector(n, cv::Point2f(-1.0f, -1.0f)), std::vector<BYTE>(n, 7),
                    std::vector(n, -1.0f)};
    std::vector<cv::Point2f> from = points;
    const auto given = [missing](int i, auto *pointer) { return i == missing ? nullptr : pointer; };
    out.result = tracker._track_corners(given(0, a.data), given(1, b.data), count.value_or(LONG(n)),
                                        given(2, reinterpret_cast<FLOAT *>(from.data())),
                                        given(3, reinterpret_cast<FLOAT *>(out.points.data())),
                                        given(4, out.status.data()), out.residue.data());
    return out;
}

TrackResult track_matrix(Tracker &tracker, const cv::Mat &a, const cv::Mat &b,
                         const std::vector<cv::Point2f> &points)
{
    TrackResult out;
    OwnedVariant frame_a = frame_matrix(a), frame_b = frame_matrix(b), from = points_matrix(points);
    OwnedVariant matches;
    out.result = tracker.track_corners(*frame_a, *frame_b, *from, matches.get());
    if (FAILED(out.result))
        return out;
    const MatrixView view = read_double_matrix(*matches.get());
    const size_t n = points.size();
    if (view.counts != std::vector<ULONG>{ULONG(n), 3} || view.lower_bounds != std::vector<LONG>{1, 1})
        return {E_UNEXPECTED, {}, {}, {}};
    for (size_t i = 0; i < n; ++i) {
        out.points.emplace_back(static_cast<float>(view.cells[i]), static_cast<float>(view.cells[n + i]));
        out.status.push_back(static_cast<unsigned char>(view.cells[2 * n + i]));
    }
    if (OwnedVariant residue; tracker.get_match_residue(residue.get()) == S_OK)
        for (double r : read_double_matrix(*residue.get()).cells)
            out.residue.push_back(static_cast<float>(r));
    SetErrorInfo(0, nullptr);
    return out;
}

void configure(Tracker &tracker, const Settings &s)
{
    ASSERT_EQ(tracker.put_columns(s.columns), S_OK);
    ASSERT_EQ(tracker.put_lines(s.lines), S_OK);
    ASSERT_EQ(tracker.put_feature_width(s.half_width), S_OK);
    ASSERT_EQ(tracker.put_feature_height(s.half_height), S_OK);
    ASSERT_EQ(tracker.put_pyramid_levels(s.levels), S_OK);
    ASSERT_EQ(tracker.put_stop_iterations(s.iterations), S_OK);
    ASSERT_EQ(tracker.put_stop_epsilon(s.epsilon), S_OK);
    ASSERT_EQ(tracker.put_max_features(s.max_features), S_OK);
}

// Every tracker test runs with the module heaps set up and a scratch registry.
class TrackerTestEnvironment : public ::testing::Environment {
    void SetUp() override { ASSERT_TRUE(module_heap_setup()); }
    void TearDown() override { module_heap_teardown(); }
    ScratchRegistry registry_;
};

const auto *const environment = ::testing::AddGlobalTestEnvironment(new TrackerTestEnvironment);

} // namespace morvane::test

// Requests for buffers no machine has must return null under AddressSanitizer too.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
extern "C" __attribute__((visibility("default"))) const char *__asan_default_options()
{
    return "allocator_may_return_null=1";
}
#endif
#endif
