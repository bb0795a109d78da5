// morvane-track run as a program against the real component, registered in a
// registry of the test's own, on scenes with a known motion: the tracks it
// writes, the forms it writes them in, and every way a run fails.
#include "child_process.h"
#include "track_scene.h"

#include <gtest/gtest.h>

#include <opencv2/imgcodecs.hpp>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace morvane::test {
namespace {

namespace fs = std::filesystem;

struct Row {
    long frame;
    long track;
    double x, y;
    std::optional<double> residue, fb_error;
    bool operator==(const Row &) const = default;
};

std::optional<double> field(const std::string &text, const char *absent)
{
    if (text == absent)
        return std::nullopt;
    return std::stod(text);
}

std::vector<Row> parse_csv(const std::string &text)
{
    std::istringstream lines(text);
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, "frame,track,x,y,residue,fb_error");
    std::vector<Row> rows;
    while (std::getline(lines, line)) {
        std::vector<std::string> cells;
        std::stringstream cell_stream(line);
        std::string cell;
        while (std::getline(cell_stream, cell, ','))
            cells.push_back(cell);
        if (line.back() == ',')
            cells.emplace_back();
        EXPECT_EQ(cells.size(), 6u) << line;
        if (cells.size() != 6)
            continue;
        rows.push_back({std::stol(cells[0]), std::stol(cells[1]), std::stod(cells[2]), std::stod(cells[3]),
                        field(cells[4], ""), field(cells[5], "")});
    }
    return rows;
}

std::vector<Row> parse_jsonl(const std::string &text)
{
    std::istringstream lines(text);
    std::string line;
    std::vector<Row> rows;
    while (std::getline(lines, line)) {
        Row row{};
        char residue[32] = {};
        char fb_error[32] = {};
        const int read = std::sscanf(line.c_str(),
                                     "{\"frame\":%ld,\"track\":%ld,\"x\":%lf,\"y\":%lf,\"residue\":%31[^,],"
                                     "\"fb_error\":%31[^}]}",
                                     &row.frame, &row.track, &row.x, &row.y, residue, fb_error);
        EXPECT_EQ(read, 6) << line;
        row.residue = field(residue, "null");
        row.fb_error = field(fb_error, "null");
        rows.push_back(row);
    }
    return rows;
}

std::string read_file(const fs::path &file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Each track's rows, in frame order.
std::map<long, std::vector<Row>> by_track(const std::vector<Row> &rows)
{
    std::map<long, std::vector<Row>> tracks;
    for (const Row &row : rows)
        tracks[row.track].push_back(row);
    return tracks;
}

// Rows on the scene's known motion: counts those checked and those that miss
// by more than tolerance. A track is checked while its window stays clear of
// the frame's edges and of the occluder (12 pixels with the default window).
struct MotionCheck {
    long checked = 0;
    long missed = 0;
};
MotionCheck check_motion(const std::map<long, std::vector<Row>> &tracks, const TrackScene &scene, double tolerance)
{
    const cv::Rect clear_of_edges(12, 12, scene.columns - 24, scene.lines - 24);
    cv::Rect occluder_reach = scene.occluder;
    occluder_reach.x -= 12, occluder_reach.y -= 12, occluder_reach.width += 24, occluder_reach.height += 24;
    MotionCheck check;
    for (const auto &[id, track] : tracks) {
        const Row &first = track.front();
        for (const Row &row : track) {
            const cv::Point at(static_cast<int>(row.x), static_cast<int>(row.y));
            if (!clear_of_edges.contains(at) || (row.frame >= scene.occluder_frame() && occluder_reach.contains(at)))
                break;
            const cv::Point2d expected =
                scene.moved({first.x, first.y}, static_cast<int>(first.frame), static_cast<int>(row.frame));
            ++check.checked;
            if (std::abs(row.x - expected.x) > tolerance || std::abs(row.y - expected.y) > tolerance) {
                ++check.missed;
                ADD_FAILURE() << "track " << id << " frame " << row.frame << " at " << row.x << ", " << row.y
                              << " instead of " << expected.x << ", " << expected.y;
            }
        }
    }
    return check;
}

class TrackProgram : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::replace(name.begin(), name.end(), '/', '-');
        scratch_ = fs::temp_directory_path() / ("morvane-track-" + std::to_string(::getpid()) + "-" + name);
        fs::remove_all(scratch_);
        fs::create_directories(scratch_);
    }
    void TearDown() override { fs::remove_all(scratch_); }

    std::string path(const std::string &name) const { return (scratch_ / name).string(); }

    void register_component(const std::string &module = MORVANE_MODULE)
    {
        const auto result = run_child({{REGSVR_PROGRAM, module}, "", {{"MORVANE_REGISTRY", path("reg.db")}}});
        ASSERT_EQ(result.exit_status, 0) << result.out << result.err;
    }

    ChildRun track_run(std::vector<std::string> arguments) const
    {
        arguments.insert(arguments.begin(), TRACK_PROGRAM);
        ChildRun run{arguments, scratch_.string(), {}, std::chrono::seconds(120)};
        run.environment = {{"MORVANE_REGISTRY", path("reg.db")}};
        return run;
    }

    ChildResult track(std::vector<std::string> arguments) const { return run_child(track_run(std::move(arguments))); }

    fs::path scratch_;
    TrackScene scene_;
};

