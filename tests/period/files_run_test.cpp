// End-to-end runs of kalidor where its files or its standard output meet
// trouble: an ending signal, an output that cannot be written, a file size
// limit, a hard copy aimed at the input file.  Whatever happens, the files
// of an earlier run keep their content and nothing unfinished is left.
#include <gtest/gtest.h>

#include <csignal>
#include <cmath>
#include <filesystem>
#include <functional>
#include <set>
#include <sys/resource.h>
#include <thread>

#include "run_kalidor.h"

namespace {

const std::string SineJulianDates = "47892.500   12.300\n47893.500   12.500\n47894.500   11.700\n"
                                    "47895.500   11.500\n47897.500   12.500\n47898.500   11.700\n"
                                    "47923.500   11.500\n";

std::string MakeDirectory()
{
    char pattern[] = "/tmp/kalidor-files-XXXXXX";
    const char *dir = mkdtemp(pattern);
    return dir ? dir : "";
}

std::set<std::string> Entries(const std::string &dir)
{
    std::set<std::string> names;
    for (const auto &e : std::filesystem::directory_iterator(dir))
        names.insert(e.path().filename().string());
    return names;
}

// Starts kalidor in dir with standard input from stdinFd, standard output
// to stdoutFd (-1: closed), standard error to dir/stderr, optionally under
// a file size limit.  Returns the process id.
pid_t StartKalidor(const std::string &dir, const std::string &parameter, int stdinFd, int stdoutFd,
                   rlim_t fileSizeLimit = RLIM_INFINITY)
{
    const pid_t pid = fork();
    if (pid != 0)
        return pid;
    if (chdir(dir.c_str()) != 0)
        _exit(127);
    const int err = open("stderr", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(err, 2);
    dup2(stdinFd, 0);
    if (stdoutFd >= 0)
        dup2(stdoutFd, 1);
    else
        close(1);
    for (int fd = 3; fd < 64; ++fd)
        close(fd);
    const rlimit limit = {fileSizeLimit, fileSizeLimit};
    setrlimit(RLIMIT_FSIZE, &limit);
    setenv("KALIDOR_DISPLAY", "offscreen", 1);
    execl(KALIDOR, KALIDOR, parameter.c_str(), static_cast<char *>(nullptr));
    _exit(127);
}

int WaitStatus(pid_t pid)
{
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

bool WaitUntil(const std::function<bool()> &condition)
{
    for (int i = 0; i < 60000; ++i) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

std::string SpoolOf(pid_t pid) { return "/tmp/" + std::to_string(pid) + ".lst"; }

} // namespace

TEST(KalidorFiles, EndingSignalsRemoveTheSpoolAndUnfinishedFilesAndEndByTheSignal)
{
    std::string many;
    for (int i = 0; i < 1000; ++i)
        many += std::to_string(48000 + i * 0.37) + " " + std::to_string(10 + std::sin(i * 0.7)) + "\n";
    // The answers go in two steps, each waited for: a printed copy is made
    // only when no later answer is waiting (a key press cuts it short).
    const struct {
        const char *name;
        int signal;
        std::string first, second;
        const char *mark; // the signal comes once the output holds it
    } cases[] = {
        {"SIGINT during a spectrum pass", SIGINT, "1\n100\n1000000\n", "", ""},
        {"SIGTERM at a picture after a printed copy", SIGTERM, "1\n10\n9\np\n", "n\na\n4\n48000\n",
         "Zakladni epocha"},
        {"SIGHUP at a question after a printed copy", SIGHUP, "1\n10\n9\np\n", "", "(a/n)?"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string dir = MakeDirectory();
        WriteFileContent(dir + "/many.jud", many);
        WriteFileContent(dir + "/many.ven", "an earlier spectrum\n");
        int answers[2];
        ASSERT_EQ(pipe(answers), 0);
        const int out = open((dir + "/stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const pid_t pid = StartKalidor(dir, "many.jud", answers[0], out);
        close(out);
        close(answers[0]);
        const auto outputHas = [&](const char *text) {
            return WaitUntil([&] { return FileContent(dir + "/stdout").find(text) != std::string::npos; });
        };
        ASSERT_EQ(write(answers[1], c.first.data(), c.first.size()), ssize_t(c.first.size()));
        if (*c.mark == '\0') { // during the pass: once its file is begun
            EXPECT_TRUE(WaitUntil([&] { return Entries(dir).size() > 4; }));
        } else {
            EXPECT_TRUE(outputHas("(a/n)?"));
            EXPECT_GT(FileContent(SpoolOf(pid)).size(), 0u);
            ASSERT_EQ(write(answers[1], c.second.data(), c.second.size()), ssize_t(c.second.size()));
            EXPECT_TRUE(outputHas(c.mark));
        }
        kill(pid, c.signal);
        const int status = WaitStatus(pid);
        close(answers[1]);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signal) << status;
        EXPECT_FALSE(FileExists(SpoolOf(pid)));
        unlink(SpoolOf(pid).c_str());
        EXPECT_EQ(Entries(dir), (std::set<std::string>{"many.jud", "many.ven", "stdout", "stderr"}));
        if (*c.mark == '\0') { // the pass was cut: its file never replaces the earlier one
            EXPECT_EQ(FileContent(dir + "/many.ven"), "an earlier spectrum\n");
        }
        std::filesystem::remove_all(dir);
    }
}

// Standard output that cannot be written, and a spectrum file beyond the
// file size limit: an error status, never success, and the earlier
// spectrum file untouched.
TEST(KalidorFiles, WritesThatFailEndTheRunWithAnErrorAndLeaveTheEarlierFiles)
{
    const struct {
        const char *name;
        int exitStatus;
        rlim_t fileSizeLimit;
    } cases[] = {{"closed", 6, RLIM_INFINITY},
                 {"/dev/full", 101, RLIM_INFINITY},
                 {"broken pipe", 101, RLIM_INFINITY},
                 {"spectrum file beyond the file size limit", 101, 8192}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string dir = MakeDirectory();
        WriteFileContent(dir + "/star.jud", SineJulianDates);
        WriteFileContent(dir + "/star.ven", "an earlier spectrum\n");
        WriteFileContent(dir + "/stdin", "1\n10\n1000\n");
        const int in = open((dir + "/stdin").c_str(), O_RDONLY);
        int out = -1, ends[2];
        if (c.name == std::string("/dev/full")) {
            out = open("/dev/full", O_WRONLY);
        } else if (c.name == std::string("broken pipe")) {
            ASSERT_EQ(pipe(ends), 0);
            close(ends[0]); // nobody reads
            out = ends[1];
        } else if (c.fileSizeLimit != RLIM_INFINITY) {
            out = open((dir + "/stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        }
        const pid_t pid = StartKalidor(dir, "star.jud", in, out, c.fileSizeLimit);
        close(in);
        if (out >= 0)
            close(out);
        const int status = WaitStatus(pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == c.exitStatus) << status;
        if (c.fileSizeLimit == RLIM_INFINITY) {
            EXPECT_NE(FileContent(dir + "/stderr").find("write error on standard output"), std::string::npos);
        }
        EXPECT_EQ(FileContent(dir + "/star.ven"), "an earlier spectrum\n");
        EXPECT_EQ(Entries(dir).size(), c.fileSizeLimit == RLIM_INFINITY ? 4u : 5u); // nothing unfinished
        EXPECT_FALSE(FileExists(SpoolOf(pid)));
        unlink(SpoolOf(pid).c_str());
        std::filesystem::remove_all(dir);
    }
}

TEST(KalidorFiles, HardCopyOntoTheInputFileIsRefusedAndTheRunGoesOn)
{
    const std::string dir = MakeDirectory();
    const std::string observations = "900101  0.00  12.30\n900102  0.00  12.50\n900103  0.00  11.70\n"
                                     "900104  0.00  11.50\n900106  0.00  12.50\n900107  0.00  11.70\n";
    WriteFileContent(dir + "/u.prn", observations);
    WriteFileContent(dir + "/stdin", "1\n5\n9\nf1\nn\na\n4\n47892.5\nf2\nn\n");
    const pid_t pid = StartProgram(KALIDOR, {"u.prn"}, dir, dir + "/stdin", dir + "/stdout");
    EXPECT_EQ(WaitProgram(pid), 0);
    const std::string output = FileContent(dir + "/stdout");
    const std::string refusal = "Soubor u.prn je vstupni soubor, nelze jej prepsat.\n";
    EXPECT_NE(output.find(refusal + "Prejete si prepocitat"), std::string::npos) << output;
    EXPECT_NE(output.find(refusal + "Seskladat pro jinou"), std::string::npos) << output;
    EXPECT_EQ(FileContent(dir + "/u.prn"), observations);
    std::filesystem::remove_all(dir);
}
