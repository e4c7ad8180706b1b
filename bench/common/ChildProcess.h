#pragma once

// A benchmark's helper process (the simulated cameras run in a child so
// their CPU is not counted as the client's), talked to over its stdin and
// stdout.

#include <spawn.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

extern char** environ;

namespace orbisight::bench {

struct Child {
    pid_t pid = -1;
    FILE* in = nullptr;   // our end of its stdin
    FILE* out = nullptr;  // our end of its stdout
};

// Starts program with the arguments (args[0] is the program's name as it
// sees it). pid is -1 when it could not be started.
inline Child SpawnChild(const char* program, std::vector<std::string> args) {
    int toChild[2];
    int fromChild[2];
    Child child;
    if (pipe(toChild) != 0 || pipe(fromChild) != 0) {
        return child;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toChild[0], 0);
    posix_spawn_file_actions_adddup2(&actions, fromChild[1], 1);
    posix_spawn_file_actions_addclose(&actions, toChild[1]);
    posix_spawn_file_actions_addclose(&actions, fromChild[0]);
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    if (posix_spawn(&child.pid, program, &actions, nullptr, argv.data(), environ) != 0) {
        child.pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    close(toChild[0]);
    close(fromChild[1]);
    child.in = fdopen(toChild[1], "w");
    child.out = fdopen(fromChild[0], "r");
    return child;
}

}  // namespace orbisight::bench
