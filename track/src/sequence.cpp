// Frames from video files, folders and patterns, decoded into 8-bit grey.
#include "sequence.h"
#include "file_bytes.h"
#include "natural_order.h"

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <vector>

namespace morvane::track {

namespace fs = std::filesystem;

cv::Mat to_grey(const cv::Mat &image)
{
    cv::Mat eight_bit = image;
    if (image.depth() == CV_16U)
        image.convertTo(eight_bit, CV_8U, 1.0 / 256.0);
    else if (image.depth() != CV_8U)
        image.convertTo(eight_bit, CV_8U);
    cv::Mat grey;
    switch (eight_bit.channels()) {
    case 3: cv::cvtColor(eight_bit, grey, cv::COLOR_BGR2GRAY); break;
    case 4: cv::cvtColor(eight_bit, grey, cv::COLOR_BGRA2GRAY); break;
    default: grey = eight_bit; break;
    }
    return grey;
}

namespace {

// Reads the whole file and decodes it; one read, so that a file being
// written while the run waits for it is taken in full.
FrameSequence::Read read_image(const fs::path &file, const WakeDescriptors &wakes, cv::Mat &grey, std::string &error)
{
    std::vector<unsigned char> bytes;
    const FileRead read = read_file(file.string(), wakes, bytes, error);
    if (read != FileRead::done)
        return read == FileRead::woken ? FrameSequence::Read::woken : FrameSequence::Read::failed;
    cv::Mat image;
    try {
        image = cv::imdecode(bytes, cv::IMREAD_UNCHANGED);
    } catch (const cv::Exception &) {
        image.release();
    }
    if (image.empty()) {
        error = "not an image that can be decoded";
        return FrameSequence::Read::failed;
    }
    grey = to_grey(image);
    return FrameSequence::Read::frame;
}

class FileSequence final : public FrameSequence {
public:
    FileSequence(std::vector<fs::path> files, std::optional<fs::path> folder, const WakeDescriptors &wakes)
        : files_(std::move(files)), folder_(std::move(folder)), wakes_(wakes)
    {
    }
    std::optional<long> count() const override { return static_cast<long>(files_.size()); }
    Read next(cv::Mat &grey, std::string &error) override
    {
        if (next_ >= files_.size())
            return Read::end;
        current_ = files_[next_++].string();
        return read_image(current_, wakes_, grey, error);
    }
    std::string frame_name() const override { return current_; }
    std::vector<std::string> sources() const override
    {
        std::vector<std::string> names(files_.begin(), files_.end());
        if (folder_)
            names.push_back(folder_->string());
        return names;
    }

private:
    std::vector<fs::path> files_;
    std::optional<fs::path> folder_;
    WakeDescriptors wakes_;
    std::size_t next_ = 0;
    std::string current_;
};

bool is_image_name(const fs::path &file)
{
    static const std::array<const char *, 11> extensions = {".png", ".jpg", ".jpeg", ".bmp", ".tif", ".tiff",
                                                            ".pgm", ".ppm", ".pnm", ".webp", ".pbm"};
    std::string extension = file.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return std::find(extensions.begin(), extensions.end(), extension) != extensions.end();
}

std::unique_ptr<FrameSequence> open_folder(const fs::path &folder, const WakeDescriptors &wakes, std::string &error)
{
    std::vector<fs::path> files;
    std::error_code failure;
    for (const auto &entry : fs::directory_iterator(folder, failure)) {
        if (!entry.is_directory() && is_image_name(entry.path()))
            files.push_back(entry.path());
    }
    if (failure) {
        error = failure.message();
        return nullptr;
    }
    if (files.empty()) {
        error = "no image files in the folder";
        return nullptr;
    }
    std::sort(files.begin(), files.end(), [](const fs::path &a, const fs::path &b) {
        return natural_less(a.filename().string(), b.filename().string());
    });
    return std::make_unique<FileSequence>(std::move(files), folder, wakes);
}

std::string format_name(const std::string &pattern, long index)
{
    std::array<char, 4096> name{};
    std::snprintf(name.data(), name.size(), pattern.c_str(), index);
    return name.data();
}

// Exactly one conversion, an integer one, so that formatting a number is safe.
bool valid_pattern(const std::string &pattern)
{
    int conversions = 0;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%')
            continue;
        if (i + 1 < pattern.size() && pattern[i + 1] == '%') {
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        while (j < pattern.size() && std::strchr("0123456789-+ ", pattern[j]))
            ++j;
        if (j >= pattern.size() || !std::strchr("du", pattern[j]))
            return false;
        ++conversions;
        i = j;
    }
    return conversions == 1;
}

// Frames named by the pattern from 0 (or 1 when there is no frame 0) for as
// long as the files exist.
std::unique_ptr<FrameSequence> open_pattern(const std::string &pattern, const WakeDescriptors &wakes, std::string &error)
{
    if (!valid_pattern(pattern)) {
        error = "a pattern needs exactly one integer conversion such as %04d";
        return nullptr;
    }
    long first = fs::exists(format_name(pattern, 0)) ? 0 : 1;
    std::vector<fs::path> files;
    for (long index = first; fs::exists(format_name(pattern, index)); ++index)
        files.emplace_back(format_name(pattern, index));
    if (files.empty()) {
        error = "no file matches the pattern";
        return nullptr;
    }
    return std::make_unique<FileSequence>(std::move(files), std::nullopt, wakes);
}

class VideoSequence final : public FrameSequence {
public:
    VideoSequence(cv::VideoCapture capture, std::string name)
        : capture_(std::move(capture)), name_(std::move(name))
    {
    }
    std::optional<long> count() const override
    {
        const double frames = capture_.get(cv::CAP_PROP_FRAME_COUNT);
        if (frames > 0)
            return static_cast<long>(frames);
        return std::nullopt;
    }
    std::optional<double> fps() const override
    {
        const double rate = capture_.get(cv::CAP_PROP_FPS);
        if (rate > 0.0)
            return rate;
        return std::nullopt;
    }
    Read next(cv::Mat &grey, std::string &error) override
    {
        cv::Mat image;
        try {
            if (!capture_.read(image) || image.empty())
                return Read::end;
        } catch (const cv::Exception &e) {
            error = e.what();
            return Read::failed;
        }
        grey = to_grey(image);
        return Read::frame;
    }
    std::string frame_name() const override { return name_; }
    std::vector<std::string> sources() const override { return {name_}; }

private:
    mutable cv::VideoCapture capture_;
    std::string name_;
};

} // namespace

std::unique_ptr<FrameSequence> open_sequence(const std::string &input, const WakeDescriptors &wakes, std::string &error)
{
    // A path that exists is what it names, even with a '%' in it.
    std::error_code failure;
    if (fs::is_directory(input, failure))
        return open_folder(input, wakes, error);
    if (!fs::exists(input, failure)) {
        if (input.find('%') != std::string::npos)
            return open_pattern(input, wakes, error);
        error = "no such file or folder";
        return nullptr;
    }
    // Only the backends that read files: the others probe cameras and buses
    // (and leave memory behind in their libraries) before they give up on a file.
    cv::VideoCapture capture;
    for (const int backend : {cv::CAP_FFMPEG, cv::CAP_GSTREAMER, cv::CAP_OPENCV_MJPEG}) {
        try {
            if (capture.open(input, backend))
                break;
        } catch (const cv::Exception &) {
            capture.release();
        }
    }
    if (!capture.isOpened()) {
        error = "not a video that can be opened";
        return nullptr;
    }
    return std::make_unique<VideoSequence>(std::move(capture), input);
}

} // namespace morvane::track
