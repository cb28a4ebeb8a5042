// DataDir.h -- where the score table and the screenshot are kept, and the one
// safe way files are replaced there. They are kept beside the
// executable for a copy run from a folder of its own, in the player's data
// folder for an installed game.
//
// An executable whose folder is named "games" or "bin" (as `make install`
// and the package put it) is an installed game. It never writes beside
// itself, whoever runs it, root included: its files go to
// $XDG_DATA_HOME/kelvane/ (an empty or relative XDG_DATA_HOME counts as
// unset), by default $HOME/.local/share/kelvane/, made on first need. Any
// other copy keeps its files in the working directory, which the program
// makes its own folder at start.
#pragma once

#include <string>

// Decides where this run keeps its files, from the executable's full path and
// the environment. Until it is called every file is a plain name in the
// working directory (the tools and the tests rely on that).
void DataDirStart(const char* executablePath);

// The game's folder of one kind for this player, by the XDG rules, ending in
// "kelvane/": under $variable when it is set and absolute (empty or relative
// counts as unset), else under $HOME/underHome; "" when neither will do.
std::string XdgFolder(const char* variable, const char* underHome);

// The path of the named file in this run's folder: the bare name for a copy
// run from its own folder, "" when the game has nowhere to keep files (an
// installed game with neither XDG_DATA_HOME nor HOME set).
std::string DataPath(const char* name);

// Makes every missing folder of a path that ends in "/", private to the
// player (0700). 1, or 0 with errno set on the first one that fails.
int MakeFolders(const std::string& folder);

// Replaces the file at path with size bytes in one step: they are written to
// tempPath (beside it), flushed to the disk and renamed over path, and the
// folder is flushed so that the rename lasts. A crash leaves the old file or
// the new one, whole; on failure the temporary file is removed, the old file
// is left as it was and errno's value is returned. 0 on success.
int ReplaceFile(const std::string& path, const std::string& tempPath, const void* bytes, size_t size);

// 1 when files can be written to the folder: for an installed game it is
// made here, with its parents, on the first call. 0 when it cannot be made
// or there is none; the first such call says so in one line on stderr.
int DataFolderReady();
