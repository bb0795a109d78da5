#include "track_writers.h"

#include <array>
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

std::string optional_number(const std::optional<float> &value, const char *absent)
{
    return value ? number(*value) : absent;
}

class CsvWriter final : public TrackWriter {
public:
    explicit CsvWriter(std::ostream &out) : out_(out) { out_ << "frame,track,x,y,residue,fb_error\n"; }
    void write(const std::vector<TrackRow> &rows) override
    {
        for (const TrackRow &row : rows)
            out_ << row.frame << ',' << row.track << ',' << number(row.point.x) << ',' << number(row.point.y) << ','
                 << optional_number(row.residue, "") << ',' << optional_number(row.fb_error, "") << '\n';
        out_.flush();
    }

private:
    std::ostream &out_;
};

class JsonLinesWriter final : public TrackWriter {
public:
    explicit JsonLinesWriter(std::ostream &out) : out_(out) {}
    void write(const std::vector<TrackRow> &rows) override
    {
        for (const TrackRow &row : rows)
            out_ << "{\"frame\":" << row.frame << ",\"track\":" << row.track << ",\"x\":" << number(row.point.x)
                 << ",\"y\":" << number(row.point.y) << ",\"residue\":" << optional_number(row.residue, "null")
                 << ",\"fb_error\":" << optional_number(row.fb_error, "null") << "}\n";
        out_.flush();
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
