#pragma once

#include <QElapsedTimer>
#include <QIODevice>
#include <QObject>
#include <memory>

#include "CycleRecord.h"
#include "LogOptions.h"

class TGpsClient;
class TConnectionKeeper;
class TModemSession;

// One run of the recorder: going online, a cycle every interval, a record after each, waiting
// for a lost device to come back, until the cycles or the time are used up or a stop is asked.
class TRecordingRun : public QObject {
  Q_OBJECT
 public:
  // WriteHeader: the output is empty (or a stream), so a CSV record file starts with its header.
  TRecordingRun(const TLogOptions& Options, QIODevice& Output, bool WriteHeader);
  ~TRecordingRun() override;

  // Runs to the end; the process's exit status.
  int Exec();
  // Stops after the record being taken, or at once when none is.
  void RequestStop();

 private:
  // Until the keeper has the lost device online again; false when stopped or out of time.
  bool WaitForDevice();
  // Pumps events for Ms, or until a stop is asked (or, with UntilLost, the device is lost);
  // false when a stop was asked.
  bool Idle(int Ms, bool UntilLost = false);
  bool TimeUsedUp() const;
  // False when the output refused the record (FWriteError says why); nothing of it is left.
  bool WriteRecord(const TDriveRecord& Record);
  void ShowStatus(const TDriveRecord& Record);
  std::optional<TRecordPosition> FreshPosition();

  TLogOptions FOptions;
  QIODevice& FOutput;
  bool FWriteHeader;
  std::unique_ptr<TModemSession> FSession;
  std::unique_ptr<TGpsClient> FGps;  // with --gps only
  TConnectionKeeper* FKeeper = nullptr;  // a child of the session
  TCycleRecorder FRecorder;
  QString FReports;  // the report family's name, as the records carry it
  QElapsedTimer FClock;
  bool FStop = false;
  bool FNoted = false;  // the missing IMSI has been mentioned
  QString FWriteError;
  bool FStatusLine = false;
  qint64 FRecords = 0;
  qint64 FTimeouts = 0;
};
