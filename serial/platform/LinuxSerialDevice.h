#pragma once

#include <memory>

#include "serial/platform/ModemManagerInhibitor.h"
#include "serial/platform/SerialDevice.h"

// The serial device on Linux: a terminal opened non-blocking and exclusively, in raw mode.
class TLinuxSerialDevice final : public ISerialDevice {
 public:
  // How long an open that finds the device busy is retried, and the pause between two tries
  // (the events flow in it).
  static constexpr int OpenRetryMs = 1000;
  static constexpr int OpenRetryStepMs = 25;

  TLinuxSerialDevice() = default;
  ~TLinuxSerialDevice() override;
  TLinuxSerialDevice(const TLinuxSerialDevice&) = delete;
  TLinuxSerialDevice& operator=(const TLinuxSerialDevice&) = delete;

  bool Open(const QString& Name) override;
  void Close() override;
  bool IsOpen() const override { return FFd >= 0; }
  bool SetCommState(const TDeviceControlBlock& Dcb) override;
  bool SetupComm(std::uint32_t InQueue, std::uint32_t OutQueue) override;
  bool SetCommTimeouts(const TCommTimeouts& Timeouts) override;
  bool Purge(std::uint32_t Flags) override;
  bool ClearCommError(std::uint32_t& InQue, std::uint32_t& OutQue) override;
  bool GetModemStatus(std::uint32_t& Bits) override;
  bool Read(void* Buffer, std::uint32_t Count, std::uint32_t& Got) override;
  bool Write(const void* Data, std::uint32_t Count, std::uint32_t& Written) override;
  int LastError() const override { return FLastError; }
  bool HungUp() const override { return FHungUp; }
  int Descriptor() const override { return FFd; }
  // A short sleep: the room a send asks for is counted in the queue (TIOCOUTQ), which
  // POLLOUT does not follow.
  void WaitForRoom(std::uint32_t Ms) override;

 private:
  bool Fail();             // keeps errno, returns false; a hang-up errno marks the device gone
  bool HangUp(int Error);  // marks the device gone with Error, returns false
  bool OpenPath(const QByteArray& Path);

  TModemManagerInhibitor FModemManager;  // holds ModemManager off the device while open

  int FFd = -1;
  bool FOpening = false;     // inside Open's waits
  bool FCancelOpen = false;  // Close came while opening
  // Lets Open's waits notice that the owner destroyed the device meanwhile.
  std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
  int FLastError = 0;
  bool FHungUp = false;
  std::uint32_t FWriteTimeoutMs = 10;
};

// Sets any rate in bit/s on an open terminal (termios2); kept apart because the kernel's
// termios2 header cannot share a translation unit with <termios.h>. Returns 0 or an errno.
int SetTerminalRate(int Fd, std::uint32_t Rate);
