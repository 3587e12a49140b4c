#include "runerror.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <execinfo.h>
#include <dlfcn.h>
#include <unistd.h>

namespace {

const int MaxExitHooks = 16;
void (*exitHooks[MaxExitHooks])();
int exitHookCount = 0;

// A return address as an offset inside the object that holds it (the
// executable, or a shared library), so that addr2line resolves it.  One is
// taken off because a return address points after its call.
unsigned long PlaceOf(void *returnAddress)
{
    const uintptr_t at = reinterpret_cast<uintptr_t>(returnAddress) - 1;
    Dl_info info;
    uintptr_t base = 0;
    if (dladdr(reinterpret_cast<void *>(at), &info) != 0)
        base = reinterpret_cast<uintptr_t>(info.dli_fbase);
    return static_cast<unsigned long>((at - base) & 0xFFFFFFFFu);
}

void WriteAll(const char *text, size_t length)
{
    fflush(stdout);
    while (length > 0) {
        const ssize_t written = write(1, text, length);
        if (written <= 0 && errno != EINTR)
            return;
        if (written > 0) {
            text += written;
            length -= static_cast<size_t>(written);
        }
    }
}

void RunExitHooks()
{
    while (exitHookCount > 0) {
        void (*hook)() = exitHooks[--exitHookCount];
        hook();
    }
}

} // namespace

int RunErrorCodeOf(int errnum)
{
    switch (errnum) {
    case ENOENT:
        return RunErrorFileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
        return RunErrorPathNotFound;
    case EMFILE:
    case ENFILE:
        return RunErrorTooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EEXIST:
    case EROFS:
    case EISDIR:
        return RunErrorAccessDenied;
    case EBADF:
        return RunErrorInvalidHandle;
    case ETXTBSY:
        return RunErrorTextFileBusy;
    case ENOMEM:
    case EFAULT:
        return RunErrorOutOfMemory;
    case EINVAL:
        return RunErrorInvalidArgument;
    default: // EINTR, EIO, EAGAIN, ENOSPC, EPIPE and the rest
        return RunErrorReadWriteFault;
    }
}

void RunError(int code)
{
    void *frames[260];
    const int depth = backtrace(frames, 260);
    // The place of the failure is the return address into the caller; the
    // frames before it belong to this function (and, in a sanitizer build,
    // to the interceptor of backtrace).
    void *const place = __builtin_return_address(0);
    int first = 1;
    for (int i = 0; i < depth && i < 3; ++i)
        if (frames[i] == place) {
            first = i;
            break;
        }
    char report[256 * 16 + 64];
    int length = 0;
    length += snprintf(report + length, sizeof report - length, "Runtime error %d at 0x%08lX\n", code,
                       PlaceOf(place));
    for (int i = first; i < depth && i < first + 256; ++i)
        length += snprintf(report + length, sizeof report - length, "  0x%08lX\n", PlaceOf(frames[i]));
    length += snprintf(report + length, sizeof report - length, "\n");
    WriteAll(report, static_cast<size_t>(length));
    RunExitHooks();
    fflush(stdout);
    _exit(code);
}

void RunErrorFromErrno(int errnum) { RunError(RunErrorCodeOf(errnum)); }

void AddExitHook(void (*hook)())
{
    if (exitHookCount < MaxExitHooks)
        exitHooks[exitHookCount++] = hook;
}

void EndProgram(int status)
{
    RunExitHooks();
    fflush(stdout);
    exit(status);
}