// The summary's count of tracks ended for a reason.
long ended(const std::string &err, const std::string &reason)
{
    const auto at = err.find(" " + reason);
    if (at == std::string::npos)
        return -1;
    const auto start = err.rfind(' ', at - 1);
    return std::stol(err.substr(start + 1, at - start - 1));
}

TEST_F(TrackProgram, TracksFollowTheMotionAndEndUnderTheOccluder)
{
    register_component();
    write_scene_images(scene_, path("scene"));
    const auto run = track({"scene", "--quiet"});
    ASSERT_EQ(run.exit_status, 0) << run.err;
    EXPECT_EQ(run.err.find("morvane-track: 24 frames, "), 0u) << run.err;
    const auto rows = parse_csv(run.out);
    const auto tracks = by_track(rows);
    ASSERT_GT(tracks.size(), 100u);

    const int hidden_from = scene_.occluder_frame();
    const auto motion = check_motion(tracks, scene_, 0.1);
    EXPECT_GT(motion.checked, 1000);
    cv::Rect deep = scene_.occluder;
    deep.x += 12, deep.y += 12, deep.width -= 24, deep.height -= 24;
    long hidden = 0;
    for (const auto &[id, track] : tracks) {
        const Row &first = track.front();
        EXPECT_FALSE(first.residue || first.fb_error) << "track " << id << " starts without measures";
        for (std::size_t i = 0; i < track.size(); ++i) {
            const Row &row = track[i];
            // One row per frame from the first: the id is stable.
            EXPECT_EQ(row.frame, first.frame + static_cast<long>(i)) << "track " << id;
            // Never a point in the padding (198 × 146 tracked as 200 × 152).
            EXPECT_TRUE(row.x >= 0.0 && row.y >= 0.0 && row.x <= 197.0 && row.y <= 145.0) << "track " << id;
        }
        // A track that the occluder covers ends where it appears.
        const auto before = std::find_if(track.begin(), track.end(),
                                         [&](const Row &row) { return row.frame == hidden_from - 1; });
        if (before == track.end())
            continue;
        const cv::Point2d covered = scene_.moved({before->x, before->y}, hidden_from - 1, hidden_from);
        if (deep.contains(cv::Point(static_cast<int>(covered.x), static_cast<int>(covered.y)))) {
            ++hidden;
            EXPECT_EQ(track.back().frame, hidden_from - 1) << "track " << id << " lives on under the occluder";
        }
    }
    EXPECT_GE(hidden, 5);
    EXPECT_EQ(ended(run.err, "lost"), 0) << run.err;
    EXPECT_EQ(ended(run.err, "residue"), 0) << run.err;
    EXPECT_GE(ended(run.err, "forward-backward"), hidden) << run.err;
}

