// The component through the component system: creation by ProgID, properties, the direct tracking call.
#include "component_tracker.h"

#include "registration_hint.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <sstream>

namespace morvane::track {

namespace {

constexpr char16_t prog_id[] = u"Morvane.CoMorvane";

std::string hex(HRESULT code)
{
    std::array<char, 16> text{};
    std::snprintf(text.data(), text.size(), "0x%08X", static_cast<unsigned>(code));
    return text.data();
}

// The description of the thread's error record, taken and cleared; empty when
// there is none.
std::string component_message()
{
    IErrorInfo *info = nullptr;
    if (GetErrorInfo(0, &info) != S_OK || info == nullptr)
        return {};
    BSTR description = nullptr;
    std::string text;
    if (SUCCEEDED(info->GetDescription(&description)) && description != nullptr) {
        const int length = static_cast<int>(SysStringLen(description));
        const int bytes = WideCharToMultiByte(CP_ACP, 0, description, length, nullptr, 0, nullptr, nullptr);
        if (bytes > 0) {
            text.resize(static_cast<std::size_t>(bytes));
            WideCharToMultiByte(CP_ACP, 0, description, length, text.data(), bytes, nullptr, nullptr);
        }
        SysFreeString(description);
    }
    info->Release();
    return text;
}

// "what (code)" or "what: the component's message".
std::string failure(const std::string &what, HRESULT code)
{
    const std::string message = component_message();
    return what + (message.empty() ? " (" + hex(code) + ")" : ": " + message);
}

template <typename T> std::string shown(T value)
{
    std::ostringstream text;
    text << value;
    return text.str();
}

} // namespace

std::unique_ptr<ComponentTracker> ComponentTracker::create(std::string &error)
{
    std::unique_ptr<ComponentTracker> tracker(new ComponentTracker);
    HRESULT result = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (FAILED(result)) {
        error = "cannot join the component system (" + hex(result) + ")";
        return nullptr;
    }
    tracker->joined_ = true;
    CLSID clsid{};
    result = CLSIDFromProgID(reinterpret_cast<LPCOLESTR>(prog_id), &clsid);
    if (SUCCEEDED(result))
        result = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IMorvane,
                                  reinterpret_cast<void **>(&tracker->properties_));
    if (result == REGDB_E_CLASSNOTREG) {
        error = not_registered_text("Morvane.CoMorvane") + " (" + hex(result) + ")";
        return nullptr;
    }
    if (FAILED(result) || tracker->properties_ == nullptr) {
        error = failure("cannot create the component Morvane.CoMorvane", result);
        return nullptr;
    }
    result = tracker->properties_->QueryInterface(IID__IMorvane, reinterpret_cast<void **>(&tracker->direct_));
    if (FAILED(result) || tracker->direct_ == nullptr) {
        error = failure("the component Morvane.CoMorvane offers no _IMorvane", result);
        return nullptr;
    }
    return tracker;
}

ComponentTracker::~ComponentTracker()
{
    if (properties_ != nullptr)
        properties_->destroy_morvane();
    if (direct_ != nullptr)
        direct_->Release();
    if (properties_ != nullptr)
        properties_->Release();
    if (joined_)
        CoUninitialize();
}

bool ComponentTracker::configure(const ComponentSettings &settings, std::string &error)
{
    // Values beyond 32 bits arrive as the nearest 32-bit value, which the
    // component judges with its own message.
    const auto as_long = [](long value) {
        return static_cast<LONG>(std::clamp<long>(value, -2147483647L - 1, 2147483647L));
    };
    IMorvane *const p = properties_;
    struct Write {
        const char *name;
        std::string value;
        HRESULT (STDMETHODCALLTYPE IMorvane::*put)(LONG);
        long number;
    };
    const Write writes[] = {
        {"columns", shown(settings.columns), &IMorvane::put_columns, settings.columns},
        {"lines", shown(settings.lines), &IMorvane::put_lines, settings.lines},
        {"max_features", shown(settings.max_features), &IMorvane::put_max_features, settings.max_features},
        {"feature_width", shown(settings.feature_width), &IMorvane::put_feature_width, settings.feature_width},
        {"feature_height", shown(settings.feature_height), &IMorvane::put_feature_height, settings.feature_height},
        {"pyramid_levels", shown(settings.pyramid_levels), &IMorvane::put_pyramid_levels, settings.pyramid_levels},
        {"stop_iterations", shown(settings.stop_iterations), &IMorvane::put_stop_iterations,
         settings.stop_iterations},
    };
    for (const Write &write : writes) {
        const HRESULT result = (p->*write.put)(as_long(write.number));
        if (FAILED(result)) {
            error = failure(std::string("the component refused ") + write.name + " = " + write.value, result);
            return false;
        }
    }
    HRESULT result = p->put_stop_epsilon(static_cast<FLOAT>(settings.stop_epsilon));
    if (FAILED(result)) {
        error = failure("the component refused stop_epsilon = " + shown(settings.stop_epsilon), result);
        return false;
    }
    result = p->create_morvane();
    if (FAILED(result)) {
        error = failure("the component refused the frame size " + shown(settings.columns) + "x" +
                            shown(settings.lines),
                        result);
        return false;
    }
    return true;
}

bool ComponentTracker::track(const cv::Mat &a, const cv::Mat &b, const std::vector<cv::Point2f> &from,
                             std::vector<cv::Point2f> &to, std::vector<unsigned char> &status,
                             std::vector<float> *residue, std::string &error)
{
    to.assign(from.size(), cv::Point2f());
    status.assign(from.size(), 0);
    if (residue != nullptr)
        residue->assign(from.size(), 0.0f);
    if (from.empty())
        return true;
    const HRESULT result = direct_->_track_corners(
        const_cast<BYTE *>(a.ptr<BYTE>()), const_cast<BYTE *>(b.ptr<BYTE>()), static_cast<LONG>(from.size()),
        const_cast<FLOAT *>(reinterpret_cast<const FLOAT *>(from.data())), reinterpret_cast<FLOAT *>(to.data()),
        status.data(), residue != nullptr ? residue->data() : nullptr);
    if (FAILED(result)) {
        error = failure("tracking failed", result);
        return false;
    }
    return true;
}

} // namespace morvane::track
