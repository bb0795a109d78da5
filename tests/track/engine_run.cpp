// The engine's rows and ends of every frame, in the order they come.
#include "engine_run.h"

namespace morvane::test {

EngineRun run_engine(const std::vector<cv::Mat> &frames, const morvane_track_settings &settings)
{
    EngineRun run;
    morvane_track_engine *engine = nullptr;
    run.result = morvane_track_open(&settings, &engine);
    for (const cv::Mat &frame : frames) {
        if (run.result != MORVANE_TRACK_OK)
            break;
        run.result = morvane_track_push(engine, frame.data, frame.cols, frame.rows, static_cast<ptrdiff_t>(frame.step[0]));
        const morvane_track_row *rows = nullptr;
        const morvane_track_end *ends = nullptr;
        std::size_t row_count = 0, end_count = 0;
        morvane_track_rows(engine, &rows, &row_count);
        morvane_track_ends(engine, &ends, &end_count);
        for (std::size_t i = 0; i < row_count; ++i)
            run.rows.push_back({rows[i].track, rows[i].frame, {rows[i].x, rows[i].y}});
        run.measured.insert(run.measured.end(), rows, rows + row_count);
        run.ends.insert(run.ends.end(), ends, ends + end_count);
    }
    morvane_track_close(engine);
    return run;
}

} // namespace morvane::test
