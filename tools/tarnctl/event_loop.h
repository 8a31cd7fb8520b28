// Every tarnctl command runs on the application's one event loop: a command starts its first step
// from the loop and each step hands its exit code to the next, until one ends the command. No step
// runs a loop of its own.
#pragma once

#include <functional>

namespace tarnctl {

// Runs the application's loop until endLoop(); returns the exit code. `start` runs from the loop.
int runLoop(const std::function<void()>& start);
// Ends the command with `code`, from the event loop (also when called before runLoop's loop runs).
void endLoop(int code);

}  // namespace tarnctl
