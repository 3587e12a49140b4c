// Runs a program with arguments and collects what it writes on standard
// output and its exit status.  Header only, for the end-to-end tests.
#pragma once
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

extern char **environ;

struct ProgramRun {
    std::string output; // standard output, byte for byte
    int status;         // exit status, or -1 when the program did not exit
};

// Starts path with args (without the program name), reads its standard
// output to the end and waits for it.
inline ProgramRun RunProgram(const std::string &path, const std::vector<std::string> &args)
{
    ProgramRun run{std::string(), -1};
    int fds[2];
    if (pipe(fds) != 0)
        return run;
    std::vector<char *> argv;
    argv.push_back(const_cast<char *>(path.c_str()));
    for (const std::string &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addclose(&actions, fds[1]);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (spawned != 0) {
        close(fds[0]);
        return run;
    }
    char buffer[4096];
    ssize_t n;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0)
        run.output.append(buffer, static_cast<std::size_t>(n));
    close(fds[0]);
    int wstatus = 0;
    if (waitpid(pid, &wstatus, 0) == pid && WIFEXITED(wstatus))
        run.status = WEXITSTATUS(wstatus);
    return run;
}
