// DataDir.cpp -- the folder the game's files are kept in, chosen once at
// start and made when the first file is written.
#include "player/DataDir.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

int MakeFolders(const std::string& path)
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
    if (!noFolder && MakeFolders(dataFolder)) {
        return 1;
    }
    if (!warned) {
        warned = true;
        if (noFolder) {
            std::fprintf(stderr,
                         "kelvane: nowhere to save scores or screenshots: neither XDG_DATA_HOME nor HOME is set\n");
        } else {
            std::fprintf(stderr, "kelvane: cannot save scores or screenshots in %s: %s\n", dataFolder.c_str(),
                         std::strerror(errno));
        }
    }
    return 0;
}

static int writeAll(int fd, const char* bytes, size_t size)
{
    while (size > 0) {
        const ssize_t done = write(fd, bytes, size);
        if (done < 0 && errno == EINTR) {
            continue;
        }
        if (done <= 0) {
            return done < 0 ? errno : EIO;
        }
        bytes += done;
        size -= size_t(done);
    }
    return 0;
}

int ReplaceFile(const std::string& path, const std::string& tempPath, const void* bytes, size_t size)
{
    const int fd = open(tempPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
        return errno;
    }
    int error = writeAll(fd, static_cast<const char*>(bytes), size);
    if (error == 0 && fsync(fd) != 0) {
        error = errno;
    }
    if (close(fd) != 0 && error == 0) {
        error = errno;
    }
    if (error == 0 && std::rename(tempPath.c_str(), path.c_str()) != 0) {
        error = errno;
    }
    if (error != 0) {
        unlink(tempPath.c_str());
        return error;
    }
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
    const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
    return 0;
}
