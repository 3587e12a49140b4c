// The methods by name, the statistic of a method at one frequency, and the
// evaluation of a whole grid of trial frequencies over threads.
#include <algorithm>
#include <cmath>
#include <system_error>
#include <thread>
#include <vector>

#include "methodsinternal.h"

namespace {

// Reads a whole number of plain digits (at most four) into value.
bool ReadOrder(const std::string &text, int &value)
{
    if (text.empty() || text.size() > 4)
        return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

// Reads "prefix:N" with N in least..most into order.
MethodError ReadOrderAfter(const std::string &name, const std::string &prefix, int least, int most, int &order)
{
    if (!ReadOrder(name.substr(prefix.size()), order) || order < least || order > most)
        return MethodBadOrder;
    return MethodOk;
}

bool StartsWith(const std::string &text, const std::string &prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

} // namespace

MethodError ParseMethod(const std::string &name, MethodChoice &choice)
{
    MethodChoice parsed;
    MethodError error = MethodOk;
    if (name == "dcdft") {
        parsed.kind = MethodDcdft;
        parsed.order = 1;
    } else if (name == "bls") {
        parsed.kind = MethodBls;
        parsed.order = 0;
    } else if (StartsWith(name, "harmonics:")) {
        parsed.kind = MethodHarmonics;
        error = ReadOrderAfter(name, "harmonics:", 1, MaxHarmonics, parsed.order);
    } else if (StartsWith(name, "aov:")) {
        parsed.kind = MethodAov;
        error = ReadOrderAfter(name, "aov:", 1, MaxHarmonics, parsed.order);
    } else if (StartsWith(name, "pdm:")) {
        parsed.kind = MethodPdm;
        error = ReadOrderAfter(name, "pdm:", 2, MaxPhaseBins, parsed.order);
    } else {
        return MethodUnknownName;
    }
    if (error == MethodOk)
        choice = parsed;
    return error;
}

std::string MethodName(const MethodChoice &choice)
{
    switch (choice.kind) {
    case MethodDcdft:
        return "dcdft";
    case MethodHarmonics:
        return "harmonics:" + std::to_string(choice.order);
    case MethodAov:
        return "aov:" + std::to_string(choice.order);
    case MethodPdm:
        return "pdm:" + std::to_string(choice.order);
    case MethodBls:
        return "bls";
    }
    return "";
}

const char *MethodStatisticName(MethodKind kind)
{
    switch (kind) {
    case MethodDcdft:
    case MethodHarmonics:
        return "power";
    case MethodAov:
        return "theta_aov";
    case MethodPdm:
        return "theta_pdm";
    case MethodBls:
        return "bls_power";
    }
    return "";
}

bool MethodLowIsBest(MethodKind kind) { return kind == MethodPdm; }

int MethodHarmonicsOf(const MethodChoice &choice)
{
    switch (choice.kind) {
    case MethodDcdft:
        return 1;
    case MethodHarmonics:
    case MethodAov:
        return choice.order;
    case MethodPdm:
    case MethodBls:
        return 0;
    }
    return 0;
}

MethodError CheckMethodChoice(const MethodChoice &choice)
{
    switch (choice.kind) {
    case MethodDcdft:
        return choice.order == 1 ? MethodOk : MethodBadOrder;
    case MethodHarmonics:
    case MethodAov:
        return choice.order >= 1 && choice.order <= MaxHarmonics ? MethodOk : MethodBadOrder;
    case MethodPdm:
        return choice.order >= 2 && choice.order <= MaxPhaseBins ? MethodOk : MethodBadOrder;
    case MethodBls:
        return CheckBoxOptions(choice.box);
    }
    return MethodUnknownName;
}

double MethodStatistic(const MethodData &data, const MethodChoice &choice, double f)
{
    switch (choice.kind) {
    case MethodDcdft:
        return HarmonicPower(data, f, 1);
    case MethodHarmonics:
        return HarmonicPower(data, f, choice.order);
    case MethodAov:
        return AovStatistic(data, f, choice.order);
    case MethodPdm:
        return PdmTheta(data, f, choice.order);
    case MethodBls:
        return BoxPower(data, f, choice.box);
    }
    return 0;
}

MethodError EvaluateGrid(const MethodData &data, const MethodChoice &choice, const double *frequencies, long count,
                         int threads, double *values)
{
    if (threads < 0)
        return MethodBadThreads;
    const MethodError error = CheckMethodChoice(choice);
    if (error != MethodOk)
        return error;
    for (long j = 0; j < count; ++j)
        if (!(std::isfinite(frequencies[j]) && frequencies[j] > 0))
            return MethodBadFrequency;
    if (count <= 0)
        return MethodOk;
    RunBlocksOnThreads(count, threads, [&](long from, long to) {
        for (long j = from; j < to; ++j)
            values[j] = MethodStatistic(data, choice, frequencies[j]);
    });
    return MethodOk;
}

void RunBlocksOnThreads(long count, int threads, const std::function<void(long from, long to)> &block)
{
    if (count <= 0)
        return;
    long workers = threads > 0 ? threads : std::max(1u, std::thread::hardware_concurrency());
    workers = std::min(workers, count);
    std::vector<std::thread> pool;
    pool.reserve(static_cast<std::size_t>(workers - 1));
    const long size = count / workers, extra = count % workers;
    long from = 0;
    for (long k = 0; k < workers; ++k) {
        const long to = from + size + (k < extra ? 1 : 0);
        bool started = false;
        if (k < workers - 1) {
            try {
                pool.emplace_back(block, from, to);
                started = true;
            } catch (const std::system_error &) {
            }
        }
        if (!started)
            block(from, to);
        from = to;
    }
    for (std::thread &worker : pool)
        worker.join();
}
