#include "runerror.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <execinfo.h>
#include <dlfcn.h>
#include <new>
#include <stdexcept>
#include <system_error>
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

// The program named in the report of an exception that reaches std::terminate.
const char *uncaughtProgram = "program";

[[noreturn]] void EndByInternalFailure(const char *program, const char *what)
{
    fprintf(stderr, "%s: internal failure: %s\n", program, what);
    fflush(stderr);
    RunExitHooks();
    fflush(stdout);
    _exit(InternalFailureStatus);
}

bool IsErrorNumber(const std::error_code &code)
{
    return code.category() == std::generic_category() || code.category() == std::system_category();
}

[[noreturn]] void EndOnTerminate()
{
    if (std::exception_ptr exception = std::current_exception()) {
        try {
            std::rethrow_exception(exception);
        } catch (...) {
            StopOnException(uncaughtProgram);
        }
    }
    EndByInternalFailure(uncaughtProgram, "ended without an exception to tell");
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

void StopOnException(const char *program)
{
    try {
        throw;
    } catch (const std::bad_alloc &) {
        RunError(RunErrorOutOfMemory);
    } catch (const std::length_error &) {
        RunError(RunErrorOutOfMemory);
    } catch (const std::system_error &e) {
        if (IsErrorNumber(e.code()) && e.code().value() != 0)
            RunErrorFromErrno(e.code().value());
        EndByInternalFailure(program, e.what());
    } catch (const std::exception &e) {
        EndByInternalFailure(program, e.what());
    } catch (...) {
        EndByInternalFailure(program, "an exception of unknown type");
    }
}

void StopOnUncaughtExceptions(const char *program)
{
    uncaughtProgram = program;
    std::set_terminate(EndOnTerminate);
}
