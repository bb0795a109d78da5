#include "test_support.h"

#include <cstring>

namespace morvane::test {

std::vector<cv::Point2f> grid_points(int columns, int lines, int margin, int step)
{
    std::vector<cv::Point2f> points;
    for (int y = margin; y <= lines - 1 - margin; y += step)
        for (int x = margin; x <= columns - 1 - margin; x += step)
            points.emplace_back(static_cast<float>(x) + 0.25f, static_cast<float>(y) + 0.5f);
    return points;
}

namespace {

std::string narrow(BSTR text)
{
    std::string out;
    for (UINT i = 0; text && i < SysStringLen(text); ++i)
        out.push_back(static_cast<char>(text[i]));
    return out;
}

} // namespace

std::optional<ErrorRecord> take_error_record()
{
    IErrorInfo *info = nullptr;
    if (GetErrorInfo(0, &info) != S_OK || !info)
        return std::nullopt;
    ErrorRecord record;
    BSTR text = nullptr;
    if (SUCCEEDED(info->GetDescription(&text)))
        record.description = narrow(text);
    SysFreeString(text);
    text = nullptr;
    if (SUCCEEDED(info->GetSource(&text)) && text && SysStringLen(text) > 0)
        record.source = narrow(text);
    SysFreeString(text);
    info->GetGUID(&record.guid);
    info->Release();
    return record;
}

void clear_error_record() { SetErrorInfo(0, nullptr); }

::testing::AssertionResult failed_with(HRESULT result, HRESULT code, const std::string &message)
{
    const auto record = take_error_record();
    if (result != code)
        return ::testing::AssertionFailure()
               << "result 0x" << std::hex << static_cast<ULONG>(result) << ", expected 0x"
               << static_cast<ULONG>(code);
    if (!record)
        return ::testing::AssertionFailure() << "no error record for \"" << message << "\"";
    if (record->description != message)
        return ::testing::AssertionFailure()
               << "message \"" << record->description << "\", expected \"" << message << "\"";
    return ::testing::AssertionSuccess();
}

OwnedVariant::OwnedVariant() { VariantInit(&value_); }

OwnedVariant::OwnedVariant(SAFEARRAY *array, VARTYPE element_type) : OwnedVariant()
{
    value_.vt = static_cast<VARTYPE>(VT_ARRAY | element_type);
    value_.parray = array;
}

OwnedVariant::OwnedVariant(OwnedVariant &&other) noexcept : value_(other.value_)
{
    VariantInit(&other.value_);
}

OwnedVariant::~OwnedVariant() { VariantClear(&value_); }

OwnedVariant any_matrix(VARTYPE vt, std::vector<ULONG> counts)
{
    std::vector<SAFEARRAYBOUND> bounds;
    for (ULONG count : counts)
        bounds.push_back(SAFEARRAYBOUND{count, 0});
    return OwnedVariant(SafeArrayCreate(vt, static_cast<UINT>(bounds.size()), bounds.data()), vt);
}

OwnedVariant frame_matrix(const cv::Mat &frame)
{
    OwnedVariant matrix = any_matrix(VT_UI1, {static_cast<ULONG>(frame.cols), static_cast<ULONG>(frame.rows)});
    void *data = nullptr;
    SafeArrayAccessData((*matrix).parray, &data);
    for (int y = 0; y < frame.rows; ++y)
        std::memcpy(static_cast<unsigned char *>(data) + static_cast<size_t>(y) * frame.cols,
                    frame.ptr(y), static_cast<size_t>(frame.cols));
    SafeArrayUnaccessData((*matrix).parray);
    return matrix;
}

OwnedVariant points_matrix(const std::vector<cv::Point2f> &points)
{
    const auto n = static_cast<ULONG>(points.size());
    OwnedVariant matrix = any_matrix(VT_R8, {n, 2});
    void *data = nullptr;
    SafeArrayAccessData((*matrix).parray, &data);
    auto *cells = static_cast<double *>(data);
    for (ULONG i = 0; i < n; ++i) {
        cells[i] = points[i].x;
        cells[n + i] = points[i].y;
    }
    SafeArrayUnaccessData((*matrix).parray);
    return matrix;
}

MatrixView read_double_matrix(const VARIANT &v)
{
    MatrixView view;
    const SAFEARRAY *array = v.parray;
    if (v.vt != (VT_ARRAY | VT_R8) || !array)
        return view;
    size_t total = 1;
    for (UINT d = 0; d < array->cDims; ++d) {
        const SAFEARRAYBOUND &bound = array->rgsabound[array->cDims - 1 - d];
        view.counts.push_back(bound.cElements);
        view.lower_bounds.push_back(bound.lLbound);
        total *= bound.cElements;
    }
    if (total > 0) {
        const auto *cells = static_cast<const double *>(array->pvData);
        view.cells.assign(cells, cells + total);
    }
    return view;
}

TrackResult track_direct(Tracker &tracker, const cv::Mat &a, const cv::Mat &b,
                         const std::vector<cv::Point2f> &points, bool residues)
{
    TrackResult out;
    const auto n = points.size();
    out.points.assign(n, cv::Point2f(-1.0f, -1.0f));
    out.status.assign(n, 7);
    out.residue.assign(n, -1.0f);
    cv::Mat frame_a = a.clone();
    cv::Mat frame_b = b.clone();
    std::vector<cv::Point2f> from = points;
    out.result = tracker._track_corners(frame_a.data, frame_b.data, static_cast<LONG>(n),
                                        reinterpret_cast<FLOAT *>(from.data()),
                                        reinterpret_cast<FLOAT *>(out.points.data()),
                                        out.status.data(), residues ? out.residue.data() : nullptr);
    return out;
}

TrackResult track_matrix(Tracker &tracker, const cv::Mat &a, const cv::Mat &b,
                         const std::vector<cv::Point2f> &points)
{
    TrackResult out;
    OwnedVariant frame_a = frame_matrix(a);
    OwnedVariant frame_b = frame_matrix(b);
    OwnedVariant from = points_matrix(points);
    OwnedVariant matches;
    out.result = tracker.track_corners(*frame_a, *frame_b, *from, matches.get());
    if (FAILED(out.result))
        return out;
    const MatrixView view = read_double_matrix(*matches.get());
    const size_t n = points.size();
    if (view.counts != std::vector<ULONG>{static_cast<ULONG>(n), 3}) {
        out.result = E_UNEXPECTED;
        return out;
    }
    for (size_t i = 0; i < n; ++i) {
        out.points.emplace_back(static_cast<float>(view.cells[i]), static_cast<float>(view.cells[n + i]));
        out.status.push_back(static_cast<unsigned char>(view.cells[2 * n + i]));
    }
    OwnedVariant residue;
    if (tracker.get_match_residue(residue.get()) == S_OK)
        for (double r : read_double_matrix(*residue.get()).cells)
            out.residue.push_back(static_cast<float>(r));
    clear_error_record();
    return out;
}

void configure(Tracker &tracker, const Settings &settings)
{
    ASSERT_EQ(tracker.put_columns(settings.columns), S_OK);
    ASSERT_EQ(tracker.put_lines(settings.lines), S_OK);
    ASSERT_EQ(tracker.put_feature_width(settings.half_window), S_OK);
    ASSERT_EQ(tracker.put_feature_height(settings.half_window), S_OK);
    ASSERT_EQ(tracker.put_pyramid_levels(settings.levels), S_OK);
    ASSERT_EQ(tracker.put_stop_iterations(settings.iterations), S_OK);
    ASSERT_EQ(tracker.put_stop_epsilon(settings.epsilon), S_OK);
}

} // namespace morvane::test
