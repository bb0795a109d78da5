#include "bitmap_files.h"

#include <fstream>

namespace trackdemo::testing {

namespace {

void put16(Bytes &out, std::uint32_t value)
{
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
}

void put32(Bytes &out, std::uint32_t value)
{
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

} // namespace

Bytes bitmap_file(const BitmapHeader &header, const Bytes &pixel_data)
{
    Bytes info;
    put32(info, header.info_size);
    if (header.info_size == 12) {
        put16(info, static_cast<std::uint32_t>(header.width));
        put16(info, static_cast<std::uint32_t>(header.height));
        put16(info, header.planes);
        put16(info, header.bits);
    } else {
        put32(info, static_cast<std::uint32_t>(header.width));
        put32(info, static_cast<std::uint32_t>(header.height));
        put16(info, header.planes);
        put16(info, header.bits);
        put32(info, header.compression);
        put32(info, static_cast<std::uint32_t>(pixel_data.size()));
        put32(info, 2835);
        put32(info, 2835);
        put32(info, static_cast<std::uint32_t>(header.palette.size()));
        put32(info, 0);
        // Versions 4 and 5 of the header carry the masks inside it; the rest is zero.
        for (std::size_t i = 0; info.size() < header.info_size; ++i) {
            if (i < header.masks.size())
                put32(info, header.masks[i]);
            else
                info.push_back(0);
        }
    }
    Bytes extra;
    if (header.info_size == 40) {
        for (const auto mask : header.masks)
            put32(extra, mask);
    }
    for (const auto colour : header.palette) {
        extra.push_back(static_cast<std::uint8_t>(colour & 0xFF));
        extra.push_back(static_cast<std::uint8_t>((colour >> 8) & 0xFF));
        extra.push_back(static_cast<std::uint8_t>((colour >> 16) & 0xFF));
        if (header.info_size != 12)
            extra.push_back(0);
    }
    const auto offset = static_cast<std::uint32_t>(14 + info.size() + extra.size());
    Bytes file = {'B', 'M'};
    put32(file, offset + static_cast<std::uint32_t>(pixel_data.size()));
    put32(file, 0);
    put32(file, offset);
    file.insert(file.end(), info.begin(), info.end());
    file.insert(file.end(), extra.begin(), extra.end());
    file.insert(file.end(), pixel_data.begin(), pixel_data.end());
    return file;
}

std::size_t pixel_data_offset(const Bytes &file)
{
    return std::size_t{file[10]} | (std::size_t{file[11]} << 8) | (std::size_t{file[12]} << 16) |
           (std::size_t{file[13]} << 24);
}

std::vector<std::uint32_t> grey_palette(int entries)
{
    std::vector<std::uint32_t> palette;
    for (int i = 0; i < entries; ++i) {
        const auto level = static_cast<std::uint32_t>(entries == 1 ? 0 : i * 255 / (entries - 1));
        palette.push_back(level << 16 | level << 8 | level);
    }
    return palette;
}

Bytes pack_rows(int width, int height, int bits, bool top_down, const std::function<std::uint32_t(int, int)> &value)
{
    const std::size_t row_bytes = (static_cast<std::size_t>(width) * static_cast<std::size_t>(bits) + 31) / 32 * 4;
    Bytes data;
    for (int stored = 0; stored < height; ++stored) {
        const int y = top_down ? stored : height - 1 - stored;
        Bytes row(row_bytes, 0);
        for (int x = 0; x < width; ++x) {
            const std::uint32_t v = value(x, y);
            const auto ux = static_cast<std::size_t>(x);
            switch (bits) {
            case 1:
                row[ux / 8] = static_cast<std::uint8_t>(row[ux / 8] | ((v & 1u) << (7 - ux % 8)));
                break;
            case 4:
                row[ux / 2] = static_cast<std::uint8_t>(row[ux / 2] | ((v & 0xFu) << (ux % 2 == 0 ? 4 : 0)));
                break;
            case 8:
                row[ux] = static_cast<std::uint8_t>(v);
                break;
            case 16:
                row[2 * ux] = static_cast<std::uint8_t>(v & 0xFF);
                row[2 * ux + 1] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
                break;
            default: { // 24 or 32: blue, green, red (, unused)
                const std::size_t at = ux * static_cast<std::size_t>(bits / 8);
                row[at] = static_cast<std::uint8_t>(v & 0xFF);
                row[at + 1] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
                row[at + 2] = static_cast<std::uint8_t>((v >> 16) & 0xFF);
                if (bits == 32)
                    row[at + 3] = static_cast<std::uint8_t>(v >> 24);
                break;
            }
            }
        }
        data.insert(data.end(), row.begin(), row.end());
    }
    return data;
}

Bytes encode_run_lengths(int width, int height, int bits, const std::function<std::uint32_t(int, int)> &index)
{
    Bytes data;
    for (int y = height - 1; y >= 0; --y) {
        int x = 0;
        while (x < width) {
            int same = 1;
            while (x + same < width && same < 255 && index(x + same, y) == index(x, y))
                ++same;
            if (same >= 3 || width - x < 3) {
                // A repeated run (short leftovers too, as runs of one value each).
                const int count = same >= 3 ? same : 1;
                const auto v = static_cast<std::uint8_t>(index(x, y));
                data.push_back(static_cast<std::uint8_t>(count));
                data.push_back(bits == 4 ? static_cast<std::uint8_t>(v << 4 | v) : v);
                x += count;
                continue;
            }
            // A literal run up to the next repetition, at least three pixels long.
            int count = 3;
            while (x + count < width && count < 254 && !(x + count + 2 < width && index(x + count, y) == index(x + count + 1, y) &&
                                                           index(x + count, y) == index(x + count + 2, y)))
                ++count;
            data.push_back(0);
            data.push_back(static_cast<std::uint8_t>(count));
            Bytes literal;
            for (int i = 0; i < count; ++i) {
                const auto v = static_cast<std::uint8_t>(index(x + i, y));
                if (bits == 8)
                    literal.push_back(v);
                else if (i % 2 == 0)
                    literal.push_back(static_cast<std::uint8_t>(v << 4));
                else
                    literal.back() = static_cast<std::uint8_t>(literal.back() | v);
            }
            if (literal.size() % 2 != 0)
                literal.push_back(0);
            data.insert(data.end(), literal.begin(), literal.end());
            x += count;
        }
        data.push_back(0);
        data.push_back(0); // end of line
    }
    data.back() = 1; // the last line's end becomes the end of the bitmap
    return data;
}

void write_file(const std::string &path, const Bytes &bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

} // namespace trackdemo::testing
