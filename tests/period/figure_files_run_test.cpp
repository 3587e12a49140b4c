// End-to-end runs of kalidor --plots where the figure files meet trouble: a
// file size limit (the write fails with EFBIG, whether SIGXFSZ is ignored or
// at its default action when the program starts), a full file system (where
// one can be mounted), an ending signal while a figure is written, a symbolic link planted at a
// figure's name.  The earlier figure keeps every byte, nothing unfinished
// is left in the folder, and a link is replaced, never written through.
#include <gtest/gtest.h>

#include <poll.h>
#include <sched.h>
#include <sys/inotify.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <set>

#include "run_kalidor.h"

namespace {

const std::string Observations = "47892.500   12.300\n47893.500   12.500\n47894.500   11.700\n47895.500   11.500\n"
                                 "47897.500   12.500\n47898.500   11.700\n47923.500   11.500\n47925.500   12.400\n";
// The dialogue: a spectrum pass, no recompute, one fold at 4 d, no second fold.
const std::string DialogueAnswers = "1\n40\n78\n\nn\na\n4\n47892.5\n\nn\n";

const char *const Forms[] = {"png", "svg", "pdf"};

// A folder for one case: base/work holds the star and its files, base the
// program's standard streams.
struct Folder {
    std::string base, work;
};

Folder MakeFolder()
{
    char pattern[] = "/tmp/kalidor-figure-files-XXXXXX";
    const char *made = mkdtemp(pattern);
    const std::string base = made ? made : "/tmp/kalidor-figure-files-failed";
    std::filesystem::create_directories(base + "/work");
    WriteFileContent(base + "/work/star.jud", Observations);
    return {base, base + "/work/"};
}

std::set<std::string> Entries(const std::string &dir)
{
    std::set<std::string> names;
    for (const auto &e : std::filesystem::directory_iterator(dir))
        names.insert(e.path().filename().string());
    return names;
}

std::vector<std::string> BatchArguments(const char *form, const std::string &intervals = "78")
{
    return {"--periods", "1:40", "--intervals", intervals, "--fold", "best", "--plots", form, "star.jud"};
}

// How the program is started: under a file size limit, and with SIGXFSZ
// ignored (the write fails with EFBIG) or at its default action (a shell's
// ulimit -f: the signal would end a program that does not ignore it).
struct Start {
    rlim_t fileSizeLimit = RLIM_INFINITY;
    bool sizeSignalDefault = false;
    std::string input; // standard input; empty: none
};

// Starts kalidor in folder.work with args; standard output and error go to
// folder.base/stdout and stderr.
pid_t StartKalidor(const Folder &folder, const std::vector<std::string> &args, const Start &start = Start())
{
    WriteFileContent(folder.base + "/stdin", start.input);
    const pid_t pid = fork();
    if (pid != 0)
        return pid;
    if (chdir(folder.work.c_str()) != 0)
        _exit(127);
    const int in = open((folder.base + "/stdin").c_str(), O_RDONLY);
    const int out = open((folder.base + "/stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open((folder.base + "/stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    for (int fd = 3; fd < 64; ++fd)
        close(fd);
    signal(SIGXFSZ, start.sizeSignalDefault ? SIG_DFL : SIG_IGN);
    signal(SIGTERM, SIG_DFL);
    const rlimit limit = {start.fileSizeLimit, start.fileSizeLimit};
    setrlimit(RLIMIT_FSIZE, &limit);
    setenv("KALIDOR_DISPLAY", "offscreen", 1);
    std::vector<char *> argv = {const_cast<char *>(KALIDOR)};
    for (const std::string &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    execv(KALIDOR, argv.data());
    _exit(127);
}

int WaitStatus(pid_t pid)
{
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

bool ExitedWith(int status, int code) { return WIFEXITED(status) && WEXITSTATUS(status) == code; }

std::string FigureName(const char *kind, const char *form) { return std::string("star-") + kind + "." + form; }

// The earlier figures of a good run, as the faulty run must leave them.
struct EarlierFigures {
    std::string spectrum, phase;
};

EarlierFigures MakeEarlierFigures(const Folder &folder, const char *form)
{
    EXPECT_TRUE(ExitedWith(WaitStatus(StartKalidor(folder, BatchArguments(form))), 0));
    EarlierFigures earlier = {FileContent(folder.work + FigureName("spectrum", form)),
                              FileContent(folder.work + FigureName("phase", form))};
    EXPECT_GT(earlier.spectrum.size(), 0u);
    EXPECT_GT(earlier.phase.size(), 0u);
    return earlier;
}

void ExpectEarlierFiguresKept(const Folder &folder, const char *form, const EarlierFigures &earlier)
{
    EXPECT_EQ(FileContent(folder.work + FigureName("spectrum", form)), earlier.spectrum);
    EXPECT_EQ(FileContent(folder.work + FigureName("phase", form)), earlier.phase);
    EXPECT_EQ(Entries(folder.work), (std::set<std::string>{"star.jud", "star.ven", FigureName("spectrum", form),
                                                           FigureName("phase", form)}));
}

// Waits until the spectrum figure of 'form' begins to be written in dir: a
// new entry beside its name, or the figure itself changed.  False after a
// minute without.
bool AwaitFigureWriting(int watch, const char *form)
{
    const std::string prefix = FigureName("spectrum", form);
    alignas(inotify_event) char buffer[8192];
    pollfd ready = {watch, POLLIN, 0};
    while (poll(&ready, 1, 60000) == 1) {
        const ssize_t got = read(watch, buffer, sizeof buffer);
        for (ssize_t at = 0; at < got;) {
            const inotify_event *event = reinterpret_cast<const inotify_event *>(buffer + at);
            if (event->len > 0 && std::string(event->name).compare(0, prefix.size(), prefix) == 0)
                return true;
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    return false;
}

} // namespace

// The write of the spectrum figure passes the file size limit, which the
// spectrum file and the report keep within.
TEST(KalidorFigureFiles, AFigureBeyondTheFileSizeLimitStopsTheRunAndLeavesTheEarlierOne)
{
    for (const char *form : Forms) {
        for (bool sizeSignalDefault : {false, true}) {
            SCOPED_TRACE(std::string(form) + (sizeSignalDefault ? ", SIGXFSZ at its default" : ", EFBIG"));
            const Folder folder = MakeFolder();
            const EarlierFigures earlier = MakeEarlierFigures(folder, form);
            const std::size_t spectrumFile = FileContent(folder.work + "star.ven").size();
            ASSERT_GT(earlier.spectrum.size(), spectrumFile + 4096);
            Start start;
            start.fileSizeLimit = (spectrumFile + earlier.spectrum.size()) / 2;
            start.sizeSignalDefault = sizeSignalDefault;
            const int status = WaitStatus(StartKalidor(folder, BatchArguments(form), start));
            EXPECT_TRUE(ExitedWith(status, 101)) << status;
            EXPECT_NE(FileContent(folder.base + "/stdout").find("Runtime error 101"), std::string::npos);
            const std::string told = "kalidor: cannot write the figure " + FigureName("spectrum", form) +
                                     ": error while writing to output stream\n";
            const std::string err = FileContent(folder.base + "/stderr");
            EXPECT_TRUE(err.size() >= told.size() && err.compare(err.size() - told.size(), told.size(), told) == 0)
                << err;
            ExpectEarlierFiguresKept(folder, form, earlier);
            std::filesystem::remove_all(folder.base);
        }
    }
}

namespace {

// Copies every entry of dir into the folder 'into' (made), links as links.
void CopyEntries(const std::string &dir, const std::string &into)
{
    std::filesystem::create_directories(into);
    for (const auto &e : std::filesystem::directory_iterator(dir))
        std::filesystem::copy(e.path(), into + "/" + e.path().filename().string(),
                              std::filesystem::copy_options::copy_symlinks);
}

// Fills the file system of dir until 'room' bytes are left: a file that
// takes all there is, then cut back.
bool FillFileSystem(const std::string &dir, off_t room)
{
    const int fd = open((dir + "/filler").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    const std::string block(4096, 'f');
    off_t size = 0;
    for (ssize_t done; (done = write(fd, block.data(), block.size())) > 0;)
        size += done;
    const bool cut = size > room && ftruncate(fd, size - room) == 0;
    close(fd);
    return cut;
}

// In a child with a mount namespace of its own: a small file system at
// folder.work holding the star and earlier figures (short texts, so that
// emptying them makes no room), filled up to two pages, and a run there.
// What the run leaves is copied to folder.base/after, its exit status
// written to folder.base/status.  The child's status is 77 when no file
// system can be mounted (no privilege for it).
int RunOnAFullFileSystem(const Folder &folder, const char *form, const EarlierFigures &earlier)
{
    const pid_t child = fork();
    if (child != 0)
        return WaitStatus(child);
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount("tmpfs", folder.work.c_str(), "tmpfs", 0, "size=1m") != 0)
        _exit(77);
    WriteFileContent(folder.work + "star.jud", Observations);
    WriteFileContent(folder.work + FigureName("spectrum", form), earlier.spectrum);
    WriteFileContent(folder.work + FigureName("phase", form), earlier.phase);
    // Room for the spectrum file (one page), not for a figure.
    if (!FillFileSystem(folder.work, 8192))
        _exit(1);
    const int status = WaitStatus(StartKalidor(folder, BatchArguments(form)));
    unlink((folder.work + "filler").c_str());
    CopyEntries(folder.work, folder.base + "/after");
    WriteFileContent(folder.base + "/status", std::to_string(status));
    _exit(0);
}

} // namespace

// A file system without room for the figure: the run stops with the write
// fault, the earlier figures keep every byte and nothing unfinished stays.
TEST(KalidorFigureFiles, AFigureOnAFullFileSystemStopsTheRunAndLeavesTheEarlierOne)
{
    for (const char *form : Forms) {
        SCOPED_TRACE(form);
        const Folder folder = MakeFolder();
        const EarlierFigures earlier = {"an earlier spectrum figure\n", "an earlier phase figure\n"};
        const int child = RunOnAFullFileSystem(folder, form, earlier);
        if (ExitedWith(child, 77)) {
            std::filesystem::remove_all(folder.base);
            GTEST_SKIP() << "no small file system can be mounted here";
        }
        ASSERT_TRUE(ExitedWith(child, 0)) << child;
        const int status = std::stoi(FileContent(folder.base + "/status"));
        EXPECT_TRUE(ExitedWith(status, 101)) << status;
        EXPECT_NE(FileContent(folder.base + "/stderr").find("kalidor: cannot write the figure"), std::string::npos);
        const Folder after = {folder.base, folder.base + "/after/"};
        ExpectEarlierFiguresKept(after, form, earlier);
        std::filesystem::remove_all(folder.base);
    }
}

// SIGTERM as soon as the spectrum figure begins to be written, on a grid
// large enough that drawing takes a while: the run ends by the signal and
// leaves the earlier figures.  Should the figure be complete before the
// signal comes (a busy machine), the run is made again.
TEST(KalidorFigureFiles, AnEndingSignalWhileAFigureIsWrittenLeavesTheEarlierOne)
{
    for (const char *form : Forms) {
        SCOPED_TRACE(form);
        const Folder folder = MakeFolder();
        const EarlierFigures earlier = MakeEarlierFigures(folder, form);
        int status = 0;
        for (int attempt = 0; attempt < 4; ++attempt) {
            WriteFileContent(folder.work + FigureName("spectrum", form), earlier.spectrum);
            const int watch = inotify_init1(IN_CLOEXEC);
            ASSERT_GE(watch, 0);
            ASSERT_GE(inotify_add_watch(watch, folder.work.c_str(), IN_CREATE | IN_MODIFY), 0);
            const pid_t pid = StartKalidor(folder, BatchArguments(form, "200000"));
            EXPECT_TRUE(AwaitFigureWriting(watch, form));
            kill(pid, SIGTERM);
            status = WaitStatus(pid);
            close(watch);
            if (!ExitedWith(status, 0))
                break;
        }
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
        ExpectEarlierFiguresKept(folder, form, earlier);
        std::filesystem::remove_all(folder.base);
    }
}

// A link at a figure's name, to someone's file or to nowhere: the figure
// takes the link's place, and the file it pointed to stays as it was (or
// is never made), in the dialogue and in a batch run alike.
TEST(KalidorFigureFiles, ALinkAtAFiguresNameIsReplacedNotWrittenThrough)
{
    const char *const signatures[] = {"\x89PNG\r\n\x1a\n", "<?xml", "%PDF-"};
    for (bool dialogue : {false, true}) {
        for (int f = 0; f < 3; ++f) {
            const char *form = Forms[f];
            SCOPED_TRACE(std::string(form) + (dialogue ? " in the dialogue" : " in a batch run"));
            const Folder folder = MakeFolder();
            WriteFileContent(folder.base + "/victim", "precious\n");
            ASSERT_EQ(symlink("../victim", (folder.work + FigureName("spectrum", form)).c_str()), 0);
            ASSERT_EQ(symlink("../nowhere", (folder.work + FigureName("phase", form)).c_str()), 0);
            Start start;
            std::vector<std::string> args = BatchArguments(form);
            if (dialogue) {
                start.input = DialogueAnswers;
                args = {"--plots", form, "star.jud"};
            }
            const int status = WaitStatus(StartKalidor(folder, args, start));
            EXPECT_TRUE(ExitedWith(status, 0)) << status << FileContent(folder.base + "/stderr");
            EXPECT_EQ(FileContent(folder.base + "/victim"), "precious\n");
            EXPECT_FALSE(FileExists(folder.base + "/nowhere"));
            for (const char *kind : {"spectrum", "phase"}) {
                const std::string name = folder.work + FigureName(kind, form);
                struct stat entry;
                ASSERT_EQ(lstat(name.c_str(), &entry), 0);
                EXPECT_TRUE(S_ISREG(entry.st_mode)) << kind;
                EXPECT_EQ(FileContent(name).compare(0, std::strlen(signatures[f]), signatures[f]), 0) << kind;
            }
            EXPECT_EQ(Entries(folder.work), (std::set<std::string>{"star.jud", "star.ven", FigureName("spectrum", form),
                                                                   FigureName("phase", form)}));
            std::filesystem::remove_all(folder.base);
        }
    }
}
