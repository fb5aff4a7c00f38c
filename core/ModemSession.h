#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "core/CellReports.h"
#include "core/reports/ReportFamily.h"

class QTimer;
class TSerialPortDriver;

// What one report of a cycle gives: the parts of the display its reply fills. A part left
// empty keeps what the display shows.
struct TCycleView {
  std::optional<TServingCellView> Serving;
  // Element k is grid column k + 1.
  std::optional<std::vector<TNeighbourColumnView>> Neighbours;
  // The identity report's field list, when the reply carried one.
  std::optional<QList<QByteArray>> Fields;
  // BSIC and cell identity of all seven columns.
  std::optional<std::array<TIdentityColumnView, 7>> Identities;
};

// Turns a reply's lines, and the cell records as they stood before it, into a partial view.
using TReportReader = std::function<TCycleView(const QList<QByteArray>& Lines,
                                               const std::array<TCellInfo, 7>& Cells)>;

// One exchange of a monitoring cycle: the command line sent, and the reader of its reply
// (none: the reply is awaited and not read, e.g. a command that switches a report on). With
// HandOn, the answered reply's lines go in front of the next reply's, for the next exchange's
// reader to read both (a family whose report takes two commands).
struct TReportExchange {
  QByteArray Command;
  TReportReader Read;
  bool HandOn = false;
};
// The exchanges of one cycle, in order. Each modem family has its own list.
using TReportExchanges = std::vector<TReportExchange>;

// The readers of the three engineering reports, as partial views.
TCycleView ReadServingCell(const QList<QByteArray>& Lines, const std::array<TCellInfo, 7>& Cells);
TCycleView ReadNeighbourCells(const QList<QByteArray>& Lines,
                              const std::array<TCellInfo, 7>& Cells);
TCycleView ReadCellIdentities(const QList<QByteArray>& Lines,
                              const std::array<TCellInfo, 7>& Cells);

// "AT^MONI", "AT^MONP", "AT^SMONC": the family every modem of no other known family gets.
TReportExchanges MoniReportExchanges();
// The exchanges of a family's cycle. For the AT+CENG, AT#MONI, AT+CCED and 2G AT+QENG families
// the commands before the last only switch the report on and are not read; the last one's reply
// goes through the family's reader. The AT+QENG and AT+CPSI? families hand every earlier reply
// on, so the reader sees the serving cell's and the neighbours' replies together.
TReportExchanges FamilyReportExchanges(TReportFamily Family);

// How a cycle ended.
enum class TCycleResult : std::uint8_t {
  Done,       // every exchange ran (answered or not)
  Abandoned,  // the connection or the switch that started it changed inside a wait
  Refused,    // another cycle of the same generation is running; nothing was sent
};

// How an exchange stands, as the session reports it to whoever watches.
enum class TExchangeStage : std::uint8_t {
  Sent,       // the command went out (or was tried); the wait begins
  Answered,   // the terminator came
  Failed,     // no terminator within the time-out
  Abandoned,  // the connection or the cycle it belonged to changed while it waited
};

// Where going online stopped: the command of the step that failed and how it failed.
struct TFailedStep {
  QByteArray Command;    // as sent, without the carriage return ("+++", "ATV1", "AT+GMI", ...)
  QByteArray ErrorLine;  // the error line the modem answered with, empty when it said none
  bool SendFailed = false;  // the command could not be written to the port
  bool NoValue = false;     // answered OK with no value before it
};

// The modem session: the port driver, the command exchange with its event-pumping wait, going
// online (InitModem, ReadDeviceInfo) and the monitoring cycle, producing views of the cells.
// Widget-free: the monitor window applies the views to its controls, and a command-line front
// end can run the same session under QCoreApplication. Everything runs on the owner's thread.
//
// Waits pump events, so anything can happen inside one: the port closed, reopened, the device
// lost, monitoring switched, the program closing. Every such change starts a new generation;
// a wait that finds the generation changed ends at once, and the cycle or going online it
// belongs to is abandoned: it reads nothing more, sends nothing more and reports Abandoned.
class TModemSession : public QObject {
  Q_OBJECT

 public:
  static constexpr std::uint16_t ReplyTimeout = 500;
  // The reply buffer never grows beyond this; a device that streams between exchanges would
  // otherwise exhaust memory. Far above any reply the program awaits.
  static constexpr qsizetype MaxReplySize = 1024 * 1024;
  static const QByteArray OkTerminator;  // "\r\nOK\r\n"

  // Creates the driver ("cpdModem", a child of the session) on the Linux serial device.
  explicit TModemSession(QObject* Owner = nullptr);

  TSerialPortDriver* Driver() const { return FDriver; }

  // The port, as the driver opens and closes it. Both start a new generation.
  bool OpenPort();
  void ClosePort();

  // The generation now; a wait, a cycle or going online belongs to the one it started in.
  std::uint64_t Generation() const { return FGeneration; }
  bool Abandoned(std::uint64_t Generation) const { return FGeneration != Generation; }
  // Ends whatever waits now (the owner's monitoring switch changed, say).
  void Abandon() { ++FGeneration; }
  // The program is closing: closes the port, ends every wait at once, and refuses every wait
  // from now on, so nothing nested inside a wait can hold the program up.
  void Shutdown();
  bool IsShutDown() const { return FShutDown; }

