// Scaling.h -- where the picture goes on the screen and how it is enlarged
// to get there.
//
// Two ways to fit the picture: whole pixels (the largest whole factor that
// fits, every picture pixel an exact k x k block) or sharp fill (the largest
// box of the picture's shape). Sharp fill looks as if the picture were first
// enlarged by the smallest whole factor at least as large as the final
// scale, nearest neighbour, and that then drawn to the box with linear
// filtering: inside every picture pixel the colour is exactly the pixel's,
// and only a seam under one screen pixel wide between two picture pixels
// mixes them. A picture larger than the screen is shrunk into it either way.
//
// The enlargement is done here on the CPU, straight to the final size, and
// only for the rows of the picture that changed since the previous frame:
// the screen then just copies it 1:1. (A render target a whole multiple of
// the picture costs far more in a software GL, and a flying ball touches a
// few dozen rows of 480.)
#pragma once

#include <cstdint>
#include <vector>

struct PictureBox {
    int32_t x = 0;
    int32_t y = 0;
    int32_t w = 0;
    int32_t h = 0;
    bool operator==(const PictureBox&) const = default;
};

// The box of an outWidth x outHeight output the picture is shown in, centred.
PictureBox PictureBoxOn(int32_t outWidth, int32_t outHeight, int32_t width, int32_t height, bool whole);

// The picture pixel under output pixel (x, y), or the nearest one past the
// box's edge (so it can lie outside the picture).
void PictureBoxPoint(const PictureBox& box, int32_t width, int32_t height, double x, double y, int32_t* px,
                     int32_t* py);

// One output row or column: the picture row or column it shows, and the
// weight (of 256) of the next one mixed in.
struct ScaleTap {
    int32_t first;
    int32_t next;
    uint32_t weight;
};

struct Enlarger {
    PictureBox box;
    int32_t width = 0;  // the picture's size
    int32_t height = 0;
    std::vector<ScaleTap> columns;
    std::vector<ScaleTap> rows;
    std::vector<uint32_t> previous;  // the picture as last looked at
    std::vector<uint32_t> mixed;     // one row's scratch
    std::vector<uint8_t> changed;    // per picture row
};

// Prepares for a width x height picture shown in box; smooth false samples
// the nearest picture pixel only. The next look finds every row changed.
void EnlargerSetup(Enlarger* e, const PictureBox& box, int32_t width, int32_t height, bool smooth);

// Finds the rows of the picture that changed since the previous look (all
// of them when all is set, or after a setup). Returns how many output rows
// from *firstRow on must be drawn again; 0 when none.
int32_t EnlargerChanged(Enlarger* e, const uint32_t* picture, int32_t pitch, bool all, int32_t* firstRow);

// Draws output rows firstRow .. firstRow + rows - 1 of the enlarged picture
// into out (the first of them; outPitch in pixels).
void EnlargerDraw(Enlarger* e, const uint32_t* picture, int32_t pitch, int32_t firstRow, int32_t rows, uint32_t* out,
                  int32_t outPitch);
