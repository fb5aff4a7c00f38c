#pragma once

#include <functional>

// Waits up to TimeoutMs for Done() while the thread's events keep flowing (timers fire, the
// window repaints, a click is taken), as the command exchange waits for its reply: nothing
// blocks longer than one step. Stop() returning true ends the wait at once; it is asked first
// after every round of events, so it can tell that the caller's objects went away before Done()
// touches them. Returns true when Done() came true. Without an application object there are
// no events to run and the wait only sleeps between the checks.
bool WaitWithEvents(const std::function<bool()>& Done, int TimeoutMs,
                    const std::function<bool()>& Stop = {}, int StepMs = 5);
