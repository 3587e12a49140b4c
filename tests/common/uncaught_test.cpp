// An exception that nothing else catches ends a program as a failure with
// a status of its own, never by an abort: memory that runs out as
// run-time error 217, a failed system call as the run-time error of its
// error number, anything else as an internal failure told on standard
// error; the exit hooks run either way.  Thrown at the top of main, from a
// thread and through a function that may not throw.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "runerror.h"

namespace {

void Hook() { std::fputs("hook ran\n", stderr); }

[[noreturn]] void Throw(int kind)
{
    switch (kind) {
    case 0:
        throw std::bad_alloc();
    case 1:
        throw std::length_error("vector::reserve");
    case 2:
        throw std::system_error(EACCES, std::generic_category(), "open");
    case 3:
        throw std::system_error(EAGAIN, std::system_category(), "thread");
    case 4:
        throw std::runtime_error("an odd state");
    default:
        throw 42;
    }
}

// Where the exception is thrown: at the top, caught as main catches it;
// in a thread, or out of a noexcept function, where only the terminate
// handler sees it.
void AtTheTop(int kind)
{
    try {
        Throw(kind);
    } catch (...) {
        StopOnException("probe");
    }
}

void InAThread(int kind)
{
    std::thread worker([kind] { Throw(kind); });
    worker.join();
}

void ThrowWithoutThrowing(int kind) noexcept { Throw(kind); }

// Installs the handlers as main does, then throws; standard output (the
// report of a run-time error) goes where standard error goes, so that the
// death test sees both in order.
void ThrowAfterSettingUp(const std::function<void(int)> &where, int kind)
{
    dup2(2, 1);
    StopOnUncaughtExceptions("probe");
    AddExitHook(Hook);
    where(kind);
    std::exit(0);
}

} // namespace

TEST(UncaughtException, EndsWithTheStatusOfItsKindAndRunsTheExitHooks)
{
    const auto report = [](int code) {
        return "Runtime error " + std::to_string(code) + " at 0x[0-9A-F]{8}\n(  0x[0-9A-F]{8}\n)+\n";
    };
    const struct {
        int kind;
        int status;
        std::string told; // before the hook's line
    } kinds[] = {
        {0, RunErrorOutOfMemory, report(217)},
        {1, RunErrorOutOfMemory, report(217)},
        {2, RunErrorAccessDenied, report(5)},
        {3, RunErrorReadWriteFault, report(101)},
        {4, InternalFailureStatus, "probe: internal failure: an odd state\n"},
        {5, InternalFailureStatus, "probe: internal failure: an exception of unknown type\n"},
    };
    const struct {
        const char *name;
        std::function<void(int)> where;
    } places[] = {{"at the top", AtTheTop}, {"in a thread", InAThread}, {"out of a noexcept function", ThrowWithoutThrowing}};
    for (const auto &place : places)
        for (const auto &k : kinds) {
            SCOPED_TRACE(std::string(place.name) + ", kind " + std::to_string(k.kind));
            EXPECT_EXIT(ThrowAfterSettingUp(place.where, k.kind), ::testing::ExitedWithCode(k.status),
                        "^" + k.told + "hook ran\n$");
        }
}
