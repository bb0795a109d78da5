// The track rows as CSV with a header row, or as JSON Lines.
#pragma once

#include "options.h"
#include "track_book.h"

#include <memory>
#include <ostream>
#include <vector>

namespace morvane::track {

class TrackWriter {
public:
    virtual ~TrackWriter() = default;
    virtual void write(const std::vector<TrackRow> &rows) = 0;
};

// Writes to out, which must outlive the writer; CSV writes its header now.
std::unique_ptr<TrackWriter> make_writer(OutputFormat format, std::ostream &out);

} // namespace morvane::track
