// The engine's C functions: arguments checked, results as codes, nothing thrown.
#include "api_result.h"
#include "engine.h"
#include "padding.h"

#include <cmath>

using morvane::track::Engine;
using morvane::track::failed;
using morvane::track::guarded;

struct morvane_track_engine {
    std::unique_ptr<Engine> engine;
};

extern "C" {

void morvane_track_default_settings(morvane_track_settings *settings)
{
    if (settings == nullptr)
        return;
    *settings = morvane_track_settings{400, 0.01, 10.0, 0.7, 10, 10, 3, 30, 0.01, 1.0, HUGE_VAL, 1, 0.8, nullptr, 0};
}

int morvane_track_padded_size(int width, int height, int levels, int *padded_width, int *padded_height)
{
    if (padded_width == nullptr || padded_height == nullptr)
        return failed(MORVANE_TRACK_INVALID, "no place for the padded size");
    if (width <= 0 || height <= 0 || levels < 0 || levels > 30)
        return failed(MORVANE_TRACK_INVALID, "no padded size for " + std::to_string(width) + "x" +
                                                 std::to_string(height) + " at " + std::to_string(levels) +
                                                 " levels");
    const cv::Size padded = morvane::track::padded_size({width, height}, levels);
    // Where rounding up would leave the int range, the size comes back unrounded.
    const int factor = 1 << levels;
    if (padded.width % factor != 0 || padded.height % factor != 0)
        return failed(MORVANE_TRACK_INVALID, "the padded size of " + std::to_string(width) + "x" +
                                                 std::to_string(height) + " exceeds the int range");
    *padded_width = padded.width;
    *padded_height = padded.height;
    return MORVANE_TRACK_OK;
}

int morvane_track_open(const morvane_track_settings *settings, morvane_track_engine **engine)
{
    return guarded([&]() -> int {
        if (engine == nullptr || settings == nullptr)
            return failed(MORVANE_TRACK_INVALID, "no settings or no place for the engine");
        *engine = nullptr;
        std::string error;
        auto opened = Engine::open(*settings, error);
        if (!opened)
            return failed(morvane::track::settings_fault(*settings) ? MORVANE_TRACK_INVALID : MORVANE_TRACK_COMPONENT,
                          error);
        *engine = new morvane_track_engine{std::move(opened)};
        return MORVANE_TRACK_OK;
    });
}

int morvane_track_push(morvane_track_engine *engine, const unsigned char *pixels, int width, int height,
                       ptrdiff_t stride)
{
    return guarded([&]() -> int {
        if (engine == nullptr || pixels == nullptr)
            return failed(MORVANE_TRACK_INVALID, "no engine or no pixels");
        if (width <= 0 || height <= 0 || stride < width)
            return failed(MORVANE_TRACK_INVALID, "a frame of " + std::to_string(width) + "x" +
                                                     std::to_string(height) + " with rows " +
                                                     std::to_string(stride) + " bytes apart");
        // A view of the caller's pixels: the engine copies what it keeps.
        const cv::Mat grey(height, width, CV_8UC1, const_cast<unsigned char *>(pixels), static_cast<size_t>(stride));
        std::string error;
        const int result = engine->engine->push(grey, error);
        return result == MORVANE_TRACK_OK ? result : failed(result, error);
    });
}

int morvane_track_rows(const morvane_track_engine *engine, const morvane_track_row **rows, size_t *count)
{
    if (engine == nullptr || rows == nullptr || count == nullptr)
        return failed(MORVANE_TRACK_INVALID, "no engine or no place for the rows");
    *rows = engine->engine->rows().data();
    *count = engine->engine->rows().size();
    return MORVANE_TRACK_OK;
}

int morvane_track_ends(const morvane_track_engine *engine, const morvane_track_end **ends, size_t *count)
{
    if (engine == nullptr || ends == nullptr || count == nullptr)
        return failed(MORVANE_TRACK_INVALID, "no engine or no place for the ends");
    *ends = engine->engine->ends().data();
    *count = engine->engine->ends().size();
    return MORVANE_TRACK_OK;
}

int morvane_track_get_summary(const morvane_track_engine *engine, morvane_track_summary *summary)
{
    if (engine == nullptr || summary == nullptr)
        return failed(MORVANE_TRACK_INVALID, "no engine or no place for the summary");
    *summary = engine->engine->summary();
    return MORVANE_TRACK_OK;
}

void morvane_track_close(morvane_track_engine *engine) { delete engine; }

} // extern "C"
