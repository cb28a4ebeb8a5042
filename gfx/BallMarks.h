// BallMarks.h -- the colour marks: a shape of its own on each ball colour, so
// that the colours are told apart without seeing colour.
//
// Each of the eight colours has its mark, centred on the ball's centre pixel:
// 1 a dot, 2 a ring, 3 a diagonal cross, 4 a bar, 5 a triangle pointing down,
// 6 a hollow square, 7 an upright cross, 8 a star. The mark is drawn in a
// tone that stands out from its own ball: the plain ball's shaded grey (light)
// on the dark colours, a near-black on the light ones. The near-black is never
// 0, so a keyed copy never shows the board through a mark.
#pragma once

#include "gfx/Image.h"

// 1 when the mark of colour k (1..8) covers the pixel (dx, dy) away from the
// ball's centre pixel; 0 elsewhere and for any other k.
int BallMarkCovers(int32_t k, int32_t dx, int32_t dy);

// 1 when colour k's mark is light (its ball is dark), 0 when it is dark.
int BallMarkIsLight(int32_t k);

// Paints colour k's mark over the ballImage-sized ball at (x, 0) of picture,
// shaded from ballImage. Pixels outside the plain ball's disc stay as they are.
void MarkBall(Image* picture, int32_t x, int32_t k);
