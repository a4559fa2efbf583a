// SPDX-License-Identifier: MIT
#pragma once
// Starts a program of the tree as a process of its own, its output and errors written to files.
#include <fcntl.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

extern char** environ;

namespace r8::test {

// args[0] is the program's path; returns posix_spawn's result and sets pid. The program runs in
// cwd when one is given.
inline int SpawnProgram(std::vector<std::string> args, const std::string& out,
                        const std::string& err, pid_t& pid, char** env = environ,
                        const std::string& cwd = {}) {
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, STDOUT_FILENO, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&fa, STDERR_FILENO, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    if (!cwd.empty()) posix_spawn_file_actions_addchdir_np(&fa, cwd.c_str());
    const int rc = posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), env);
    posix_spawn_file_actions_destroy(&fa);
    return rc;
}

// A waitpid status as a shell gives it: the exit code, or 128 plus the signal that ended it.
inline int ExitCode(int status) {
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

} // namespace r8::test
