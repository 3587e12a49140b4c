#include "hardcopy.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "bandstream.h"
#include "numparse.h"
#include "fileio.h"
#include "output.h"
#include "outputfile.h"
#include "runerror.h"
#include "screen.h"
#include "signalend.h"

extern char **environ;

namespace {

const char *const Spooler = "/usr/bin/lpr";

std::string hardCopyStem;
std::string hardCopyInput;

struct {
    std::string path;
    int fd = -1;
    bool written = false;
    int signalSlot = -1;
} spool;

// Any entry counts, a symbolic link too (dangling or not): it is found, and
// then refused rather than written through.
bool EntryExists(const std::string &path)
{
    struct stat info;
    return lstat(path.c_str(), &info) == 0;
}

std::string JoinDirectory(const std::string &directory, const std::string &path)
{
    if (!directory.empty() && directory.back() == '/')
        return directory + path;
    return directory + "/" + path;
}

std::string EnvironmentText(const char *name)
{
    const char *value = std::getenv(name);
    return value ? value : "";
}

// The places searched for an existing hard-copy file, in order; an empty
// result means not found.
std::string FindHardCopyFile(const std::string &path)
{
    if (path.find_first_of("?*") != std::string::npos)
        return "";
    if (!path.empty() && path[0] == '/')
        return EntryExists(path) ? path : "";
    if (EntryExists(path))
        return path;
    const std::string temp = EnvironmentText("TEMP");
    if (!temp.empty() && EntryExists(JoinDirectory(temp, path)))
        return JoinDirectory(temp, path);
    const std::string search = EnvironmentText("PATH");
    std::size_t start = 0;
    while (start <= search.size()) {
        const std::size_t end = search.find_first_of(":;", start);
        const std::string directory = search.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!directory.empty() && EntryExists(JoinDirectory(directory, path)))
            return JoinDirectory(directory, path);
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return "";
}

// Where a new hard-copy file is made: in TEMP when it is set, else at the
// path itself.  An absolute path is always created where it names.
std::string NewHardCopyPlace(const std::string &path)
{
    const std::string temp = EnvironmentText("TEMP");
    if (temp.empty() || (!path.empty() && path[0] == '/'))
        return path;
    return JoinDirectory(temp, path);
}

off_t SeekOrStop(int fd, off_t offset, int whence)
{
    const off_t at = lseek(fd, offset, whence);
    if (at < 0)
        RunErrorFromErrno(errno);
    return at;
}

// The path of CopyScreenToFile: directory part, base, and the extension
// after the last '.' behind the last '/', ".prn" when there is none.
std::string HardCopyPath(const std::string &name)
{
    const std::size_t slash = name.rfind('/');
    const std::size_t baseStart = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = name.rfind('.');
    const bool hasExtension = dot != std::string::npos && dot >= baseStart;
    return hasExtension ? name : name + ".prn";
}

} // namespace

void SetHardCopyStem(const std::string &stem) { hardCopyStem = stem; }

void SetHardCopyInput(const std::string &inputName) { hardCopyInput = inputName; }

