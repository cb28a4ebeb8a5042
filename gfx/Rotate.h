// Rotate.h -- turned and scaled drawing: the cannon picture follows the aim.
//
// Angles are quarter-degrees (1440 to the turn, positive turns clockwise on
// the screen); scales are 1024ths (1024 = 1.0). Both read the SineTable, which
// must have been built (BuildSineTable) before.
#pragma once

#include <cstdint>

struct Image;

inline constexpr int kRotateMaxRows = 500;  // tallest source ImageRotate takes
inline constexpr int16_t kScaleOne = 1024;  // scale 1.0

// Pixel offset of each source row, rebuilt by every ImageRotate for the
// source at hand (row i starts at pixel i x pitch).
extern uint32_t RowOffsetTable[kRotateMaxRows];

// Turns (x, y) about (cx, cy) by angle and scales its distance from the
// centre; the results are stored back as signed 16-bit values.
void RotatePoint(int16_t* x, int16_t* y, int16_t cx, int16_t cy, int16_t angle, int16_t scale);

// Draws source turned by angle about its centre and scaled into target, which
// must be a different Image of the same size at most kRotateMaxRows high
// (otherwise nothing happens). Only the target pixels the turned picture
// covers are written, each with an unchanged source pixel (0 included).
void ImageRotate(Image* source, Image* target, int16_t angle, int16_t scale);

// The same turned picture copied keyed to (dx, dy) of destination, clipped
// to it, in one pass: the result of ImageClear of a scratch Image of the
// source's size, ImageRotate into it and ImageBlitKeyed of it, without the
// scratch. Nothing happens where ImageRotate would refuse, or when the two
// share their pixels.
void ImageRotateKeyed(Image* source, Image* destination, int32_t dx, int32_t dy, int16_t angle, int16_t scale);
