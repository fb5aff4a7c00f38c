#pragma once

#include <initializer_list>

// Stop signals turned into bytes on a pipe. A handler may do almost nothing safely, so it only
// writes one byte; the program's poll loop or socket notifier watches the read end and stops at
// a point of its own choosing. One pipe per process.

// Installs the handler for `Signals` and returns the pipe's read end (non-blocking, closed on
// exec), or -1 with errno set.
int OpenSignalPipe(std::initializer_list<int> Signals);

// Reads away what the handler wrote, so a level-triggered watcher does not fire again.
void DrainSignalPipe(int ReadEnd);
