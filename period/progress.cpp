// Progress of a long spectrum pass, shown on standard error when that is a
// terminal (standard output carries the dialogue and stays as it is).
#include <cstdio>
#include <unistd.h>

#include "kalidor.h"

namespace {

// A pass of fewer observation terms (observations x periods) ends too soon
// for a progress line to help.
const double LongPassTerms = 2e8;

bool showing = false;
long totalPeriods = 0;
int shownPercent = -1;

void WriteProgress(int percent)
{
    std::fprintf(stderr, "\r%s: %3d %%", BatchRun ? "spectrum" : "spektrum", percent);
    std::fflush(stderr);
}

} // namespace

void BeginSpectrumProgress(long periods, int observations)
{
    showing = static_cast<double>(periods) * observations >= LongPassTerms && isatty(STDERR_FILENO);
    totalPeriods = periods;
    shownPercent = -1;
}

void ShowSpectrumProgress(long done)
{
    if (!showing)
        return;
    const int percent = static_cast<int>(100.0 * done / totalPeriods);
    if (percent != shownPercent) {
        shownPercent = percent;
        WriteProgress(percent);
    }
}

void EndSpectrumProgress()
{
    if (showing)
        std::fprintf(stderr, "\r                \r");
    std::fflush(stderr);
    showing = false;
}
