#include "serial/platform/Ticks.h"

#include <cerrno>
#include <ctime>

std::uint32_t GetTickCount() {
  timespec Now{};
  clock_gettime(CLOCK_MONOTONIC, &Now);
  const auto Ms = static_cast<std::uint64_t>(Now.tv_sec) * 1000u +
                  static_cast<std::uint64_t>(Now.tv_nsec) / 1000000u;
  return static_cast<std::uint32_t>(Ms);
}

void SleepMs(std::uint32_t Ms) {
  timespec Left{static_cast<time_t>(Ms / 1000u), static_cast<long>(Ms % 1000u) * 1000000L};
  while (nanosleep(&Left, &Left) != 0 && errno == EINTR) {
  }
}
