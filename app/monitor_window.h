#pragma once

#include <QByteArray>
#include <QList>
#include <QWidget>
#include <array>
#include <cstdint>
#include <memory>

#include "app/CellReports.h"

class QCheckBox;
class QCloseEvent;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTimer;
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
  void asrRxLevelAfterAdd(TLevelHistory* Sender, std::int32_t ValueIndex);

  // The options button.
  void btnOptsClick();

  // Read access for tests and tools.
  TSerialPortDriver* Modem() const { return cpdModem; }
  TLevelHistory* History() const { return asrRxLevel.get(); }
  const QByteArray& Reply() const { return FReply; }
  const QList<QByteArray>& Lines() const { return FLines; }
  const QList<QByteArray>& Fields() const { return FFields; }
  const std::array<TCellInfo, 7>& Cells() const { return FCells; }
  QByteArray Manufacturer() const { return FManufacturer; }
  QByteArray Model() const { return FModel; }
  QByteArray Revision() const { return FRevision; }
  QByteArray Imei() const { return FImei; }
  QByteArray Imsi() const { return FImsi; }

  // FReply never grows beyond this; a device that streams between exchanges
  // would otherwise exhaust memory. Far above any reply the program awaits.
  static constexpr qsizetype MaxReplySize = 1024 * 1024;

 protected:
  void closeEvent(QCloseEvent* Event) override;

 private:
  void BuildControls();
  void ApplyDriverDesignSettings();
  void WireEvents();
  void ShowCellText(QLabel* Cell, const TCellText& Text);
  QColor FontColor() const;

  QByteArray FReply;
  QList<QByteArray> FLines;
  QList<QByteArray> FFields;
  std::array<TCellInfo, 7> FCells{};
  std::array<TLevelBar*, 7> FLevelBars{};
  std::array<QLabel*, 7> FBandTexts{};
  std::array<QLabel*, 7> FChannelTexts{};
  std::array<QLabel*, 7> FLevelTexts{};
  std::array<QLabel*, 7> FBsicTexts{};
  std::array<QLabel*, 7> FCellIdTexts{};
  QByteArray FManufacturer;
  QByteArray FModel;
  QByteArray FRevision;
  QByteArray FImei;
  QByteArray FImsi;

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
