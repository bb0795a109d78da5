#include "bitmap_files.h"

namespace trackdemo::testing {
namespace {

void put(Bytes &out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

} // namespace

Bytes bitmap_file(const BitmapHeader &header, const Bytes &pixel_data)
{
    const bool core = header.info_size == 12;
    Bytes info;
    put(info, header.info_size, 4);
    put(info, static_cast<std::uint32_t>(header.width), core ? 2 : 4);
    put(info, static_cast<std::uint32_t>(header.height), core ? 2 : 4);
    put(info, 1, 2); // planes
    put(info, header.bits, 2);
    if (!core) {
        for (const std::size_t value : {std::size_t{header.compression}, pixel_data.size(), std::size_t{2835},
                                        std::size_t{2835}, header.palette.size(), std::size_t{0}})
            put(info, static_cast<std::uint32_t>(value), 4);
        // Versions 4 and 5 of the header carry the masks inside it; the rest is zero.
        for (std::size_t i = 0; info.size() < header.info_size; ++i)
            put(info, i < header.masks.size() ? header.masks[i] : 0, 4);
    }
    if (header.info_size == 40) {
        for (const auto mask : header.masks)
            put(info, mask, 4);
    }
    for (const auto colour : header.palette)
        put(info, colour, core ? 3 : 4);
    const auto offset = static_cast<std::uint32_t>(14 + info.size());
    Bytes file = {'B', 'M'};
    put(file, offset + static_cast<std::uint32_t>(pixel_data.size()), 4);
    put(file, 0, 4);
    put(file, offset, 4);
    file.insert(file.end(), info.begin(), info.end());
    file.insert(file.end(), pixel_data.begin(), pixel_data.end());
    return file;
}

std::vector<std::uint32_t> grey_palette(int entries)
{
    std::vector<std::uint32_t> palette;
    for (int i = 0; i < entries; ++i) {
        const auto level = static_cast<std::uint32_t>(entries == 1 ? 0 : i * 255 / (entries - 1));
        palette.push_back(level * 0x010101u);
    }
    return palette;
}

Bytes pack_rows(int width, int height, int bits, bool top_down, const std::function<std::uint32_t(int, int)> &value)
{
    const std::size_t row_bytes = (static_cast<std::size_t>(width) * static_cast<std::size_t>(bits) + 31) / 32 * 4;
    Bytes data;
    for (int stored = 0; stored < height; ++stored) {
        Bytes row(row_bytes, 0);
        for (int x = 0; x < width; ++x) {
            const std::uint32_t v = value(x, top_down ? stored : height - 1 - stored);
            const std::size_t bit = static_cast<std::size_t>(x) * static_cast<std::size_t>(bits);
            if (bits < 8) // the leftmost pixel in the highest bits
                row[bit / 8] = static_cast<std::uint8_t>(row[bit / 8] | v << (8 - bits - bit % 8));
            for (std::size_t i = 0; bits >= 8 && i < static_cast<std::size_t>(bits / 8); ++i)
                row[bit / 8 + i] = static_cast<std::uint8_t>(v >> (8 * i));
        }
        data.insert(data.end(), row.begin(), row.end());
    }
    return data;
}

} // namespace trackdemo::testing
