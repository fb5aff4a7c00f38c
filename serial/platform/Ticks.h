#pragma once

#include <cstdint>

// Milliseconds from a monotonic clock as a 32-bit counter that wraps; differences taken in
// unsigned arithmetic stay right across the wrap.
std::uint32_t GetTickCount();

// Blocks the calling thread; callers that must keep the UI alive pump events around it.
void SleepMs(std::uint32_t Ms);
