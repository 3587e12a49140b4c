// The survey run's bench: made-up stars of 500 estimates each (a month of
// observations, sines of periods from 0.5 to 50 days with noise), one
// Julian-date file a star, analysed by kalidor's survey run over the
// periods 0.5 to 50 days with five peaks and the default grid.  It prints
// the time, the stars per second per core and the peak memory for 1,000
// and for 10,000 stars: the memory must not grow with the number of stars.
// Usage: survey_bench [STARS]   (default: 1000 and 10000 in turn)
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

const int Estimates = 500;
const double SpanDays = 30;

std::string MadeUpFolder()
{
    char pattern[] = "/tmp/kalidor-survey-bench-XXXXXX";
    const char *folder = mkdtemp(pattern);
    if (folder == nullptr) {
        std::perror("survey_bench: mkdtemp");
        std::exit(1);
    }
    return folder;
}

// Star i's file: uneven times over the span, a sine of a period drawn
// evenly in log between 0.5 and 50 days, amplitude 0.05 to 0.5 mag.
std::string WriteStar(const std::string &folder, int i)
{
    std::mt19937_64 random(static_cast<unsigned>(i) + 1);
    std::uniform_real_distribution<double> unit(0, 1);
    std::normal_distribution<double> noise(0, 0.03);
    const double period = 0.5 * std::pow(100.0, unit(random));
    const double amplitude = 0.05 + 0.45 * unit(random);
    std::vector<double> times(Estimates);
    for (double &t : times)
        t = 55000 + SpanDays * unit(random);
    std::sort(times.begin(), times.end());
    const std::string name = folder + "/s" + std::to_string(i) + ".jud";
    std::FILE *out = std::fopen(name.c_str(), "w");
    if (out == nullptr) {
        std::perror("survey_bench: fopen");
        std::exit(1);
    }
    for (double t : times)
        std::fprintf(out, "%.4f   %.3f\n", t, 12 + amplitude * std::sin(2 * M_PI * t / period) + noise(random));
    std::fclose(out);
    return name;
}

struct RunResult {
    double seconds;
    long peakKilobytes;
    int status;
};

RunResult RunSurvey(const std::vector<std::string> &files, const std::string &catalogue)
{
    std::vector<std::string> words = {KALIDOR_PROGRAM, "--periods", "0.5:50", "--peaks", "5", "--catalogue", catalogue};
    words.insert(words.end(), files.begin(), files.end());
    std::vector<char *> argv;
    for (std::string &w : words)
        argv.push_back(&w[0]);
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    // The child must not write what this process has buffered.
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        std::freopen("/dev/null", "w", stdout);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    struct rusage usage;
    wait4(child, &status, 0, &usage);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return {seconds, usage.ru_maxrss, WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status)};
}

long CatalogueRows(const std::string &name)
{
    std::FILE *in = std::fopen(name.c_str(), "r");
    long rows = 0;
    if (in == nullptr)
        return 0;
    for (int c; (c = std::fgetc(in)) != EOF;)
        rows += c == '\n';
    std::fclose(in);
    return rows - 1;
}

} // namespace

int main(int argc, char **argv)
{
    std::vector<int> counts = {1000, 10000};
    if (argc > 1)
        counts = {std::atoi(argv[1])};
    const long cores = std::max(1L, sysconf(_SC_NPROCESSORS_ONLN));
    const std::string folder = MadeUpFolder();
    std::vector<std::string> files;
    std::printf("Survey run: %d estimates a star over %.0f days, periods 0.5 to 50 d, 5 peaks, default grid, "
                "%ld cores\n",
                Estimates, SpanDays, cores);
    std::printf("%8s %10s %12s %16s %14s\n", "stars", "seconds", "stars/s", "stars/s/core", "peak memory");
    std::vector<long> peaks;
    int failed = 0;
    for (int count : counts) {
        while (static_cast<int>(files.size()) < count)
            files.push_back(WriteStar(folder, static_cast<int>(files.size())));
        const std::vector<std::string> these(files.begin(), files.begin() + count);
        const RunResult r = RunSurvey(these, folder + "/catalogue.csv");
        const long rows = CatalogueRows(folder + "/catalogue.csv");
        std::printf("%8d %10.2f %12.1f %16.1f %11ld KB\n", count, r.seconds, count / r.seconds,
                    count / r.seconds / cores, r.peakKilobytes);
        if (r.status != 0 || rows != count) {
            std::printf("  the run ended with status %d and %ld catalogue rows\n", r.status, rows);
            failed = 1;
        }
        peaks.push_back(r.peakKilobytes);
    }
    if (peaks.size() == 2)
        std::printf("Peak memory with %d stars is %.2f times that with %d.\n", counts[1],
                    static_cast<double>(peaks[1]) / peaks[0], counts[0]);
    std::string remove = "rm -rf '" + folder + "'";
    if (std::system(remove.c_str()) != 0)
        std::fprintf(stderr, "survey_bench: could not remove %s\n", folder.c_str());
    return failed;
}
