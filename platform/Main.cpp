// Main.cpp -- program entry.
#include <cstdio>

#include "resources/Resources.h"

int main()
{
    std::fprintf(stderr, "Kelvane: %d resources built in; no display yet.\n", kResourceCount);
    return 1;
}
