// morvane-track against the real component in a registry of the test's own, on known motion.
#include "child_process.h"
#include "scratch_registry.h"
#include "track_scene.h"

#include <gtest/gtest.h>

#include <opencv2/imgcodecs.hpp>

#include <csignal>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace morvane::test {
namespace {

namespace fs = std::filesystem;

struct Row {
    long frame, track;
    double x, y;
    std::optional<double> residue, fb_error;
    bool operator==(const Row &) const = default;
};

// Rows of CSV after its header line, or of JSON lines with their keys taken out.
std::vector<Row> parse(const std::string &text, bool json = false)
{
    std::istringstream lines(text);
    std::string line;
    if (!json && std::getline(lines, line)) {
        EXPECT_EQ(line, "frame,track,x,y,residue,fb_error");
    }
    const std::regex keys(R"re(\{"frame":|"(track|x|y|residue|fb_error)":|\})re");
    const std::regex six_cells("([^,]+),([^,]+),([^,]+),([^,]+),([^,]*),([^,]*)");
    const auto field = [](const std::string &value) {
        return value.empty() || value == "null" ? std::nullopt : std::optional(std::stod(value));
    };
    std::vector<Row> rows;
    for (std::smatch cell; std::getline(lines, line);) {
        if (json)
            line = std::regex_replace(line, keys, "");
        EXPECT_TRUE(std::regex_match(line, cell, six_cells)) << line;
        if (!cell.empty())
            rows.push_back({std::stol(cell[1]), std::stol(cell[2]), std::stod(cell[3]), std::stod(cell[4]),
                            field(cell[5]), field(cell[6])});
    }
    return rows;
}

// Each track's rows, in frame order.
std::map<long, std::vector<Row>> by_track(const std::vector<Row> &rows)
{
    std::map<long, std::vector<Row>> tracks;
    for (const Row &row : rows)
        tracks[row.track].push_back(row);
    return tracks;
}

// Checks each track's rows; counts those on the known motion: before the occluder, off the edges.
long check_tracks(const std::map<long, std::vector<Row>> &tracks, const TrackScene &scene, double tolerance)
{
    const cv::Rect clear_of_edges(12, 12, scene.columns - 24, scene.lines - 24);
    long checked = 0;
    for (const auto &[id, track] : tracks) {
        const Row &first = track.front();
        EXPECT_FALSE(first.residue || first.fb_error) << "track " << id << " starts with measures";
        bool on_motion = true;
        for (const Row &row : track) {
            EXPECT_EQ(row.frame, first.frame + (&row - &first)) << "track " << id;
            EXPECT_TRUE(row.x >= 0.0 && row.y >= 0.0 && row.x <= 197.0 && row.y <= 145.0) << "track " << id;
            const bool inside = clear_of_edges.contains(cv::Point(static_cast<int>(row.x), static_cast<int>(row.y)));
            on_motion = on_motion && inside && row.frame < scene.occluder_frame();
            if (!on_motion)
                continue;
            const cv::Point2d expected = cv::Point2d(first.x, first.y) + scene.motion * static_cast<double>(row.frame - first.frame);
            ++checked;
            EXPECT_TRUE(std::abs(row.x - expected.x) <= tolerance && std::abs(row.y - expected.y) <= tolerance)
                << "track " << id << " frame " << row.frame << " at " << row.x << ", " << row.y;
        }
    }
    return checked;
}

class TrackProgram : public ::testing::Test {
protected:
    void SetUp() override
    {
        write_scene_images(scene_, path("scene"));
        register_component();
    }
    std::string path(const std::string &name) const { return (scratch_.folder() / name).string(); }

    void register_component(const std::string &module = MORVANE_MODULE)
    {
        const auto result = run_child({{REGSVR_PROGRAM, module}, "", {}});
        ASSERT_EQ(result.exit_status, 0) << result.out << result.err;
    }
    ChildRun track_run(std::vector<std::string> arguments) const
    {
        arguments.insert(arguments.begin(), TRACK_PROGRAM);
        return {arguments, scratch_.folder().string(), {}, std::chrono::seconds(120)};
    }
    ChildResult track(std::vector<std::string> arguments) const { return run_child(track_run(std::move(arguments))); }

