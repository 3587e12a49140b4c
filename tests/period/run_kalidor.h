// Runs kalidor in a directory of its own with prepared standard input, its
// standard output going to a file, and the display forced off the screen.
// Starting and waiting are separate, so that a table of cases runs at once
// (every spectrum pass beeps for a third of a second).
#pragma once
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern char **environ;

// The whole content of a file; empty when it cannot be read.
inline std::string FileContent(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

inline void WriteFileContent(const std::string &path, const std::string &content)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

inline bool FileExists(const std::string &path) { return access(path.c_str(), F_OK) == 0; }

// Starts program with args (without the program name) in directory dir,
// standard input read from inputPath and standard output written to
// outputPath; the environment is the test's own with KALIDOR_DISPLAY set to
// offscreen.  Standard error goes to errorPath when one is given.  Returns
// the process id, or -1 when it could not start.
inline pid_t StartProgram(const std::string &program, const std::vector<std::string> &args, const std::string &dir,
                          const std::string &inputPath, const std::string &outputPath,
                          const std::string &errorPath = std::string())
{
    std::vector<char *> argv;
    argv.push_back(const_cast<char *>(program.c_str()));
    for (const std::string &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);

    static char display[] = "KALIDOR_DISPLAY=offscreen";
    std::vector<char *> env;
    for (char **e = environ; *e != nullptr; ++e)
        if (std::strncmp(*e, "KALIDOR_DISPLAY=", 16) != 0)
            env.push_back(*e);
    env.push_back(display);
    env.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, inputPath.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    if (!errorPath.empty())
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
    posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    return spawned == 0 ? pid : -1;
}

// Waits for a started program; its exit status, or -1 when it did not exit
// normally (or never started).
inline int WaitProgram(pid_t pid)
{
    if (pid < 0)
        return -1;
    int wstatus = 0;
    while (waitpid(pid, &wstatus, 0) != pid)
        if (errno != EINTR)
            return -1;
    return WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
}
