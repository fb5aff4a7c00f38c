#pragma once

#include <QByteArray>
#include <QIcon>
#include <QList>
#include <QWidget>
#include <array>
#include <cstdint>
#include <memory>

#include "core/CellReports.h"
#include "core/ModemSession.h"

class QCheckBox;
class QCloseEvent;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTimer;
class TConnectionKeeper;
class TLevelBar;
class TLevelHistory;
class TRxLevelChart;
class TRxLevelStats;
class TSerialPortDriver;

// The monitor window: owns the modem's port, the polling timer, the cell
// displays, the level history chart and the statistics memo. Everything runs on
// the UI thread; waits pump events, so any handler here can run nested inside
// an exchange.
class TForm3 : public QWidget {
  Q_OBJECT
 public:
  explicit TForm3(QWidget* Parent = nullptr);
  ~TForm3() override;

  // Window events.
  void FormCreate();
  void FormClose();

  // Emptying the displays; texts only, colours and bar positions stay.
  void ClearAll();
  void ClearServingCell();
  void ClearNeighbourCells();
  void ClearCellIdentities();

  // The command exchange.
  bool ExecCommand(const QByteArray& Command, const QByteArray& Terminator, std::uint16_t Attempts,
                   std::uint16_t Timeout);
  void cpdModemReceiveData(QObject* Sender, const std::uint8_t* DataPtr, std::uint32_t DataSize);
  int SplitReply();
  static bool TryParseHex(const QByteArray& Text, std::int32_t& Value);

  // Going online and identifying the modem.
  void cbxOnlineClick();
  bool InitModem();
  bool ReadDeviceInfo();

  // Monitoring.
  void cbxMonitorClick();
  void tmrPollingTimer();
  void PollCells();
  void ParseServingCell();
  void ParseNeighbourCells();
  void ParseCellIdentities();
  // Reads Lines as the report of Family's cycle (every reply handed on included), with the
  // session's records, and shows it as a cycle would (monitor_view.cpp).
  void ShowReport(TReportFamily Family, const QList<QByteArray>& Lines);
  void asrRxLevelAfterAdd(TLevelHistory* Sender, std::int32_t ValueIndex);

  // The options button.
  void btnOptsClick();

  // The window icon: the handset drawn at each size the desktop asks for.
  static QIcon ApplicationIcon();

  // Read access for tests and tools. The reply, its lines and fields, the cell records and
  // the identity live in the modem session, which the window drives.
  TSerialPortDriver* Modem() const { return cpdModem; }
  TModemSession* Session() const { return FSession; }
  TConnectionKeeper* Keeper() const { return FKeeper; }
  TLevelHistory* History() const { return asrRxLevel.get(); }
  const QByteArray& Reply() const { return FSession->Reply(); }
  const QList<QByteArray>& Lines() const { return FSession->Lines(); }
  const QList<QByteArray>& Fields() const { return FSession->Fields(); }
  const std::array<TCellInfo, 7>& Cells() const { return FSession->Cells(); }
  QByteArray Manufacturer() const { return FSession->Manufacturer(); }
  QByteArray Model() const { return FSession->Model(); }
  QByteArray Revision() const { return FSession->Revision(); }
  QByteArray Imei() const { return FSession->Imei(); }
  QByteArray Imsi() const { return FSession->Imsi(); }

  // The reply buffer never grows beyond this.
  static constexpr qsizetype MaxReplySize = TModemSession::MaxReplySize;

 protected:
  void closeEvent(QCloseEvent* Event) override;

 private:
  void BuildControls();
  void ApplyDriverDesignSettings();
  void WireEvents();
  // The window's side of the connection's lifecycle: switches and hints.
  void WireKeeper();
  // The identity the session read, on the fields and in the hints.
  void ShowIdentity();
  void ShowCellText(QLabel* Cell, const TCellText& Text);
  // Tells the user which report family the session reads the modem's cells with; Identified
  // once the identity of the modem on this connection has been read.
  void ShowReportFamily(bool Identified);
  // Puts what one report gave on the controls; parts the view leaves out stay as they are
  // (monitor_view.cpp).
  void ApplyView(const TCycleView& View);
  // The serving cell's technology decides the grid's row captions, the detail captions and the
  // chart's scale; a change starts the history and the statistics again.
  void ShowTechnology(TRadioTech Tech);
  QColor FontColor() const;

  TModemSession* FSession = nullptr;
  // Going online and offline, a lost device watched for and back; the window only reacts.
  TConnectionKeeper* FKeeper = nullptr;
  std::array<TLevelBar*, 7> FLevelBars{};
  std::array<QLabel*, 7> FBandTexts{};
  std::array<QLabel*, 7> FChannelTexts{};
  std::array<QLabel*, 7> FLevelTexts{};
  std::array<QLabel*, 7> FBsicTexts{};
  std::array<QLabel*, 7> FCellIdTexts{};
  std::array<QLabel*, 5> FRowCaptions{};     // the grid's rows, top to bottom
  std::array<QLabel*, 5> FDetailCaptions{};  // beside the five serving cell details
  TRadioTech FShownTech = TRadioTech::rtGsm;
  // What the grid's and Monitor's hints add to their own: the family, when not rfMonitor.
  QString FHintAdded;
  // What the settings dialog tells of the modem last online, and on which port.
  QString FModemNote;
  QString FModemNotePort;

  // Components.
  TSerialPortDriver* cpdModem = nullptr;
  QTimer* tmrPolling = nullptr;
  QCheckBox* cbxOnline = nullptr;
  QCheckBox* cbxMonitor = nullptr;
  QPushButton* bbtOpts = nullptr;
  QLineEdit* lbeManufactrurer = nullptr;
  QLineEdit* lbeModel = nullptr;
  QLineEdit* lbeRevision = nullptr;
  QLineEdit* lbeIMEI = nullptr;
  QLineEdit* lbeIMSI = nullptr;
  QLineEdit* lbeRxLev = nullptr;
  QLineEdit* lbeC1 = nullptr;
  QLineEdit* lbePWR = nullptr;
  QLineEdit* lbePLMN = nullptr;
  QLineEdit* lbeLAC = nullptr;
  std::unique_ptr<TLevelHistory> asrRxLevel;
  std::unique_ptr<TRxLevelStats> RxLevelStats;
  TRxLevelChart* chtRxLevel = nullptr;
  QPlainTextEdit* memStat = nullptr;
};
