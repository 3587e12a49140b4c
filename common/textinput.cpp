#include "textinput.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include "fileio.h"
#include "numparse.h"
#include "runerror.h"

TextInput StandardInput = [] {
    TextInput in;
    in.fd = 0;
    return in;
}();

namespace {

bool FillBuffer(TextInput &in)
{
    if (in.atEnd || in.fd < 0)
        return false;
    for (;;) {
        const ssize_t got = read(in.fd, in.buffer, sizeof in.buffer);
        if (got > 0) {
            in.position = 0;
            in.length = static_cast<std::size_t>(got);
            return true;
        }
        if (got == 0) {
            in.atEnd = true;
            return false;
        }
        if (errno == EINTR)
            continue;
        if (errno == EBADF)
            RunError(RunErrorFileNotOpen);
        RunErrorFromErrno(errno);
    }
}

bool IsSeparator(int c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The longest number text that is kept; a longer one is always rejected.
const std::size_t MaxNumberText = 255;

// Skips separators (across lines), then copies the number's text, up to the
// next separator or the end, into text and returns its length.  A text
// longer than MaxNumberText is no number: the program stops with run-time
// error 106 as soon as it passes the limit, so that an input without
// separators (an endless device) is not scanned forever.  The end reached
// before a number stops the program with run-time error 106 as well.
std::size_t TakeNumberText(TextInput &in, char (&text)[MaxNumberText])
{
    int c = PeekByte(in);
    while (c >= 0 && IsSeparator(c)) {
        ++in.position;
        c = PeekByte(in);
    }
    if (c < 0)
        RunError(RunErrorInvalidNumber);
    std::size_t length = 0;
    // The text is taken a buffer at a time: scanned first, then copied.
    while (in.position < in.length || FillBuffer(in)) {
        const unsigned char *start = in.buffer + in.position;
        const unsigned char *end = in.buffer + in.length;
        const unsigned char *stop = start;
        while (stop < end && !IsSeparator(*stop))
            ++stop;
        const std::size_t count = static_cast<std::size_t>(stop - start);
        if (count > MaxNumberText - length)
            RunError(RunErrorInvalidNumber);
        std::memcpy(text + length, start, count);
        length += count;
        in.position += count;
        if (stop < end)
            break;
    }
    return length;
}

std::string ReadNumberText(TextInput &in)
{
    char text[MaxNumberText];
    const std::size_t length = TakeNumberText(in, text);
    return std::string(text, length);
}

} // namespace

bool OpenTextInput(TextInput &in, const char *path)
{
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    in.fd = fd;
    in.position = in.length = 0;
    in.atEnd = false;
    return true;
}

void CloseTextInput(TextInput &in)
{
    if (in.fd < 0)
        RunError(RunErrorFileNotOpen);
    const int fd = in.fd;
    in.fd = -1;
    in.position = in.length = 0;
    in.atEnd = false;
    CloseOrStop(fd);
}

int PeekByte(TextInput &in)
{
    if (in.position >= in.length && !FillBuffer(in))
        return -1;
    return in.buffer[in.position];
}

int GetByte(TextInput &in)
{
    const int c = PeekByte(in);
    if (c >= 0)
        ++in.position;
    return c;
}

bool AtEndOfInput(TextInput &in) { return PeekByte(in) < 0; }

bool HasBufferedByte(const TextInput &in) { return in.position < in.length; }

bool InputByteWaiting(TextInput &in)
{
    if (HasBufferedByte(in))
        return true;
    if (in.atEnd || in.fd < 0)
        return false;
    struct pollfd watch = {in.fd, POLLIN, 0};
    int ready;
    do
        ready = poll(&watch, 1, 0);
    while (ready < 0 && errno == EINTR);
    // A hang-up or error is readable too: the read then tells the end or
    // the failure.
    if (ready <= 0)
        return false;
    return FillBuffer(in);
}

double ReadReal(TextInput &in)
{
    char text[MaxNumberText];
    const std::size_t length = TakeNumberText(in, text);
    double value = 0;
    if (!ReadRealText(text, length, value))
        RunError(RunErrorInvalidNumber);
    return value;
}

int32_t ReadInteger(TextInput &in)
{
    const IntParse parsed = ParseInt(ReadNumberText(in));
    if (parsed.position != 0)
        RunError(RunErrorInvalidNumber);
    return parsed.value;
}

void SkipLine(TextInput &in)
{
    int c;
    do
        c = GetByte(in);
    while (c >= 0 && c != '\n');
}

std::string ReadLine(TextInput &in, std::size_t maxLength)
{
    std::string line;
    std::size_t total = 0;
    int c, last = -1;
    while ((c = GetByte(in)) >= 0 && c != '\n') {
        if (line.size() < maxLength)
            line.push_back(static_cast<char>(c));
        ++total;
        last = c;
    }
    // A carriage return before the line feed belongs to the line end.
    if (last == '\r' && total <= maxLength)
        line.pop_back();
    return line;
}
