// The end of a program by SIGINT, SIGTERM or SIGHUP: the files that must
// not outlive the run (the printer spool, files still being written) are
// removed, and the program ends by the same signal, so that its parent sees
// how it ended.
//
// The handler does only what is safe inside a signal handler: it removes
// the registered files by their prepared names and raises the signal again
// with its default action.  Work that is not safe there (giving the text
// screen back) is done by deferring: while the screen shows a picture the
// signals are held back, the screen layer looks for a held signal while it
// waits, restores the text screen and lets the signal through.
#pragma once
#include <string>

// Installs the handler for SIGINT, SIGTERM and SIGHUP; a signal that was
// ignored when the program started stays ignored.
void CatchEndingSignals();

// Registers a file to remove when an ending signal comes; returns its slot
// for ForgetRemovalOnSignal, or -1 when the table is full.  Only absolute
// names stay right after a change of directory; the programs do not change
// it.
int RemoveOnSignal(const std::string &path);
void ForgetRemovalOnSignal(int slot);

// Holds the ending signals back around a step that must not be cut in two
// (creating a file and registering it, renaming it and forgetting it).
// Calls nest.
void BlockEndingSignals();
void UnblockEndingSignals();

// Holds the ending signals back while the screen needs restoring before
// the program may end (a picture is shown, the beeper sounds); calls nest
// and the last Resume lets a held signal through.
void DeferEndingSignals();
void ResumeEndingSignals();
// True when an ending signal is being held back.
bool EndingSignalHeld();
// Ends every deferral and block at once, so that a held signal ends the
// program now (for the screen layer, once the screen is restored).
void LetHeldSignalsThrough();

// In a child process before it executes another program: the default
// action for the ending signals and for SIGPIPE and SIGXFSZ (which the
// programs ignore), and no signal blocked.
void RestoreSignalsForChild();