TEST_F(TrackProgram, CsvAndJsonLinesFromFoldersPatternsAndVideosAgree)
{
    register_component();
    write_scene_images(scene_, path("scene"));
    ASSERT_TRUE(write_scene_video(scene_, path("scene.avi")));
    const auto csv = track({"scene", "--quiet", "-o", "tracks.csv"});
    ASSERT_EQ(csv.exit_status, 0) << csv.err;
    EXPECT_EQ(csv.out, "");
    const auto jsonl = track({"scene/frame%d.png", "--quiet", "--format", "jsonl", "--overlay", "overlay/"});
    ASSERT_EQ(jsonl.exit_status, 0) << jsonl.err;
    const auto rows = parse_csv(read_file(path("tracks.csv")));
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(parse_jsonl(jsonl.out), rows);
    EXPECT_EQ(std::distance(fs::directory_iterator(path("overlay")), fs::directory_iterator()), scene_.frames);

    // The video's compressed frames move the same way, a little less exactly.
    const auto video = track({"scene.avi", "--quiet"});
    ASSERT_EQ(video.exit_status, 0) << video.err;
    EXPECT_EQ(video.err.find("morvane-track: 24 frames, "), 0u) << video.err;
    const auto video_motion = check_motion(by_track(parse_csv(video.out)), scene_, 0.25);
    EXPECT_GT(video_motion.checked, 1000);
}

TEST_F(TrackProgram, StartPointsAndLimitsDecideWhereTracksEnd)
{
    register_component();
    write_scene_images(scene_, path("scene"));
    // One point clear of the occluder, one that it covers from frame 12.
    std::ofstream(path("points.csv")) << "x,y\n60.5,100.25\n150,40\n";
    struct Case {
        std::vector<std::string> limits;
        long last_frame_0, last_frame_1;
        std::string ended; // the summary's counts by reason
    };
    const Case cases[] = {
        {{}, 23, 11, "ended: 0 lost, 1 forward-backward, 0 residue, 0 left the frame"},
        {{"--fb-max", "0"}, 23, 23, "ended: 0 lost, 0 forward-backward, 0 residue, 0 left the frame"},
        {{"--residue-max", "0"}, 0, 0, "ended: 0 lost, 0 forward-backward, 2 residue, 0 left the frame"},
    };
    for (const Case &c : cases) {
        std::vector<std::string> arguments = {"scene", "--points", "points.csv", "--quiet"};
        arguments.insert(arguments.end(), c.limits.begin(), c.limits.end());
        const auto run = track(arguments);
        const std::string name = c.limits.empty() ? "(defaults)" : c.limits.front();
        ASSERT_EQ(run.exit_status, 0) << name << ": " << run.err;
        EXPECT_NE(run.err.find("2 tracks started; " + c.ended), std::string::npos) << name << ": " << run.err;
        const auto tracks = by_track(parse_csv(run.out));
        ASSERT_EQ(tracks.size(), 2u) << name;
        EXPECT_EQ(tracks.at(0).back().frame, c.last_frame_0) << name;
        EXPECT_EQ(tracks.at(1).back().frame, c.last_frame_1) << name;
        EXPECT_EQ(tracks.at(0).front().x, 60.5) << name;
        const bool checked = c.limits.empty() || c.limits.front() != "--fb-max";
        EXPECT_EQ(tracks.at(0).back().fb_error.has_value(), checked && c.last_frame_0 > 0) << name;
    }
}

