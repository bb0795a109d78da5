// Rows written as CSV or JSON Lines, each frame flushed so that a failed write is seen at once.
#include "track_writers.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <span>
#include <cstdio>
#include <string>

namespace morvane::track {

namespace {

// Enough digits for a hundredth of a hundredth of a pixel.
std::string number(float value)
{
    std::array<char, 64> text{};
    std::snprintf(text.data(), text.size(), "%.4f", static_cast<double>(value));
    return text.data();
}

std::string optional_number(bool present, float value, const char *absent)
{
    return present ? number(value) : absent;
}

// Flushes out; false and the reason of the failed write when it fails.
bool flushed(std::ostream &out, std::string &error)
{
    errno = 0;
    out.flush();
    if (out)
        return true;
    error = errno != 0 ? std::strerror(errno) : "write failed";
    return false;
}

class CsvWriter final : public TrackWriter {
public:
    explicit CsvWriter(std::ostream &out) : out_(out) { out_ << "frame,track,x,y,residue,fb_error\n"; }
    bool write(const morvane_track_row *rows, std::size_t count, std::string &error) override
    {
        for (const morvane_track_row &row : std::span(rows, count))
            out_ << row.frame << ',' << row.track << ',' << number(row.x) << ',' << number(row.y) << ','
                 << optional_number(row.has_residue, row.residue, "") << ','
                 << optional_number(row.has_fb_error, row.fb_error, "") << '\n';
        return flushed(out_, error);
    }

private:
    std::ostream &out_;
};

class JsonLinesWriter final : public TrackWriter {
public:
    explicit JsonLinesWriter(std::ostream &out) : out_(out) {}
    bool write(const morvane_track_row *rows, std::size_t count, std::string &error) override
    {
        for (const morvane_track_row &row : std::span(rows, count))
            out_ << "{\"frame\":" << row.frame << ",\"track\":" << row.track << ",\"x\":" << number(row.x)
                 << ",\"y\":" << number(row.y) << ",\"residue\":" << optional_number(row.has_residue, row.residue, "null")
                 << ",\"fb_error\":" << optional_number(row.has_fb_error, row.fb_error, "null") << "}\n";
        return flushed(out_, error);
    }

private:
    std::ostream &out_;
};

} // namespace

std::unique_ptr<TrackWriter> make_writer(OutputFormat format, std::ostream &out)
{
    if (format == OutputFormat::jsonl)
        return std::make_unique<JsonLinesWriter>(out);
    return std::make_unique<CsvWriter>(out);
}

} // namespace morvane::track
