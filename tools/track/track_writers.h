// The track rows as CSV with a header row, or as JSON Lines.
#pragma once

#include "options.h"
#include <morvane_track.h>

#include <memory>
#include <ostream>
#include <string>

namespace morvane::track {

class TrackWriter {
public:
    virtual ~TrackWriter() = default;
    // Writes and flushes the rows; false and the system's reason on failure.
    virtual bool write(const morvane_track_row *rows, std::size_t count, std::string &error) = 0;
};

// Writes to out, which must outlive the writer; CSV writes its header now.
std::unique_ptr<TrackWriter> make_writer(OutputFormat format, std::ostream &out);

} // namespace morvane::track
