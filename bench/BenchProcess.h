// Starting the programs a benchmark compares: the contender and its reference
// run as child processes, timed from start to exit.
#pragma once

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace bench {

struct Finished {
    double seconds = 0;
    long maxRssKb = 0;
    int status = -1; // the exit status; -1 when it could not start or was killed
};

// Runs `argv` (looked up in PATH when it has no slash) with `extraEnv` added
// to ours and its standard output going to `output`.
inline Finished Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv = {},
    const std::filesystem::path& output = "/dev/null")
{
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        env.emplace_back(*e);
    env.insert(env.end(), extraEnv.begin(), extraEnv.end());
    std::vector<std::string> copy = argv;
    std::vector<char*> envp, args;
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    for (auto& a : copy)
        args.push_back(a.data());
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    Finished finished;
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = -1;
    if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data()) == 0) {
        int status = 0;
        rusage usage {};
        wait4(pid, &status, 0, &usage);
        finished.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        finished.maxRssKb = usage.ru_maxrss;
        finished.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    return finished;
}

} // namespace bench
