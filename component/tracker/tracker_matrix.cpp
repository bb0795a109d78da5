// The matrix tracking call and the residue read-out: automation matrices in,
// new automation matrices out, every check with its own message.
#include "automation_matrix.h"
#include "tracker.h"
#include "tracker_messages.h"

namespace morvane {

namespace {

constexpr VARTYPE byte_matrix = VT_ARRAY | VT_UI1;
constexpr VARTYPE double_matrix = VT_ARRAY | VT_R8;

bool holds_array(const VARIANT &v) { return v.vt != VT_EMPTY && (v.vt & VT_ARRAY) != 0; }

// The variant's tag says what the array holds, but the array's own descriptor
// decides how its block is laid out: its element size must be that of the tag's
// type, and a type the descriptor records must be the tag's.
bool holds_elements_of(SAFEARRAY &array, VARTYPE type, ULONG size)
{
    if (array.cbElements != size)
        return false;
    VARTYPE recorded = VT_EMPTY;
    return FAILED(SafeArrayGetVartype(&array, &recorded)) || recorded == type;
}

bool is_frame_of(const SAFEARRAY &image, LONG columns, LONG lines)
{
    return matrix_elements(image, 1) == static_cast<ULONG>(columns) &&
           matrix_elements(image, 2) == static_cast<ULONG>(lines);
}

// A new n × 3 array: tracked x, tracked y and found flag of each point.
SAFEARRAY *matches_matrix(ULONG count, const FLOAT *points, const BYTE *status)
{
    const ULONG counts[2] = {count, 3};
    return filled_double_matrix(2, counts, [&](double *out) {
        for (ULONG i = 0; i < count; ++i) {
            out[i] = points[2 * i];
            out[count + i] = points[2 * i + 1];
            out[2 * count + i] = static_cast<signed char>(status[i]);
        }
    });
}

} // namespace

HRESULT Tracker::track_corners(VARIANT imgA, VARIANT imgB, VARIANT features, VARIANT *matches)
{
    const StateGuard guard(state_lock_);
    if (!matches)
        return fail(E_POINTER, messages::null_pointer);
    if (!allocated())
        return fail(E_FAIL, messages::not_allocated);
    if (props_changed_)
        return fail(E_FAIL, messages::stale);
    if (!holds_array(imgA) || !holds_array(imgB) || !holds_array(features))
        return fail(E_INVALIDARG, messages::invalid_argument);
    if (imgA.vt != byte_matrix || imgB.vt != byte_matrix || features.vt != double_matrix)
        return fail(E_INVALIDARG, messages::invalid_type);
    if (!imgA.parray || !imgB.parray || !features.parray)
        return fail(E_INVALIDARG, messages::null_matrix);
    if (!holds_elements_of(*imgA.parray, VT_UI1, 1) || !holds_elements_of(*imgB.parray, VT_UI1, 1) ||
        !holds_elements_of(*features.parray, VT_R8, 8))
        return fail(E_INVALIDARG, messages::invalid_type);
    if (imgA.parray->cDims != 2 || imgB.parray->cDims != 2)
        return fail(E_INVALIDARG, messages::image_dimension);
    // Bounds exist only for the dimensions an array has.
    if (features.parray->cDims != 2)
        return fail(E_INVALIDARG, messages::feature_dimension);
    const ULONG count = matrix_elements(*features.parray, 1);
    if (count > static_cast<ULONG>(max_features_) || count > static_cast<ULONG>(capacity_))
        return fail(E_INVALIDARG, messages::too_many_features);
    if (matrix_elements(*features.parray, 2) != 2)
        return fail(E_INVALIDARG, messages::feature_format);
    if (!is_frame_of(*imgA.parray, columns_, lines_) || !is_frame_of(*imgB.parray, columns_, lines_))
        return fail(E_INVALIDARG, messages::image_size);

    if (count > 0) {
        const LockedData points(features.parray);
        const double *xy = points.get<const double>();
        if (!xy)
            return fail(E_INVALIDARG, messages::null_matrix);
        for (ULONG i = 0; i < count; ++i) {
            feat_a_[2 * i] = static_cast<FLOAT>(xy[i]);
            feat_a_[2 * i + 1] = static_cast<FLOAT>(xy[count + i]);
        }
    }

    FLOAT *residue = calc_match_residue_ ? residue_buf_.get() : nullptr;
    HRESULT result;
    {
        const LockedData frame_a(imgA.parray);
        const LockedData frame_b(imgB.parray);
        if (!frame_a.get<BYTE>() || !frame_b.get<BYTE>())
            return fail(E_INVALIDARG, messages::null_matrix);
        result = track_frames(frame_a.get<BYTE>(), frame_b.get<BYTE>(), static_cast<LONG>(count),
                                feat_a_.get(), feat_b_.get(), status_buf_.get(), residue);
    }
    if (FAILED(result))
        return result;
    if (residue) {
        // The library leaves the residue of some lost points unwritten; they
        // read as 0 rather than as whatever the buffer held before.
        for (ULONG i = 0; i < count; ++i)
            if (!status_buf_[i])
                residue[i] = 0.0f;
        residue_count_ = static_cast<LONG>(count);
    }

    SAFEARRAY *out = matches_matrix(count, feat_b_.get(), status_buf_.get());
    if (!out)
        return fail(E_OUTOFMEMORY, messages::result_matrix);
    hand_over(matches, out);
    return S_OK;
}

HRESULT Tracker::get_match_residue(VARIANT *value)
{
    const StateGuard guard(state_lock_);
    if (!value)
        return fail(E_POINTER, messages::null_pointer);
    if (!residue_buf_)
        return fail(E_FAIL, messages::not_allocated);
    if (residue_count_ == 0)
        return fail(E_FAIL, messages::no_residue);

    const auto count = static_cast<ULONG>(residue_count_);
    SAFEARRAY *out = filled_double_matrix(1, &count, [&](double *cells) {
        for (ULONG i = 0; i < count; ++i)
            cells[i] = residue_buf_[i];
    });
    if (!out)
        return fail(E_OUTOFMEMORY, messages::result_matrix);
    hand_over(value, out);
    return S_OK;
}

} // namespace morvane
