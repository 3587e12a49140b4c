#include "signalend.h"

#include <climits>
#include <csignal>
#include <cstring>
#include <unistd.h>

namespace {

const int EndingSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The files to remove, as fixed buffers: the handler reads them and must
// not depend on memory that the main flow may be changing.  Changes are
// made with the signals blocked.
const int MaxRemovals = 8;
char removalPaths[MaxRemovals][PATH_MAX];
volatile sig_atomic_t removalUsed[MaxRemovals];

// The ending signals that the handler catches (not those ignored from the
// start): only these end the program.
sigset_t caughtSignals;
int blockDepth = 0;
sigset_t maskBeforeBlock;
int deferDepth = 0;

sigset_t EndingSignalSet()
{
    sigset_t set;
    sigemptyset(&set);
    for (int s : EndingSignals)
        sigaddset(&set, s);
    return set;
}

void RemoveRegisteredFiles()
{
    for (int i = 0; i < MaxRemovals; ++i)
        if (removalUsed[i])
            unlink(removalPaths[i]);
}

// Runs with the signal blocked: after the clean-up the default action is
// restored and the signal, raised again, ends the program as soon as it
// is unblocked.
void EndBySignal(int signal)
{
    RemoveRegisteredFiles();
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
    raise(signal);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    sigprocmask(SIG_UNBLOCK, &only, nullptr);
    _exit(128 + signal); // not reached: the signal ends the program
}

} // namespace

void CatchEndingSignals()
{
    for (int s : EndingSignals) {
        struct sigaction old;
        if (sigaction(s, nullptr, &old) == 0 && old.sa_handler == SIG_IGN)
            continue;
        struct sigaction action;
        std::memset(&action, 0, sizeof action);
        action.sa_handler = EndBySignal;
        // Every ending signal waits while the handler of another one runs.
        action.sa_mask = EndingSignalSet();
        if (sigaction(s, &action, nullptr) == 0)
            sigaddset(&caughtSignals, s);
    }
}

int RemoveOnSignal(const std::string &path)
{
    if (path.size() >= PATH_MAX)
        return -1;
    BlockEndingSignals();
    int slot = -1;
    for (int i = 0; i < MaxRemovals && slot < 0; ++i)
        if (!removalUsed[i])
            slot = i;
    if (slot >= 0) {
        std::memcpy(removalPaths[slot], path.c_str(), path.size() + 1);
        removalUsed[slot] = 1;
    }
    UnblockEndingSignals();
    return slot;
}

void ForgetRemovalOnSignal(int slot)
{
    if (slot >= 0 && slot < MaxRemovals)
        removalUsed[slot] = 0;
}

void BlockEndingSignals()
{
    if (blockDepth++ > 0)
        return;
    const sigset_t set = EndingSignalSet();
    sigprocmask(SIG_BLOCK, &set, &maskBeforeBlock);
}

void UnblockEndingSignals()
{
    if (blockDepth == 0 || --blockDepth > 0)
        return;
    sigprocmask(SIG_SETMASK, &maskBeforeBlock, nullptr);
}

void DeferEndingSignals()
{
    if (deferDepth++ > 0)
        return;
    const sigset_t set = EndingSignalSet();
    sigprocmask(SIG_BLOCK, &set, nullptr);
    // A block that is open now must not undo the deferral when it ends.
    sigorset(&maskBeforeBlock, &maskBeforeBlock, &set);
}

void ResumeEndingSignals()
{
    if (deferDepth == 0 || --deferDepth > 0)
        return;
    const sigset_t set = EndingSignalSet();
    if (blockDepth > 0) {
        // The block still open keeps them held; they pass when it ends.
        for (int s : EndingSignals)
            sigdelset(&maskBeforeBlock, s);
        return;
    }
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
}

bool EndingSignalHeld()
{
    sigset_t pending;
    if (sigpending(&pending) != 0)
        return false;
    // An ignored signal may wait while blocked too; it ends nothing.
    for (int s : EndingSignals)
        if (sigismember(&pending, s) && sigismember(&caughtSignals, s))
            return true;
    return false;
}

void LetHeldSignalsThrough()
{
    deferDepth = 0;
    blockDepth = 0;
    const sigset_t set = EndingSignalSet();
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
}

void RestoreSignalsForChild()
{
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGXFSZ}) {
        struct sigaction old;
        if (sigaction(s, nullptr, &old) == 0 && old.sa_handler == SIG_IGN && s != SIGPIPE && s != SIGXFSZ)
            continue; // ignored by whoever started the program: stays so
        signal(s, SIG_DFL);
    }
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
}