TEST_F(TrackProgram, FailuresGiveTheirStatusAndMessage)
{
    write_scene_images(scene_, path("scene"));
    // A frame of another size, and one that is not an image, after good ones.
    fs::create_directories(path("resized"));
    fs::create_directories(path("damaged"));
    for (int i = 0; i < 3; ++i) {
        fs::copy_file(path("scene/frame" + std::to_string(i) + ".png"), path("resized/" + std::to_string(i) + ".png"));
        fs::copy_file(path("scene/frame" + std::to_string(i) + ".png"), path("damaged/" + std::to_string(i) + ".png"));
    }
    cv::imwrite(path("resized/3.png"), scene_.frame(3)(cv::Rect(0, 0, 100, 80)));
    std::ofstream(path("damaged/3.png")) << "not a picture";
    std::ofstream(path("bad.csv")) << "x,y\n1,2\n3;4\n";

    // How the component is registered for a row.
    enum Registration { none, registered, file_removed };
    struct Failure {
        std::vector<std::string> arguments;
        Registration registration;
        int status;
        std::string message; // the first line on standard error
        long frames_written; // frames with rows on standard output; -1 for none at all
    };
    const Failure failures[] = {
        {{"scene", "--bogus"}, registered, 2, "morvane-track: unknown option --bogus", -1},
        {{"scene", "--levels"}, registered, 2, "morvane-track: option --levels needs an argument", -1},
        {{"scene", "--levels", "two"}, registered, 2, "morvane-track: invalid value 'two' for --levels", -1},
        {{}, registered, 2, "morvane-track: no input given", -1},
        {{"scene", "--points", "none.csv"}, registered, 1,
         "morvane-track: cannot read the points file none.csv: No such file or directory", -1},
        {{"scene", "--points", "bad.csv"}, registered, 1, "morvane-track: the points file bad.csv has no x,y pair on line 3",
         -1},
        {{"missing"}, registered, 1, "morvane-track: cannot open the input missing: no such file or folder", -1},
        {{"scene"}, none, 1, "morvane-track: the component Morvane.CoMorvane is not registered (0x80040154)", -1},
        {{"scene"}, file_removed, 1, "morvane-track: cannot create the component Morvane.CoMorvane (0x800401F8)", -1},
        {{"scene", "--iterations", "0"}, registered, 1,
         "morvane-track: the component refused stop_iterations = 0: Number of iterations must be a positive integer",
         -1},
        {{"scene", "--half-window", "4x-1"}, registered, 1,
         "morvane-track: the component refused feature_height = -1: Feature window height must be a positive integer",
         -1},
        {{"scene", "--levels", "31"}, registered, 1,
         "morvane-track: the component refused the frame size 198x146: Image dimension is incompatible with "
         "pyramid decimation.",
         -1},
        {{"resized", "--quiet"}, registered, 1, "morvane-track: frame 3 (resized/3.png) is 100x80, not 198x146 as the first frame",
         3},
        {{"damaged", "--quiet"}, registered, 1,
         "morvane-track: cannot read frame 3 (damaged/3.png): not an image that can be decoded", 3},
    };
    for (const Failure &failure : failures) {
        const std::string name = failure.arguments.empty() ? "(none)" : failure.arguments.back();
        fs::remove(path("reg.db"));
        if (failure.registration == registered) {
            register_component();
        } else if (failure.registration == file_removed) {
            // Registered, then gone: the component system finds the entries but cannot load the file.
            fs::copy_file(MORVANE_MODULE, path("Morvane.so"), fs::copy_options::overwrite_existing);
            register_component(path("Morvane.so"));
            fs::remove(path("Morvane.so"));
        }
        const auto run = track(failure.arguments);
        EXPECT_EQ(run.exit_status, failure.status) << name << ": " << run.err;
        EXPECT_EQ(run.err.substr(0, run.err.find('\n')), failure.message) << name;
        if (failure.status == 2) {
            EXPECT_NE(run.err.find("\nusage: morvane-track [options] INPUT\n"), std::string::npos) << name;
        }
        if (failure.frames_written < 0) {
            EXPECT_EQ(run.out, "") << name;
        } else {
            // Complete rows of every frame before the failing one.
            const auto rows = parse_csv(run.out);
            ASSERT_FALSE(rows.empty()) << name;
            EXPECT_EQ(rows.back().frame, failure.frames_written - 1) << name;
            EXPECT_EQ(run.out.back(), '\n') << name;
        }
    }
}

TEST_F(TrackProgram, InterruptEndsAfterTheCurrentFrameWithCompleteOutput)
{
    register_component();
    write_scene_images(scene_, path("scene"), "", ".png");
    // Frame 5 is a pipe: the run waits there until the test has interrupted it.
    const std::string pipe = path("scene/5.png");
    fs::remove(pipe);
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    const std::vector<uchar> frame5 = [&] {
        std::vector<uchar> bytes;
        cv::imencode(".png", scene_.frame(5), bytes);
        return bytes;
    }();
    std::thread feeder;
    const auto started = [&](int pid) {
        feeder = std::thread([&, pid] {
            // Opening blocks until the program opens the frame to read it.
            const int fd = open(pipe.c_str(), O_WRONLY);
            kill(pid, SIGINT);
            if (fd >= 0) {
                EXPECT_EQ(write(fd, frame5.data(), frame5.size()), static_cast<ssize_t>(frame5.size()));
                close(fd);
            }
        });
    };
    const auto result = run_child(track_run({"scene/%d.png", "--format", "jsonl"}), started);
    feeder.join();
    EXPECT_EQ(result.exit_status, 130) << result.err;
    EXPECT_NE(result.err.find("morvane-track: interrupted after frame 5\nmorvane-track: 6 frames, "),
              std::string::npos)
        << result.err;
    const auto rows = parse_jsonl(result.out);
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows.back().frame, 5);
    EXPECT_EQ(result.out.back(), '\n');
}

} // namespace
} // namespace morvane::test
