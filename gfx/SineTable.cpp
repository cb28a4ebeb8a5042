// SineTable.cpp -- the integer sine table.
#include "gfx/SineTable.h"

#include <cmath>

int16_t SineTable[kSineTableSize];

// The table was fixed with this value of pi; the true value would move
// entries 600 and 840 by one, and the flight paths with them.
static constexpr double kTablePi = 3.1415926535;
static constexpr double kUnit = 256.0;  // sine 1.0 in table units

void BuildSineTable()
{
    for (int i = 0; i < kSineTableSize; ++i) {
        double x = (i * kTablePi + i * kTablePi) / kSineTableSize;
        // Conversion to an integer truncates toward zero, as the table wants
        // (rounding would change about half of the entries).
        SineTable[i] = static_cast<int16_t>(std::sin(x) * kUnit);
    }
}
