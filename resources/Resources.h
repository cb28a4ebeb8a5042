// Resources.h -- the pictures, font and sounds carried inside the executable.
//
// The table is generated at build time (tools/embed) from the outputs of the
// generators in tools/. Names and types are matched without regard to case,
// so "ShootSound" finds SHOOTSOUND.
#pragma once

#include <cstddef>

struct ResourceEntry {
    const char* name;            // "MyBallBitmap", "ShootSound", ...
    const char* type;            // kResourceBitmap or kResourceRaw
    const unsigned char* bytes;  // owned by the executable image
    size_t size;                 // in bytes
};

inline constexpr const char* kResourceBitmap = "BITMAP";
inline constexpr const char* kResourceRaw = "RAW";

// The entry named `name` of type `type`, or nullptr when there is none (or
// either argument is null).
const ResourceEntry* ResourceFind(const char* name, const char* type);

// The generated table, ended by an entry whose name is null.
extern const ResourceEntry kResourceTable[];
extern const int kResourceCount;
