// dib_writer.h -- writes the generators' pictures in the form the game carries
// them: an uncompressed device-independent bitmap without a file header (a
// 40-byte BITMAPINFOHEADER, the colour table, rows bottom-up padded to 4
// bytes), at 4 or 8 bits per pixel.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct DibColour {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
};

// A palette picture: width x height colour indices, row 0 on top.
struct DibPicture {
    int32_t width = 0;
    int32_t height = 0;
    int bitsPerPixel = 8;            // 4 or 8
    std::vector<DibColour> palette;  // 16 or 256 entries
    std::vector<uint8_t> pixels;     // width * height indices into the palette
};

inline constexpr uint32_t kDibHeaderSize = 40;

static inline void dibPut16(std::vector<uint8_t>& out, uint32_t v)
{
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

static inline void dibPut32(std::vector<uint8_t>& out, uint32_t v)
{
    dibPut16(out, v & 0xFFFF);
    dibPut16(out, v >> 16);
}

static inline uint32_t dibRowBytes(int32_t width, int bitsPerPixel)
{
    uint32_t bits = static_cast<uint32_t>(width) * static_cast<uint32_t>(bitsPerPixel);
    return ((bits + 31) / 32) * 4;
}

// The bitmap's bytes; empty when the picture is not a well-formed 4- or
// 8-bit picture (wrong palette size, an index beyond the palette, ...).
static inline std::vector<uint8_t> DibEncode(const DibPicture& picture)
{
    const int bpp = picture.bitsPerPixel;
    const size_t colours = bpp == 4 ? 16 : 256;
    if ((bpp != 4 && bpp != 8) || picture.width <= 0 || picture.height <= 0 || picture.palette.size() != colours ||
        picture.pixels.size() != static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height))
        return {};
    for (uint8_t index : picture.pixels)
        if (index >= colours)
            return {};

    const uint32_t rowBytes = dibRowBytes(picture.width, bpp);
    const uint32_t imageBytes = rowBytes * static_cast<uint32_t>(picture.height);
    std::vector<uint8_t> out;
    out.reserve(kDibHeaderSize + colours * 4 + imageBytes);

    dibPut32(out, kDibHeaderSize);
    dibPut32(out, static_cast<uint32_t>(picture.width));
    dibPut32(out, static_cast<uint32_t>(picture.height));  // positive: bottom-up
    dibPut16(out, 1);                                      // planes
    dibPut16(out, static_cast<uint32_t>(bpp));
    dibPut32(out, 0);  // BI_RGB, uncompressed
    dibPut32(out, imageBytes);
    dibPut32(out, 2835);  // 72 dots per inch
    dibPut32(out, 2835);
    dibPut32(out, static_cast<uint32_t>(colours));  // colours used
    dibPut32(out, 0);                               // all of them important

    for (const DibColour& c : picture.palette) {
        out.push_back(c.blue);
        out.push_back(c.green);
        out.push_back(c.red);
        out.push_back(0);
    }

    for (int32_t y = picture.height - 1; y >= 0; --y) {
        const uint8_t* row = &picture.pixels[static_cast<size_t>(y) * static_cast<size_t>(picture.width)];
        std::vector<uint8_t> packed(rowBytes, 0);
        for (int32_t x = 0; x < picture.width; ++x) {
            if (bpp == 8)
                packed[static_cast<size_t>(x)] = row[x];
            else if (x % 2 == 0)
                packed[static_cast<size_t>(x / 2)] = static_cast<uint8_t>(row[x] << 4);  // high nibble first
            else
                packed[static_cast<size_t>(x / 2)] |= row[x];
        }
        out.insert(out.end(), packed.begin(), packed.end());
    }
    return out;
}

// Writes `bytes` as <dir>/<file>; reports and returns false on any failure.
static inline bool WriteResourceFile(const std::string& dir, const char* file, const std::vector<uint8_t>& bytes)
{
    const std::string path = dir + "/" + file;
    if (bytes.empty()) {
        std::fprintf(stderr, "%s: nothing to write\n", path.c_str());
        return false;
    }
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) {
        std::perror(path.c_str());
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    const bool closed = std::fclose(f) == 0;
    if (!written || !closed) {
        std::fprintf(stderr, "%s: write failed\n", path.c_str());
        std::remove(path.c_str());
        return false;
    }
    return true;
}

// Writes a picture as <dir>/<file>; the generators' common last step.
static inline bool WriteDibFile(const std::string& dir, const char* file, const DibPicture& picture)
{
    std::vector<uint8_t> bytes = DibEncode(picture);
    if (bytes.empty()) {
        std::fprintf(stderr, "%s: malformed picture\n", file);
        return false;
    }
    return WriteResourceFile(dir, file, bytes);
}