  // The command exchange: purge the input, send Command, wait (10 ms sleeps, pumping events)
  // until Terminator is in the reply or Timeout ms passed; Attempts sends in all.
  bool ExecCommand(const QByteArray& Command, const QByteArray& Terminator, std::uint16_t Attempts,
                   std::uint16_t Timeout);
  // Received bytes; the driver's receive event ends here.
  void ReceiveData(const std::uint8_t* DataPtr, std::uint32_t DataSize);
  // Cuts the reply into Lines(); returns how many.
  int SplitReply();
  // Sleeps Ms and pumps events once; false when abandoned meanwhile.
  bool Pause(std::uint32_t Ms);

  // Going online: escape, echo off, verbose codes; then the five identity queries. Both are
  // false when abandoned; an abandoned ReadDeviceInfo stores nothing more.
  bool InitModem();
  bool ReadDeviceInfo();
  // The step the last InitModem or ReadDeviceInfo stopped at (empty Command: none).
  const TFailedStep& FailedStep() const { return FFailedStep; }
  // A modem without a SIM, or with a locked one, refuses AT+CIMI yet reports cells. With this
  // set, such a refusal leaves the IMSI empty and the identity complete; ImsiRefusal() keeps
  // the error line. Off by default: going online then fails on it.
  void SetImsiOptional(bool Value) { FImsiOptional = Value; }
  const QByteArray& ImsiRefusal() const { return FImsiRefusal; }

  // The exchanges of one cycle for this modem.
  TReportExchanges ReportExchanges() const;
  // The report family of the modem on this connection, chosen from the manufacturer and model
  // once the identity has been read; rfMonitor until then, and for any maker of no other family.
  // A modem that refuses the first command of its family's cycle with an error may turn out to
  // be of the fallback family (RefusedFamilyFallback): that one holds for the connection.
  TReportFamily Family() const { return FFamily; }
  // Whether the last cycle that ran through had a command answered with an error: the modem
  // does not speak the family's reports (or not now).
  bool ReportRefused() const { return FReportRefused; }
  // Reads the current lines with Reader, keeps the records and fields it gives, returns it.
  TCycleView ReadReply(const TReportReader& Reader);
  // One monitoring cycle: every exchange in order, each answered reply of two or more lines
  // through its reader, and each view handed to Apply as soon as it is read. Never two at once.
  TCycleResult RunCycle(const std::function<void(const TCycleView&)>& Apply);
  bool CycleRunning() const { return FCycleGeneration.has_value(); }

  // Watches, once a second, for the driver's port name to stand for the device of the last
  // connection again (see Device()); raises OnDeviceBack once when it does and stops. A name
  // that now stands for another device does not count. Opening the port or shutting down
  // stops it.
  void WatchForDevice();
  void StopWatching();
  bool Watching() const;
  // The device the last connection was opened on: its stable /dev/serial/by-id name where it
  // has one, else its device path; empty before the first connection.
  const QString& Device() const { return FDevice; }
  // The device path the last connection was opened on (for messages).
  const QString& DevicePath() const { return FDevicePath; }

  const QByteArray& Reply() const { return FReply; }
  const QList<QByteArray>& Lines() const { return FLines; }
  const QList<QByteArray>& Fields() const { return FFields; }
  const std::array<TCellInfo, 7>& Cells() const { return FCells; }
  QByteArray Manufacturer() const { return FManufacturer; }
  QByteArray Model() const { return FModel; }
  QByteArray Revision() const { return FRevision; }
  QByteArray Imei() const { return FImei; }
  QByteArray Imsi() const { return FImsi; }

  // Every exchange's progress (for status lines, counters and tests).
  std::function<void(const QByteArray& Command, TExchangeStage Stage)> OnExchange;
  // The device hung up (unplugged, its other end closed). The port is already closed and every
  // wait abandoned when this runs; raised once per loss.
  std::function<void()> OnDeviceLost;
  // The watched port name stands for a device again.
  std::function<void()> OnDeviceBack;

 private:
  void Notify(const QByteArray& Command, TExchangeStage Stage);
  void DeviceLost();
  void CheckDevice();
  bool Exec(const QByteArray& Command);  // one attempt with the reply time-out
  bool FailAt(const QByteArray& Command, bool SendFailed = false);

  TSerialPortDriver* FDriver = nullptr;
  QTimer* FDeviceWatch = nullptr;
  std::uint64_t FGeneration = 0;
  std::uint64_t FExchangeSerial = 0;  // which exchange owns the reply buffer
  std::optional<std::uint64_t> FCycleGeneration;
  bool FShutDown = false;
  QByteArray FReply;
  QList<QByteArray> FLines;
  QList<QByteArray> FFields;
  std::array<TCellInfo, 7> FCells{};
  TReportFamily FFamily = TReportFamily::rfMonitor;
  bool FReportRefused = false;
  bool FLastRefused = false;  // the last exchange failed with an error reply
  QByteArray FLastErrorLine;  // ... and the error line it gave
  TFailedStep FFailedStep;
  bool FImsiOptional = false;
  QByteArray FImsiRefusal;
  QString FDevice;      // what the watch waits for
  QString FDeviceName;  // the port name it was opened under
  QString FDevicePath;
  QByteArray FManufacturer;
  QByteArray FModel;
  QByteArray FRevision;
  QByteArray FImei;
  QByteArray FImsi;
};
