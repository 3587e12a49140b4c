#include "hardcopy.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "bandstream.h"
#include "numparse.h"
#include "fileio.h"
#include "runerror.h"
#include "screen.h"

extern char **environ;

namespace {

std::string hardCopyStem;

struct {
    std::string path;
    int fd = -1;
    bool written = false;
} spool;

bool EntryExists(const std::string &path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0;
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

int OpenHardCopyFile(const std::string &path, long dumpSize, uint8_t slot)
{
    const std::string found = FindHardCopyFile(path);
    if (found.empty()) {
        const int fd = open(NewHardCopyPlace(path).c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd < 0)
            RunErrorFromErrno(errno);
        return fd;
    }
    const int fd = open(found.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        RunErrorFromErrno(errno);
    const off_t length = SeekOrStop(fd, 0, SEEK_END);
    const off_t target = slot >= 1 ? static_cast<off_t>(slot - 1) * dumpSize : 0;
    SeekOrStop(fd, target < length ? target : length, SEEK_SET);
    return fd;
}

void CopyScreenToFile(const std::string &name, uint8_t slot)
{
    const int fd = OpenHardCopyFile(HardCopyPath(name), DumpSize(), slot);
    WriteFileDump(fd);
    CloseOrStop(fd);
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

void OpenPrinterSpool()
{
    spool.path = "/tmp/" + std::to_string(getpid()) + ".lst";
    spool.written = false;
    // Exclusive creation without following links: an entry placed under
    // this predictable name beforehand is never written through.
    spool.fd = open(spool.path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
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
// with status 0.
bool RunSpooler(const std::string &path)
{
    std::fflush(stdout);
    const pid_t child = fork();
    if (child < 0)
        return false;
    if (child == 0) {
        char *const arguments[] = {const_cast<char *>("/usr/bin/lpr"), const_cast<char *>(path.c_str()), nullptr};
        execve("/usr/bin/lpr", arguments, environ);
        _exit(128);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0)
        if (errno != EINTR)
            return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
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
    if (!spool.written) {
        unlink(spool.path.c_str());
        return;
    }
    if (RunSpooler(spool.path))
        unlink(spool.path.c_str());
}