namespace {

// The slot's place in a file of 'length' bytes: (slot - 1) x dumpSize
// (slot 0 is slot 1), but at most the end of the last complete dump, so
// that a file cut short by an earlier failure gets its next dump at a slot
// boundary, over the cut one.
off_t SlotPosition(off_t length, long dumpSize, uint8_t slot)
{
    const off_t whole = length - length % dumpSize;
    const off_t target = slot >= 1 ? static_cast<off_t>(slot - 1) * dumpSize : 0;
    return target < whole ? target : whole;
}

bool IsInputFile(int fd)
{
    struct stat file, input;
    if (hardCopyInput.empty() || fstat(fd, &file) != 0 || stat(hardCopyInput.c_str(), &input) != 0)
        return false;
    return file.st_dev == input.st_dev && file.st_ino == input.st_ino;
}

// Copies the first 'length' bytes of 'from' to 'to' at the same places.
void CopyFileStart(int from, int to, off_t length)
{
    static unsigned char buffer[64 * 1024];
    off_t done = 0;
    while (done < length) {
        const off_t left = length - done;
        const std::size_t want = left < off_t(sizeof buffer) ? static_cast<std::size_t>(left) : sizeof buffer;
        const ssize_t got = pread(from, buffer, want, done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            RunErrorFromErrno(got < 0 ? errno : EIO);
        WriteOrStop(to, buffer, static_cast<std::size_t>(got));
        done += got;
    }
}

// A hard copy that is not made: the message, and the run goes on.
void RefuseHardCopy(const std::string &path, const char *reason) { WriteLine("Soubor " + path + " " + reason); }

const char *const IsLinkReason = "je symbolicky odkaz, nelze do nej zapsat.";
const char *const IsInputReason = "je vstupni soubor, nelze jej prepsat.";

// Writes the dump into a copy of the existing file beside it and puts the
// copy in its place, so that a failure leaves the file as it was.  Without
// 'keepContent' the copy starts empty (a name that is never found is made
// anew).  Where the directory takes no new file, the dump is written in
// place.
void WriteDumpIntoFile(int existing, const std::string &path, long dumpSize, uint8_t slot, bool keepContent)
{
    const off_t length = keepContent ? SeekOrStop(existing, 0, SEEK_END) : 0;
    const off_t position = SlotPosition(length, dumpSize, slot);
    const int copy = OpenReplacement(path);
    if (copy < 0) {
        if (errno != EACCES && errno != EPERM && errno != EROFS)
            RunErrorFromErrno(errno);
        if (!keepContent && ftruncate(existing, 0) != 0)
            RunErrorFromErrno(errno);
        SeekOrStop(existing, position, SEEK_SET);
        WriteFileDump(existing);
        CloseOrStop(existing);
        return;
    }
    CopyFileStart(existing, copy, length);
    CloseOrStop(existing);
    SeekOrStop(copy, position, SEEK_SET);
    WriteFileDump(copy);
    CommitReplacement(copy);
}

} // namespace

int OpenHardCopyFile(const std::string &path, long dumpSize, uint8_t slot)
{
    const std::string found = FindHardCopyFile(path);
    if (found.empty()) {
        const int fd = CreateNewFile(NewHardCopyPlace(path));
        if (fd < 0)
            RunErrorFromErrno(errno);
        return fd;
    }
    const int fd = open(found.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        RunErrorFromErrno(errno);
    SeekOrStop(fd, SlotPosition(SeekOrStop(fd, 0, SEEK_END), dumpSize, slot), SEEK_SET);
    return fd;
}

void CopyScreenToFile(const std::string &name, uint8_t slot)
{
    const std::string path = HardCopyPath(name);
    const std::string found = FindHardCopyFile(path);
    // A name with '?' or '*' is never found: its file is made anew, in
    // place of any entry of that name.
    const std::string place = found.empty() ? NewHardCopyPlace(path) : found;
    struct stat entry;
    if (lstat(place.c_str(), &entry) != 0) {
        // A new file: created exclusively, removed again when the dump
        // cannot be completed.
        const int fd = OpenHardCopyFile(path, DumpSize(), slot);
        WriteFileDump(fd);
        CommitReplacement(fd);
        return;
    }
    if (S_ISLNK(entry.st_mode)) {
        RefuseHardCopy(place, IsLinkReason);
        return;
    }
    const int fd = open(place.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0 && errno == ELOOP) { // became a link since
        RefuseHardCopy(place, IsLinkReason);
        return;
    }
    if (fd < 0)
        RunErrorFromErrno(errno);
    if (IsInputFile(fd)) {
        close(fd);
        RefuseHardCopy(place, IsInputReason);
        return;
    }
    struct stat file;
    if (fstat(fd, &file) == 0 && !S_ISREG(file.st_mode)) {
        // A device or a pipe has no earlier content to keep.
        WriteFileDump(fd);
        CloseOrStop(fd);
        return;
    }
    WriteDumpIntoFile(fd, place, DumpSize(), slot, !found.empty());
}

void CopyScreenToPrinter() { WritePrinterDump(PrinterWriteByte); }

void HardCopyPrompt()
{
    const std::string answer = ReadInputLine(3);
    if (answer.empty())
        return;
    if (answer[0] == 'f' || answer[0] == 'F') {
        const UnsignedParse slot = ParseUnsigned(answer.substr(1));
        if (slot.position != 0)
            return;
        CopyScreenToFile(hardCopyStem, static_cast<uint8_t>(slot.value));
    } else if (answer[0] == 'p' || answer[0] == 'P') {
        CopyScreenToPrinter();
    }
}

const std::string &PrinterSpoolPath() { return spool.path; }

namespace {

// Creates a spool file exclusively, never through a link; -1 with errno.
int CreateSpoolFile(const std::string &path)
{
    return open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
}

// Another name in /tmp for the spool, when someone else's entry holds
// /tmp/<pid>.lst.
std::string OtherSpoolName(int attempt)
{
    return "/tmp/" + std::to_string(getpid()) + "-" + std::to_string(attempt) + "-" +
           std::to_string(static_cast<unsigned>(rand()) % 100000u) + ".lst";
}

} // namespace

void OpenPrinterSpool()
{
    spool.path = "/tmp/" + std::to_string(getpid()) + ".lst";
    spool.written = false;
    // Exclusive creation without following links: an entry placed under
    // this predictable name beforehand is never written through; the spool
    // then takes another free name.
    BlockEndingSignals();
    spool.fd = CreateSpoolFile(spool.path);
    srand(static_cast<unsigned>(getpid()) ^ static_cast<unsigned>(time(nullptr)));
    for (int attempt = 1; spool.fd < 0 && errno == EEXIST && attempt <= 100; ++attempt) {
        spool.path = OtherSpoolName(attempt);
        spool.fd = CreateSpoolFile(spool.path);
    }
    if (spool.fd >= 0)
        spool.signalSlot = RemoveOnSignal(spool.path);
    UnblockEndingSignals();
    AddExitHook(ClosePrinterSpool);
}

void PrinterWriteByte(unsigned char byte)
{
    if (spool.fd < 0)
        RunError(RunErrorFileNotOpen);
    spool.written = true;
    WriteOrStop(spool.fd, &byte, 1);
}

namespace {

// Runs the spooler on the spool file and waits for it; true when it ended
// with status 0.  Otherwise 'failure' tells what went wrong.
bool RunSpooler(const std::string &path, std::string &failure)
{
    std::fflush(stdout);
    // The child reports a failed exec through this pipe, which the exec
    // closes when it succeeds.
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0)
        report[0] = report[1] = -1;
    const pid_t child = fork();
    if (child < 0) {
        failure = std::string("cannot start ") + Spooler + " (" + std::strerror(errno) + ")";
        return false;
    }
    if (child == 0) {
        RestoreSignalsForChild();
        char *const arguments[] = {const_cast<char *>(Spooler), const_cast<char *>(path.c_str()), nullptr};
        execve(Spooler, arguments, environ);
        const int errnum = errno;
        if (report[1] >= 0)
            (void)!write(report[1], &errnum, sizeof errnum);
        _exit(128);
    }
    int execError = 0;
    if (report[1] >= 0) {
        close(report[1]);
        while (read(report[0], &execError, sizeof execError) < 0 && errno == EINTR) {
        }
        close(report[0]);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            failure = std::string("lost ") + Spooler + " (" + std::strerror(errno) + ")";
            return false;
        }
    }
    if (execError != 0)
        failure = std::string("cannot run ") + Spooler + " (" + std::strerror(execError) + ")";
    else if (WIFSIGNALED(status))
        failure = std::string(Spooler) + " was ended by signal " + std::to_string(WTERMSIG(status));
    else if (WEXITSTATUS(status) != 0)
        failure = std::string(Spooler) + " ended with status " + std::to_string(WEXITSTATUS(status));
    return failure.empty();
}

} // namespace

void ClosePrinterSpool()
{
    // A channel that never opened and was never written ends quietly; an
    // attempt to print through it has stopped the program already.
    if (spool.fd < 0)
        return;
    const int fd = spool.fd;
    spool.fd = -1;
    CloseOrStop(fd);
    std::string failure;
    if (!spool.written || RunSpooler(spool.path, failure))
        unlink(spool.path.c_str());
    else // the job stays for the user, who is told where
        std::fprintf(stderr, "%s: %s; the print job stays in %s\n", program_invocation_short_name, failure.c_str(),
                     spool.path.c_str());
    ForgetRemovalOnSignal(spool.signalSlot);
}
