// Test helper: standard input replaced by a pipe whose writing end the test
// holds, so that answers and key presses can be typed from the test.
#pragma once
#include <unistd.h>

#include "textinput.h"

struct StandardInputPipe {
    int saved = -1;  // the original descriptor 0
    int writer = -1; // the test's end of the pipe
};

inline void ForgetBufferedInput()
{
    StandardInput.position = StandardInput.length = 0;
    StandardInput.atEnd = false;
}

// Puts a fresh pipe on descriptor 0; returns false when no pipe can be made.
inline bool OpenStandardInputPipe(StandardInputPipe &p)
{
    int ends[2];
    if (pipe(ends) != 0)
        return false;
    p.saved = dup(0);
    dup2(ends[0], 0);
    close(ends[0]);
    p.writer = ends[1];
    ForgetBufferedInput();
    return true;
}

// Closes the pipe and gives descriptor 0 back.
inline void CloseStandardInputPipe(StandardInputPipe &p)
{
    if (p.writer >= 0)
        close(p.writer);
    p.writer = -1;
    dup2(p.saved, 0);
    close(p.saved);
    ForgetBufferedInput();
}
