// Sound, delays and keyboard input beside the graphics screen.
#include "screen.h"

#include <cerrno>
#include <ctime>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/select.h>
#include <unistd.h>

#include "display.h"
#include "output.h"
#include "signalend.h"
#include "textinput.h"

namespace {

const unsigned long ToneClock = 1193180;
const unsigned long ToneRequest = 0x4B2F; // KIOCSOUND
// While a display is shown, waiting is cut into slices of this length so
// that its events are answered in between.
const int WaitSlice = 10;

// The console tone generator; a terminal emulator refuses the request,
// which is of no concern.
void SetTone(unsigned long divisor)
{
    static bool sounding = false;
    if (!isatty(1))
        return;
    // A sounding beeper holds an ending signal back until it is silent.
    if (divisor != 0 && !sounding) {
        DeferEndingSignals();
        sounding = true;
    }
    (void)ioctl(1, ToneRequest, divisor);
    if (divisor == 0 && sounding) {
        sounding = false;
        ResumeEndingSignals();
    }
}

long long MonotonicMilliseconds()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// Sleeps with select() and no descriptors; a signal cuts the sleep short.
void SleepMilliseconds(long long milliseconds)
{
    timeval timeout;
    timeout.tv_sec = static_cast<time_t>(milliseconds / 1000);
    timeout.tv_usec = static_cast<suseconds_t>(milliseconds % 1000 * 1000);
    select(0, nullptr, nullptr, nullptr, &timeout);
}

// Waits up to the given time for standard input to become readable and
// brings what is there into its buffer (or notes its end).
void WaitForStandardInput(int milliseconds)
{
    if (HasBufferedByte(StandardInput) || StandardInput.atEnd)
        return;
    struct pollfd watch = {StandardInput.fd, POLLIN, 0};
    if (poll(&watch, 1, milliseconds) > 0)
        InputByteWaiting(StandardInput);
}

// A line being typed: at most maxLength characters are kept, but all are
// counted, so that taking one back and dropping a carriage return before
// the line end behave as in ReadLine.
struct TypedLine {
    std::string text;
    std::size_t total = 0;
    std::size_t maxLength = 0;
    int last = -1;
};

void AddCharacter(TypedLine &line, int c)
{
    if (line.text.size() < line.maxLength)
        line.text.push_back(static_cast<char>(c));
    ++line.total;
    line.last = c;
}

void TakeBackCharacter(TypedLine &line)
{
    if (line.total == 0)
        return;
    --line.total;
    if (line.text.size() > line.total)
        line.text.pop_back();
    line.last = -1;
}

std::string FinishLine(TypedLine &line)
{
    if (line.last == '\r' && line.total <= line.maxLength)
        line.text.pop_back();
    return line.text;
}

// The terminal shows what is typed at it; what is typed into the display
// is shown there too, when standard output is a terminal.
void EchoTyped(const char *text)
{
    if (isatty(1))
        WriteText(text);
}

} // namespace

void Sound(int hertz)
{
    const unsigned long hz = hertz > 0 ? static_cast<unsigned long>(hertz) : 0;
    SetTone(hz > 0 ? ToneClock / hz : 0);
}

void NoSound() { SetTone(0); }

void EndOnHeldSignal()
{
    if (!EndingSignalHeld())
        return;
    NoSound();
    CloseDisplay();
    LetHeldSignalsThrough();
}

void Delay(int milliseconds)
{
    InitGraphicsLayer();
    const long long end = MonotonicMilliseconds() + (milliseconds > 0 ? milliseconds : 0);
    for (;;) {
        EndOnHeldSignal();
        ServiceDisplay();
        const long long left = end - MonotonicMilliseconds();
        if (left <= 0)
            return;
        SleepMilliseconds(DisplayShown() && left > WaitSlice ? WaitSlice : left);
    }
}

bool KeyPressed()
{
    InitGraphicsLayer();
    if (InputByteWaiting(StandardInput))
        return true;
    return DisplayKeyWaiting();
}

std::string ReadInputLine(std::size_t maxLength)
{
    InitGraphicsLayer();
    if (!DisplayShown())
        return ReadLine(StandardInput, maxLength);
    TypedLine line;
    line.maxLength = maxLength;
    for (;;) {
        while (HasBufferedByte(StandardInput)) {
            const int c = GetByte(StandardInput);
            if (c == '\n')
                return FinishLine(line);
            AddCharacter(line, c);
        }
        if (StandardInput.atEnd)
            return FinishLine(line);
        int key;
        while ((key = NextDisplayKey()) >= 0) {
            if (key == '\n') {
                EchoTyped("\n");
                return FinishLine(line);
            }
            if (key == '\b') {
                if (line.total > 0)
                    EchoTyped("\b \b");
                TakeBackCharacter(line);
            } else {
                const char typed[2] = {static_cast<char>(key), '\0'};
                EchoTyped(typed);
                AddCharacter(line, key);
            }
        }
        ServiceDisplay();
        WaitForStandardInput(WaitSlice);
    }
}
