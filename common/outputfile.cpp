#include "outputfile.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "fileio.h"
#include "runerror.h"
#include "signalend.h"

namespace {

// A file being written: a replacement renamed over finalName when complete,
// or a new file (finalName empty) kept where it is.  Unfinished ones are
// removed at the end of the program.
struct UnfinishedFile {
    int fd = -1;
    std::string path;
    std::string finalName;
    int signalSlot = -1;
};

const int MaxUnfinished = 4;
UnfinishedFile unfinished[MaxUnfinished];
bool exitHookAdded = false;

void RemoveUnfinishedFiles()
{
    for (UnfinishedFile &f : unfinished) {
        if (f.path.empty())
            continue;
        if (f.fd >= 0)
            close(f.fd);
        unlink(f.path.c_str());
        ForgetRemovalOnSignal(f.signalSlot);
        f = UnfinishedFile();
    }
}

UnfinishedFile *FreeEntry()
{
    for (UnfinishedFile &f : unfinished)
        if (f.path.empty())
            return &f;
    return nullptr;
}

UnfinishedFile *EntryOf(int fd)
{
    for (UnfinishedFile &f : unfinished)
        if (!f.path.empty() && f.fd == fd)
            return &f;
    return nullptr;
}

// Six letters or digits, different from call to call and from process to
// process.
std::string RandomSuffix()
{
    static unsigned long long state = 0;
    if (state == 0) {
        timespec now;
        clock_gettime(CLOCK_REALTIME, &now);
        state = (static_cast<unsigned long long>(getpid()) << 32) ^ static_cast<unsigned long long>(now.tv_nsec) ^
                static_cast<unsigned long long>(now.tv_sec);
    }
    const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::string suffix;
    for (int i = 0; i < 6; ++i) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        suffix.push_back(letters[(state >> 33) % 62]);
    }
    return suffix;
}

// Creates 'path' exclusively and notes it as unfinished; -1 with errno.
int CreateUnfinished(UnfinishedFile &entry, const std::string &path, const std::string &finalName, int access)
{
    BlockEndingSignals();
    const int fd = open(path.c_str(), access | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    const int openError = errno;
    if (fd >= 0) {
        entry.fd = fd;
        entry.path = path;
        entry.finalName = finalName;
        entry.signalSlot = RemoveOnSignal(path);
    }
    UnblockEndingSignals();
    if (fd >= 0 && !exitHookAdded) {
        AddExitHook(RemoveUnfinishedFiles);
        exitHookAdded = true;
    }
    errno = openError;
    return fd;
}

// Where a name leads: the file a symbolic link points to (so that the link
// stays), else the name itself.
std::string FileBehind(const std::string &name)
{
    struct stat info;
    if (lstat(name.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
        return name;
    char *resolved = realpath(name.c_str(), nullptr);
    if (resolved == nullptr)
        return name; // a dangling link is replaced by the new file
    const std::string target = resolved;
    std::free(resolved);
    return target;
}

bool DirectoryRefusesNewFiles(int errnum) { return errnum == EACCES || errnum == EPERM || errnum == EROFS; }

// The entry at the name (not a symbolic link) opened for writing and
// emptied, where no replacement can be made or there is nothing to keep.
int OpenInPlace(const std::string &name)
{
    const int fd = open(name.c_str(), O_WRONLY | O_TRUNC | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        RunErrorFromErrno(errno);
    return fd;
}

} // namespace

int OpenReplacement(const std::string &finalName)
{
    UnfinishedFile *entry = FreeEntry();
    if (entry == nullptr) {
        errno = EMFILE;
        return -1;
    }
    const std::size_t slash = finalName.rfind('/');
    const std::string directory = slash == std::string::npos ? "" : finalName.substr(0, slash + 1);
    std::string base = slash == std::string::npos ? finalName : finalName.substr(slash + 1);
    if (base.size() > 200)
        base.resize(200); // room for the suffix within a file name's limit
    // The mode of the file at the name itself: a link there is replaced,
    // not the file it points to.
    struct stat earlier;
    const bool replacesFile = lstat(finalName.c_str(), &earlier) == 0 && S_ISREG(earlier.st_mode);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const int fd = CreateUnfinished(*entry, directory + base + "." + RandomSuffix(), finalName, O_RDWR);
        if (fd >= 0) {
            if (replacesFile)
                (void)fchmod(fd, earlier.st_mode & 0777);
            return fd;
        }
        if (errno != EEXIST)
            return -1;
    }
    return -1;
}

void CommitReplacement(int fd)
{
    UnfinishedFile *entry = EntryOf(fd);
    if (entry == nullptr) {
        CloseOrStop(fd);
        return;
    }
    entry->fd = -1;
    CloseOrStop(fd);
    BlockEndingSignals();
    const bool renamed = entry->finalName.empty() || rename(entry->path.c_str(), entry->finalName.c_str()) == 0;
    const int renameError = errno;
    if (renamed) {
        ForgetRemovalOnSignal(entry->signalSlot);
        *entry = UnfinishedFile();
    }
    UnblockEndingSignals();
    if (!renamed)
        RunErrorFromErrno(renameError); // the exit hook removes the replacement
}

int CreateNewFile(const std::string &name)
{
    UnfinishedFile *entry = FreeEntry();
    if (entry == nullptr) {
        errno = EMFILE;
        return -1;
    }
    return CreateUnfinished(*entry, name, "", O_RDWR);
}

int CreateOutputFile(const std::string &name)
{
    const std::string target = FileBehind(name);
    struct stat info;
    const bool exists = stat(target.c_str(), &info) == 0;
    if (exists && !S_ISREG(info.st_mode))
        return CreateFileOrStop(target);
    if (exists) {
        // The earlier file must be writable, as when it is emptied in place.
        const int probe = open(target.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (probe < 0)
            RunErrorFromErrno(errno);
        close(probe);
    }
    const int fd = OpenReplacement(target);
    if (fd >= 0)
        return fd;
    // A writable file in a directory that takes no new file is written in
    // place, as there is no other way to write it.
    if (exists && DirectoryRefusesNewFiles(errno))
        return CreateFileOrStop(target);
    RunErrorFromErrno(errno);
}

int CreateReplacingOutputFile(const std::string &name)
{
    struct stat entry;
    const bool exists = lstat(name.c_str(), &entry) == 0;
    if (exists && S_ISDIR(entry.st_mode))
        RunErrorFromErrno(EISDIR); // as opening a directory for writing fails
    if (exists && !S_ISREG(entry.st_mode) && !S_ISLNK(entry.st_mode))
        return OpenInPlace(name);
    if (exists && S_ISREG(entry.st_mode)) {
        // The earlier file must be writable, as when it is emptied in place.
        const int probe = open(name.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC);
        if (probe < 0)
            RunErrorFromErrno(errno);
        close(probe);
    }
    const int fd = OpenReplacement(name);
    if (fd >= 0)
        return fd;
    if (exists && S_ISREG(entry.st_mode) && DirectoryRefusesNewFiles(errno))
        return OpenInPlace(name);
    RunErrorFromErrno(errno);
}

void FinishOutputFile(int fd) { CommitReplacement(fd); }
