#include "output.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "runerror.h"

namespace {

[[noreturn]] void StopOnFailedOutput(int errnum)
{
    std::fprintf(stderr, "%s: write error on standard output: %s\n", program_invocation_short_name,
                 std::strerror(errnum));
    std::fflush(stderr);
    RunErrorFromErrno(errnum);
}

} // namespace

void WriteText(const std::string &text)
{
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0) {
        const int errnum = errno != 0 ? errno : EIO;
        std::clearerr(stdout);
        StopOnFailedOutput(errnum);
    }
}

void WriteLine(const std::string &text) { WriteText(text + "\n"); }

void PrepareStandardStreams()
{
    // Standard input is only read, the two outputs only written: the
    // opposite mode makes every use fail with EBADF, as when closed.
    const int oppositeMode[3] = {O_WRONLY, O_RDONLY, O_RDONLY};
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        const int opened = open("/dev/null", oppositeMode[fd]);
        if (opened >= 0 && opened != fd) {
            dup2(opened, fd);
            close(opened);
        }
    }
    signal(SIGPIPE, SIG_IGN);
    signal(SIGXFSZ, SIG_IGN);
}
