// SineTable.h -- the integer sine of every Angle, shared by the shot's flight
// and the cannon's rotated drawing.
//
// An Angle is quarter-degrees 0..1439, 0 straight up, growing clockwise.
// Entry i is sin(i quarter-degrees) x 256 truncated toward zero, so entries
// lie in -256..256; the cosine of a is entry (a + 360) % 1440.
#pragma once

#include <cstdint>

inline constexpr int kSineTableSize = 1440;  // quarter-degrees in a full turn
inline constexpr int kQuarterTurn = 360;     // cosine offset into the table

extern int16_t SineTable[kSineTableSize];  // all zero until BuildSineTable

// Fills the SineTable; called once at start-up before the first frame.
void BuildSineTable();
