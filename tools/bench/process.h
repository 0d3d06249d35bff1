// Child processes for the benchmarks: started with a changed environment and their output sent to files.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

// Variables to set (with a value) or to remove (without) in a child's environment.
using EnvChanges = std::vector<std::pair<std::string, std::optional<std::string>>>;

struct ChildSetup {
    EnvChanges env;
    std::string cwd;         // empty: the caller's
    std::string stdoutPath;  // empty: /dev/null
    std::string stderrPath;  // empty: /dev/null
};

// Starts argv[0] (looked up on PATH when it has no slash); -1, with the reason in `error`, when it cannot.
pid_t Spawn(const std::vector<std::string>& argv, const ChildSetup& setup, std::string& error);

struct ProcessResult {
    int exitCode = -1;     // -1 when it did not start or did not exit by itself
    double seconds = 0.0;  // from just before the start to the exit
    std::string error;
};
// Starts a child and waits for it.
ProcessResult RunProcess(const std::vector<std::string>& argv, const ChildSetup& setup);

// Asks a child to stop (SIGTERM), and kills it if it has not stopped after `graceSeconds`; reaps it.
void StopChild(pid_t pid, double graceSeconds);

std::string ReadFile(const std::string& path);
