// DataDir.cpp -- the folder the game's files are kept in, chosen once at
// start and made when the first file is written.
#include "platform/DataDir.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// "" for the working directory; otherwise an absolute path ending in '/'.
static std::string dataFolder;
// An installed game with no data folder at all (HOME unset).
static bool noFolder = false;
// The one line on stderr has been written.
static bool warned = false;

// A variable that is set, not empty and absolute; an empty or relative one
// counts as unset, so nothing ends up relative to the working directory.
static const char* absoluteVariable(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr && value[0] == '/' ? value : nullptr;
}

// The last folder name in the executable's path: "games" in /usr/games/kelvane.
static std::string folderName(const char* path)
{
    const std::string full = path != nullptr ? path : "";
    const size_t slash = full.rfind('/');
    if (slash == std::string::npos || slash == 0) {
        return "";
    }
    const size_t start = full.rfind('/', slash - 1);
    return full.substr(start + 1, slash - start - 1);
}

void DataDirStart(const char* executablePath)
{
    dataFolder.clear();
    noFolder = false;
    warned = false;
    const std::string folder = folderName(executablePath);
    if (folder != "games" && folder != "bin") {
        return;
    }
    dataFolder = XdgFolder("XDG_DATA_HOME", ".local/share");
    noFolder = dataFolder.empty();
}

std::string XdgFolder(const char* variable, const char* underHome)
{
    if (const char* base = absoluteVariable(variable)) {
        return std::string(base) + "/kelvane/";
    }
    if (const char* home = absoluteVariable("HOME")) {
        return std::string(home) + "/" + underHome + "/kelvane/";
    }
    return "";
}

std::string DataPath(const char* name)
{
    return noFolder ? std::string() : dataFolder + name;
}

std::string DataFolder()
{
    return dataFolder.empty() ? std::string(".") : dataFolder;
}

// Makes every missing folder along the path, private to the player as the
// XDG rules ask. Returns 0 with errno set on the first one that fails.
static int makeFolders(const std::string& path)
{
    for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        struct stat status;
        if (stat(part.c_str(), &status) == 0) {
            if (!S_ISDIR(status.st_mode)) {
                errno = ENOTDIR;
                return 0;
            }
            continue;
        }
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            return 0;
        }
    }
    return 1;
}

int DataFolderReady()
{
    // Made again if need be at every save: the player may remove the
    // folder while the game runs.
    if (dataFolder.empty() && !noFolder) {
        return 1;
    }
    if (!noFolder && makeFolders(dataFolder)) {
        return 1;
    }
    if (!warned) {
        warned = true;
        if (noFolder) {
            std::fprintf(stderr, "kelvane: nowhere to save scores or screenshots: neither XDG_DATA_HOME nor HOME is set\n");
        } else {
            std::fprintf(stderr, "kelvane: cannot save scores or screenshots in %s: %s\n", dataFolder.c_str(),
                         std::strerror(errno));
        }
    }
    return 0;
}
