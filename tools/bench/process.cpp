#include "tools/bench/process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace {

std::vector<std::string> ChangedEnvironment(const EnvChanges& changes) {
    std::vector<std::string> env;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string variable = *entry;
        const std::string name = variable.substr(0, variable.find('='));
        bool changed = false;
        for (const auto& change : changes) changed |= change.first == name;
        if (!changed) env.push_back(variable);
    }
    for (const auto& [name, value] : changes) {
        if (value) env.push_back(name + "=" + *value);
    }
    return env;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (std::string& s : strings) pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

}  // namespace

pid_t Spawn(const std::vector<std::string>& argv, const ChildSetup& setup, std::string& error) {
    std::vector<std::string> args = argv, env = ChangedEnvironment(setup.env);
    std::vector<char*> argp = Pointers(args), envp = Pointers(env);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const auto redirect = [&actions](int fd, const std::string& path) {
        posix_spawn_file_actions_addopen(&actions, fd, path.empty() ? "/dev/null" : path.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
    };
    redirect(STDOUT_FILENO, setup.stdoutPath);
    redirect(STDERR_FILENO, setup.stderrPath);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (!setup.cwd.empty()) posix_spawn_file_actions_addchdir_np(&actions, setup.cwd.c_str());
    pid_t pid = -1;
    const int failed = posix_spawnp(&pid, argp[0], &actions, nullptr, argp.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) {
        error = "cannot run " + argv[0] + ": " + std::strerror(failed);
        return -1;
    }
    return pid;
}

ProcessResult RunProcess(const std::vector<std::string>& argv, const ChildSetup& setup) {
    ProcessResult result;
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = Spawn(argv, setup, result.error);
    if (pid < 0) return result;
    int status = 0;
    waitpid(pid, &status, 0);
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
    } else {
        result.error = argv[0] + " was ended by signal " + std::to_string(WTERMSIG(status));
    }
    return result;
}

void StopChild(pid_t pid, double graceSeconds) {
    kill(pid, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(graceSeconds);
    while (waitpid(pid, nullptr, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}