    ScratchRegistry scratch_;
    TrackScene scene_;
};

// Tracks follow the motion, never into the padding, alike as CSV and JSON; from video less exactly.
TEST_F(TrackProgram, TracksFollowTheMotionInEveryFormAndFromEverySource)
{
    ASSERT_TRUE(write_scene_video(scene_, path("scene.avi")));
    const auto csv = track({"scene", "--quiet", "-o", "tracks.csv"});
    ASSERT_EQ(csv.exit_status, 0) << csv.err;
    EXPECT_EQ(csv.err.find("morvane-track: 24 frames, "), 0u) << csv.err;
    EXPECT_EQ(csv.out, "");
    std::ifstream written(path("tracks.csv"));
    const auto rows = parse({std::istreambuf_iterator<char>(written), std::istreambuf_iterator<char>()});
    const auto tracks = by_track(rows);
    ASSERT_GT(tracks.size(), 100u);
    EXPECT_GT(check_tracks(tracks, scene_, 0.1), 500);
    const auto jsonl = track({"scene/frame%d.png", "--quiet", "--format", "jsonl", "--overlay", "overlay/"});
    ASSERT_EQ(jsonl.exit_status, 0) << jsonl.err;
    EXPECT_EQ(parse(jsonl.out, true), rows);
    EXPECT_EQ(std::distance(fs::directory_iterator(path("overlay")), fs::directory_iterator()), scene_.frames);
    // An existing folder is a folder even with a '%' in its name.
    fs::copy(path("scene"), path("50%"));
    const auto percent = track({"50%", "--quiet"});
    ASSERT_EQ(percent.exit_status, 0) << percent.err;
    EXPECT_EQ(parse(percent.out), rows);
    const auto video = track({"scene.avi", "--quiet"});
    ASSERT_EQ(video.exit_status, 0) << video.err;
    EXPECT_GT(check_tracks(by_track(parse(video.out)), scene_, 0.25), 500);
}

// Of two given points the one the occluder covers ends at frame 11, unless the limits say otherwise.
TEST_F(TrackProgram, GivenPointsEndAsTheLimitsSay)
{
    std::ofstream(path("points.csv")) << "x,y\n60.5,100.25\n150,40\n";
    const struct {
        std::vector<std::string> arguments;
        long last_frame_0, last_frame_1;
        bool measured_fb; // the first point's last row has a forward-backward error
        const char *ended;
    } limits[] = {
        {{}, 23, 11, true, "ended: 0 lost, 1 forward-backward, 0 residue, 0 left the frame"},
        // Without the round trip the appearance check ends the covered point where the occluder appears;
        // at its lowest minimum it ends nothing and the point follows the occluder to the end.
        {{"--fb-max", "0"}, 23, 11, false, "ended: 0 lost, 0 forward-backward, 0 residue, 0 left the frame, 1 appearance"},
        {{"--fb-max", "0", "--appearance-min", "-1"}, 23, 23, false, "ended: 0 lost, 0 forward-backward, 0 residue, 0 left the frame, 0 appearance"},
        {{"--residue-max", "0"}, 0, 0, false, "ended: 0 lost, 0 forward-backward, 2 residue, 0 left the frame"},
    };
    for (auto c : limits) {
        SCOPED_TRACE(c.ended);
        c.arguments.insert(c.arguments.begin(), {"scene", "--points", "points.csv", "--quiet"});
        const auto limited = track(c.arguments);
        ASSERT_EQ(limited.exit_status, 0) << limited.err;
        EXPECT_NE(limited.err.find(std::string("2 tracks started; ") + c.ended), std::string::npos) << limited.err;
        const auto points = by_track(parse(limited.out));
        ASSERT_EQ(points.size(), 2u);
        const Row &first = points.at(0).front(), &last = points.at(0).back();
        EXPECT_EQ(std::tuple(last.frame, points.at(1).back().frame, first.x, last.fb_error.has_value()),
                  std::tuple(c.last_frame_0, c.last_frame_1, 60.5, c.measured_fb));
    }
}

TEST_F(TrackProgram, FailuresGiveTheirStatusAndMessage)
{
    // A frame of another size, and one that is not an image, after good ones.
    const TrackScene three{.frames = 3};
    for (const char *folder : {"resized", "damaged"})
        write_scene_images(three, path(folder), "");
    cv::imwrite(path("resized/3.png"), scene_.frame(3)(cv::Rect(0, 0, 100, 80)));
    std::ofstream(path("damaged/3.png")) << "not a picture";
    std::ofstream(path("bad.csv")) << "x,y\n1,2\n3;4\n";
    std::ofstream(path("huge.csv")) << "x,y\n1e39,5\n"; // finite as a double, not as a float
    ASSERT_TRUE(write_scene_video(three, path("three.avi")));
    enum Registration { registered, none, file_removed }; // rows without it come last
    struct Failure {
        std::vector<std::string> arguments;
        Registration registration;
        int status;
        std::string message; // the first line on standard error
        long frames_written; // frames with rows on standard output; -1 for none at all
    };
    // The rows of failure_cases.txt (its first lines describe the format), then those without registration.
    std::vector<Failure> failures;
    std::ifstream cases(FAILURE_CASES_FILE);
    for (std::string line; std::getline(cases, line);) {
        const std::size_t arrow = line.find(" => ");
        std::istringstream words(line.substr(0, arrow));
        Failure row{{}, registered, 0, line.substr(arrow + 4), 0};
        if (line.starts_with("#") || !(words >> row.status >> row.frames_written))
            continue;
        for (std::string word; words >> word;)
            row.arguments.push_back(word);
        failures.push_back(row);
    }
    ASSERT_EQ(failures.size(), 22u) << FAILURE_CASES_FILE;
    failures.push_back({{"scene"}, none, 1, "morvane-track: " + scratch_.unregistered_message() + " (0x80040154)", -1});
    failures.push_back({{"scene"}, file_removed, 1, "morvane-track: cannot create the component Morvane.CoMorvane (0x800401F8)", -1});
    for (const auto &failure : failures) {
        SCOPED_TRACE(failure.message);
        if (failure.registration != registered)
            fs::remove(scratch_.file());
        if (failure.registration == file_removed) {
            // Registered, then gone: the entries are there but the file cannot be loaded.
            fs::copy_file(MORVANE_MODULE, path("Morvane.so"));
            register_component(path("Morvane.so"));
            fs::remove(path("Morvane.so"));
        }
        const auto run = track(failure.arguments);
        EXPECT_EQ(run.exit_status, failure.status) << run.err;
        EXPECT_EQ(run.err.substr(0, run.err.find('\n')), failure.message);
        const bool usage = run.err.find("\nusage: morvane-track [options] INPUT\n") != std::string::npos;
        EXPECT_EQ(usage, failure.status == 2);
        // Nothing, or complete rows of every frame before the failing one.
        const auto rows = parse(run.out);
        EXPECT_EQ(rows.empty() ? -1 : rows.back().frame + 1, failure.frames_written);
        EXPECT_TRUE(failure.frames_written < 0 ? run.out.empty() : run.out.ends_with('\n'));
    }
}

// Frame 5 is a pipe whose writer never writes: the interrupt ends the wait for it, and the run with the frame
// being tracked (frames are read ahead), its output complete, status 130.
TEST_F(TrackProgram, InterruptEndsTheWaitForAFrameWithCompleteOutput)
{
    const std::string pipe = path("scene/frame5.png");
    fs::remove(pipe);
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    int writer = -1;
    std::thread feeder;
    ChildRun run = track_run({"scene/frame%d.png", "--format", "jsonl"});
    run.timeout = std::chrono::seconds(30); // a wait the interrupt does not end is a failure
    const auto result = run_child(run, [&](int pid) {
        feeder = std::thread([&, pid] {
            writer = open(pipe.c_str(), O_WRONLY); // returns once the program opened the frame
            kill(pid, SIGINT);
        });
    });
    feeder.join();
    if (writer >= 0)
        close(writer);
    EXPECT_EQ(result.exit_status, 130) << result.err;
    std::smatch last;
    ASSERT_TRUE(std::regex_search(result.err, last, std::regex("morvane-track: interrupted after frame (\\d)\nmorvane-track: (\\d) frames, ")))
        << result.err;
    const long last_frame = std::stol(last[1]);
    EXPECT_LE(last_frame, 4);
    EXPECT_EQ(std::stol(last[2]), last_frame + 1);
    const auto rows = parse(result.out, true);
    EXPECT_EQ(rows.empty() ? -1 : rows.back().frame, last_frame);
}

// The first failed write ends the run; the libraries' own warnings come only with --verbose.
TEST_F(TrackProgram, WritesFailAtOnceAndLibrariesSpeakWhenAsked)
{
    const auto full = track({"scene", "--quiet", "-o", "/dev/full"});
    EXPECT_NE(full.err.find("\nmorvane-track: 1 frames, "), std::string::npos) << full.err;
    std::ofstream(path("noise.avi")) << "not a video";
    for (const bool verbose : {false, true}) {
        const auto run = track(verbose ? std::vector<std::string>{"noise.avi", "--verbose"}
                                       : std::vector<std::string>{"noise.avi"});
        EXPECT_EQ(run.exit_status, 1);
        EXPECT_EQ(run.err == "morvane-track: cannot open the input noise.avi: not a video that can be opened\n",
                  !verbose)
            << run.err;
    }
}

} // namespace
} // namespace morvane::test
