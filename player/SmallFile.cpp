// SmallFile.cpp -- whole small files read without ever waiting on a pipe.
#include "player/SmallFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

// The reads never wait: a plain file has no use for O_NONBLOCK, and nothing
// else gets past the check. 0 and *fd open, or the error.
static int openPlainFile(const std::string& path, int* fd)
{
    *fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (*fd < 0)
        return errno;
    struct stat status;
    int error = 0;
    if (fstat(*fd, &status) != 0)
        error = errno;
    else if (S_ISDIR(status.st_mode))
        error = EISDIR;
    else if (!S_ISREG(status.st_mode))
        error = kNotAPlainFile;
    if (error != 0)
        close(*fd);
    return error;
}

int ReadSmallFile(const std::string& path, size_t limit, std::string* bytes)
{
    bytes->clear();
    int fd = -1;
    int error = openPlainFile(path, &fd);
    if (error != 0)
        return error;
    char buffer[4096];
    while (bytes->size() < limit) {
        const size_t want = limit - bytes->size() < sizeof buffer ? limit - bytes->size() : sizeof buffer;
        const ssize_t got = read(fd, buffer, want);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            error = got < 0 ? errno : 0;
            break;
        }
        bytes->append(buffer, size_t(got));
    }
    close(fd);
    return error;
}

const char* SmallFileError(int error)
{
    return error == kNotAPlainFile ? "not a plain file" : std::strerror(error);
}
