// SmallFile.h -- the one way the game reads a small file of the player's (the
// score table, the settings) whole.
//
// Only a plain file is read. Anything else of that name -- a named pipe, a
// device -- could keep the open or a read waiting for ever before the first
// frame, so it is refused without waiting: the file is opened non-blocking
// and looked at before a byte is read.
#pragma once

#include <cstddef>
#include <string>

// What ReadSmallFile returns for a name that is neither a plain file nor a
// folder; every other failure is an errno value.
inline constexpr int kNotAPlainFile = -1;

// Replaces *bytes with the file's first bytes, at most limit of them (pass
// one more than the largest size expected to tell a file that is too long).
// 0 on success; ENOENT and the like from the open, EISDIR for a folder,
// kNotAPlainFile for a pipe or a device, errno from a read (*bytes then
// holds what came before it).
int ReadSmallFile(const std::string& path, size_t limit, std::string* bytes);

// The reason ReadSmallFile gave, in words: strerror's, or "not a plain file".
const char* SmallFileError(int error);
