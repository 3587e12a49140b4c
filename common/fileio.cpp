#include "fileio.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include "runerror.h"

int CreateFileOrStop(const std::string &name)
{
    const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        RunErrorFromErrno(errno);
    return fd;
}

void WriteOrStop(int fd, const void *bytes, std::size_t length)
{
    const char *next = static_cast<const char *>(bytes);
    while (length > 0) {
        const ssize_t done = write(fd, next, length);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            RunErrorFromErrno(done < 0 ? errno : ENOSPC);
        next += done;
        length -= static_cast<std::size_t>(done);
    }
}

void CloseOrStop(int fd)
{
    if (close(fd) != 0)
        RunErrorFromErrno(errno);
}
