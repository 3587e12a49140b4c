// The straightforward pass, compiled for this machine's own instructions.
#include <cmath>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

#include "fastspectrum.h"
#include "numformat.h"
#include "straightpass.h"

namespace {

double StraightforwardPower(const double *t, const double *y, int n, double frequency, double sumOfSquares)
{
    double scc = 0, sc = 0, sss = 0, ss = 0, ssc = 0, syc = 0, sys = 0;
    const double factor = 2 * M_PI * frequency;
    for (int i = 0; i < n; ++i) {
        const double angle = (t[i] - t[0]) * factor;
        const double co = std::cos(angle);
        const double si = std::sin(angle);
        scc += co * co;
        sc += co;
        sss += si * si;
        ss += si;
        ssc += si * co;
        syc += y[i] * co;
        sys += y[i] * si;
    }
    return SpectrumPowerOfSums({scc, sc, sss, ss, ssc, syc, sys}, n, sumOfSquares);
}

} // namespace

SpectrumResult StraightforwardSpectrum(const double *t, const double *y, int n, double sumOfSquares, double pmin,
                                       double pmax, long intervals, const std::string &spectrumName)
{
    std::vector<char> text(static_cast<std::size_t>(intervals + 1) * 49);
    const double step = (pmax - pmin) / static_cast<double>(intervals);
    SpectrumResult result = {0, 0, 0};
    for (long k = 0; k <= intervals; ++k) {
        const double period = pmin + static_cast<double>(k) * step;
        const double power = StraightforwardPower(t, y, n, 1 / period, sumOfSquares);
        if (power > result.maximumPower) {
            result.maximumPower = power;
            result.periodOfMaximum = period;
        }
        char *line = text.data() + k * 49;
        WriteScientific(period, line);
        line[23] = ' ';
        line[24] = ' ';
        WriteScientific(power, line + 25);
        line[48] = '\n';
    }
    const int fd = open(spectrumName.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (fd >= 0) {
        if (write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
            result.maximumPower = -1;
        close(fd);
    }
    return result;
}
