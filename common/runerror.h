// Run-time errors: the report written when a file operation fails or a
// number cannot be read, and the list of hooks run at every end of the
// program (a normal end and a stop by run-time error alike).
#pragma once

const int RunErrorFileNotFound = 2;
const int RunErrorPathNotFound = 3;
const int RunErrorTooManyOpenFiles = 4;
const int RunErrorAccessDenied = 5;
const int RunErrorInvalidHandle = 6;
const int RunErrorReadWriteFault = 101;
const int RunErrorFileNotOpen = 103;
const int RunErrorNotOpenForInput = 104;
const int RunErrorNotOpenForOutput = 105;
const int RunErrorInvalidNumber = 106;
const int RunErrorTextFileBusy = 162;
const int RunErrorOutOfMemory = 217;
const int RunErrorInvalidArgument = 218;

// The run-time error code of a C library error number.
int RunErrorCodeOf(int errnum);

// Writes "Runtime error <code> at 0x<place>", one line "  0x<address>" for
// the place and each calling place, and an empty line on standard output,
// runs the exit hooks and ends the program with the code as exit status.
// The addresses are offsets inside the executable, so that
// "addr2line -e <program> <address>" names the source line.
[[noreturn]] void RunError(int code);
[[noreturn]] void RunErrorFromErrno(int errnum);

// Registers a hook for the end of the program.  Hooks run in reverse order
// of registration, each once, also when one of them stops with a run-time
// error (the remaining hooks still run).
void AddExitHook(void (*hook)());

// Runs the exit hooks and ends the program with the given status.
[[noreturn]] void EndProgram(int status);

// The exit status after a failure the program has no answer for: an
// exception that nothing caught, other than memory running out.
const int InternalFailureStatus = 70;

// Ends the program for the exception being handled; called in a
// catch (...) block at the top of main.  Memory that runs out
// (std::bad_alloc, or a size that no allocation can have,
// std::length_error) stops with run-time error 217, and a failed system
// call (std::system_error of an error number) with the run-time error of
// that number, as any failed operation does.  Anything else writes
// "PROGRAM: internal failure: WHAT" on standard error, runs the exit hooks
// and ends with InternalFailureStatus.
[[noreturn]] void StopOnException(const char *program);

// Has an exception that would end the program through std::terminate (one
// that leaves a thread, or a function that may not throw) end it as
// StopOnException does.  'program' must stay valid to the end (a literal).
void StopOnUncaughtExceptions(const char *program);
