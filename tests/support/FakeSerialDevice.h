#pragma once

#include <QByteArray>
#include <QString>
#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "serial/platform/SerialDevice.h"
#include "serial/platform/Ticks.h"

// What a fake device saw and what it will answer; shared with the test after the driver
// takes ownership of the device.
struct TFakeSerialState {
  bool CanOpen = true;
  bool AcceptLine = true;
  bool Open = false;
  QString OpenedName;
  std::vector<TDeviceControlBlock> Lines;
  std::vector<std::uint32_t> Purges;
  std::vector<TCommTimeouts> Timeouts;
  int Setups = 0;
  QByteArray Input;                         // bytes waiting to be read
  std::vector<std::uint32_t> Reads;         // counts asked for
  QByteArray Output;                        // bytes written
  std::uint32_t OutQue = 0;                 // reported output queue
  std::uint32_t WriteLimit = 0xFFFFFFFFu;   // bytes Write still accepts
  std::uint32_t MaxPerWrite = 0xFFFFFFFFu;  // bytes one Write takes at most
  bool ModemOk = true;
  std::uint32_t ModemBits = 0;
  bool HangUp = false;                      // the device is gone
  std::uint32_t HangUpAfter = 0xFFFFFFFFu;  // it goes once this many bytes were written
  int QueueChecks = 0;                      // ClearCommError calls
  bool SleepForRoom = false;                // WaitForRoom really waits (a real clock)
};

class TFakeSerialDevice final : public ISerialDevice {
 public:
  explicit TFakeSerialDevice(std::shared_ptr<TFakeSerialState> State) : S(std::move(State)) {}

  bool Open(const QString& Name) override {
    if (!S->CanOpen || S->Open) return false;
    S->Open = true;
    S->HangUp = false;
    S->OpenedName = Name;
    return true;
  }
  void Close() override { S->Open = false; }
  bool IsOpen() const override { return S->Open; }
  bool SetCommState(const TDeviceControlBlock& Dcb) override {
    S->Lines.push_back(Dcb);
    return S->AcceptLine;
  }
  bool SetupComm(std::uint32_t, std::uint32_t) override { return ++S->Setups > 0; }
  bool SetCommTimeouts(const TCommTimeouts& T) override {
    S->Timeouts.push_back(T);
    return true;
  }
  bool Purge(std::uint32_t Flags) override {
    S->Purges.push_back(Flags);
    if (Flags & PurgeRxClear) S->Input.clear();
    return true;
  }
  bool ClearCommError(std::uint32_t& InQue, std::uint32_t& OutQue) override {
    ++S->QueueChecks;
    InQue = S->HangUp ? 0 : static_cast<std::uint32_t>(S->Input.size());
    OutQue = S->HangUp ? 0 : S->OutQue;
    return !S->HangUp;
  }
  bool GetModemStatus(std::uint32_t& Bits) override {
    Bits = S->ModemOk ? S->ModemBits : 0;
    return S->ModemOk;
  }
  bool Read(void* Buffer, std::uint32_t Count, std::uint32_t& Got) override {
    S->Reads.push_back(Count);
    Got = std::min(Count, static_cast<std::uint32_t>(S->Input.size()));
    std::copy_n(S->Input.constData(), Got, static_cast<char*>(Buffer));
    S->Input.remove(0, Got);
    return true;
  }
  bool Write(const void* Data, std::uint32_t Count, std::uint32_t& Written) override {
    Written = 0;
    if (S->HangUp) return false;
    Written = std::min({Count, S->WriteLimit, S->MaxPerWrite});
    S->WriteLimit -= Written;
    S->Output.append(static_cast<const char*>(Data), Written);
    if (static_cast<std::uint32_t>(S->Output.size()) >= S->HangUpAfter) S->HangUp = true;
    return Written > 0;
  }
  void WaitForRoom(std::uint32_t Ms) override {
    if (S->SleepForRoom) SleepMs(Ms);
  }
  int LastError() const override { return 0; }
  bool HungUp() const override { return S->HangUp; }

 private:
  std::shared_ptr<TFakeSerialState> S;
};
