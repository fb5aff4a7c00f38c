#include "SignalPipe.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace {

int Pipe[2] = {-1, -1};

void OnSignal(int) {
  const char Byte = 1;
  const int Saved = errno;
  // Non-blocking: with the pipe full a wake-up is already pending, and a handler must never wait.
  [[maybe_unused]] const auto Written = ::write(Pipe[1], &Byte, 1);
  errno = Saved;
}

}  // namespace

int OpenSignalPipe(std::initializer_list<int> Signals) {
  if (Pipe[0] < 0 && ::pipe2(Pipe, O_CLOEXEC | O_NONBLOCK) != 0) return -1;
  struct sigaction Action {};
  Action.sa_handler = OnSignal;
  sigemptyset(&Action.sa_mask);
  Action.sa_flags = SA_RESTART;
  for (const int Signal : Signals) sigaction(Signal, &Action, nullptr);
  return Pipe[0];
}

void DrainSignalPipe(int ReadEnd) {
  char Bytes[64];
  while (::read(ReadEnd, Bytes, sizeof Bytes) > 0) {
  }
}
