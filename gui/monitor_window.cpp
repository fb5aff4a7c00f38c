#include "gui/monitor_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include "core/ConnectionKeeper.h"
#include "core/CycleCaption.h"
#include "core/LevelHistory.h"
#include "core/ReplyText.h"
#include "core/RxLevelStats.h"
#include "core/reports/ReportFamily.h"
#include "gui/LevelBar.h"
#include "gui/MonitorWindowLook.h"
#include "gui/RxLevelChart.h"
#include "gui/SerialSettingsDlg.h"
#include "serial/SerialPortDriver.h"

// Building the controls is in monitor_window_build.cpp; this file is what they do: going
// online and offline through the connection keeper, monitoring, and putting views on them.

using namespace window_look;

static void InitVantrelResources() {
  Q_INIT_RESOURCE(vantrel);
}

TForm3::TForm3(QWidget* Parent) : QWidget(Parent) {
  InitVantrelResources();
  setObjectName(QStringLiteral("Form3"));
  setWindowTitle(Title);
  FSession = new TModemSession(this);
  FSession->setObjectName(QStringLiteral("FSession"));
  cpdModem = FSession->Driver();
  FKeeper = new TConnectionKeeper(FSession, this);
  FKeeper->setObjectName(QStringLiteral("FKeeper"));
  ApplyDriverDesignSettings();
  tmrPolling = new QTimer(this);
  tmrPolling->setObjectName(QStringLiteral("tmrPolling"));
  tmrPolling->setInterval(1100);
  // 1100 ms between cycles is a promise: a coarse timer may fire up to 5 % early.
  tmrPolling->setTimerType(Qt::PreciseTimer);
  asrRxLevel = std::make_unique<TLevelHistory>();
  RxLevelStats = std::make_unique<TRxLevelStats>(asrRxLevel.get());
  BuildControls();
  WireEvents();
  FormCreate();
}

TForm3::~TForm3() {
  // The chart refers to the history, which dies with the members before the
  // children are deleted; take the chart down first.
  delete chtRxLevel;
  chtRxLevel = nullptr;
  cpdModem->OnReceiveData = nullptr;
  cpdModem->ClosePort();
}

void TForm3::WireEvents() {
  // toggled fires on every change of the check state, by the user or by the
  // program, and not when the state is set to what it already is.
  connect(cbxOnline, &QCheckBox::toggled, this, &TForm3::cbxOnlineClick);
  connect(cbxMonitor, &QCheckBox::toggled, this, &TForm3::cbxMonitorClick);
  connect(bbtOpts, &QPushButton::clicked, this, &TForm3::btnOptsClick);
  connect(tmrPolling, &QTimer::timeout, this, &TForm3::tmrPollingTimer);
  // A real click inside the watch's own going online is the user's too (the handlers cannot
  // tell it from the watch's change).
  connect(cbxOnline, &QCheckBox::clicked, FKeeper, &TConnectionKeeper::EndWatch);
  connect(cbxMonitor, &QCheckBox::clicked, FKeeper, &TConnectionKeeper::EndWatch);
  WireKeeper();
  cpdModem->OnReceiveData = [this](QObject* Sender, const std::uint8_t* Data, std::uint32_t Size) {
    cpdModemReceiveData(Sender, Data, Size);
  };
  asrRxLevel->OnAfterAdd = [this](TLevelHistory* Sender, std::int32_t Index) {
    asrRxLevelAfterAdd(Sender, Index);
  };
}

void TForm3::FormCreate() {
  cpdModem->SetPort(TPortNumber::pnCOM1);
  for (int I = 0; I < 7; ++I)
    FLevelBars[I] = findChild<TLevelBar*>(QStringLiteral("pbrRxLevel%1").arg(I));
  // The bars take their background once the event loop runs, as a posted
  // request would; nothing is visible before that.
  for (TLevelBar* Bar : FLevelBars)
    QMetaObject::invokeMethod(
        Bar, [Bar] { Bar->SetBackgroundColor(CellColor); }, Qt::QueuedConnection);
  for (int I = 0; I < 7; ++I) {
    FBandTexts[I] = findChild<QLabel*>(QStringLiteral("sttGsmBand%1").arg(I));
    FChannelTexts[I] = findChild<QLabel*>(QStringLiteral("sttChannel%1").arg(I));
    FLevelTexts[I] = findChild<QLabel*>(QStringLiteral("sttRxLevel%1").arg(I));
    FBsicTexts[I] = findChild<QLabel*>(QStringLiteral("sttBSIC%1").arg(I));
    FCellIdTexts[I] = findChild<QLabel*>(QStringLiteral("sttCellID%1").arg(I));
  }
}

void TForm3::closeEvent(QCloseEvent* Event) {
  FormClose();
  Event->accept();
}

void TForm3::FormClose() {
  // Closes the port and ends every wait below at once, so the program ends now rather than
  // after the remaining exchanges of a cycle or of going online.
  FSession->Shutdown();
  tmrPolling->stop();
}

void TForm3::ClearAll() {
  for (QLineEdit* Field : {lbeManufactrurer, lbeModel, lbeRevision, lbeIMEI, lbeIMSI}) {
    Field->clear();
    Field->setToolTip(QStringLiteral("Device info"));
  }
  ClearServingCell();
  ClearNeighbourCells();
  ClearCellIdentities();
  asrRxLevel->ClearHistory();
}

void TForm3::ClearServingCell() {
  FChannelTexts[0]->clear();
  FBandTexts[0]->clear();
  FLevelTexts[0]->clear();
  lbeRxLev->clear();
  lbeC1->clear();
  lbePWR->clear();
  lbePLMN->clear();
  lbeLAC->clear();
}

void TForm3::ClearNeighbourCells() {
  for (int I = 1; I < 7; ++I) {
    FChannelTexts[I]->clear();
    FBandTexts[I]->clear();
    FLevelTexts[I]->clear();
  }
}

void TForm3::ClearCellIdentities() {
  for (int I = 0; I < 7; ++I) {
    FBsicTexts[I]->clear();
    FCellIdTexts[I]->clear();
  }
}

bool TForm3::ExecCommand(const QByteArray& Command, const QByteArray& Terminator,
                         std::uint16_t Attempts, std::uint16_t Timeout) {
  return FSession->ExecCommand(Command, Terminator, Attempts, Timeout);
}

void TForm3::cpdModemReceiveData(QObject*, const std::uint8_t* DataPtr, std::uint32_t DataSize) {
  FSession->ReceiveData(DataPtr, DataSize);
}

int TForm3::SplitReply() {
  return FSession->SplitReply();
}

bool TForm3::TryParseHex(const QByteArray& Text, std::int32_t& Value) {
  return ::TryParseHex(Text, Value);
}

namespace {
// Restores the switch states that every run of the Online handler ends with,
// also when an exception leaves it early.
template <typename F>
class TFinally {
 public:
  explicit TFinally(F Fn) : FFn(std::move(Fn)) {}
  ~TFinally() { FFn(); }
  TFinally(const TFinally&) = delete;
  TFinally& operator=(const TFinally&) = delete;

 private:
  F FFn;
};
}  // namespace

void TForm3::WireKeeper() {
  FKeeper->OnConnecting = [this] { ShowReportFamily(false); };  // none read on it yet
  FKeeper->OnIdentified = [this] { ShowIdentity(); };
  FKeeper->OnFailed = [this](const QString& Reason) {
    cbxOnline->setChecked(false);
    // While a lost device is watched for, its not answering yet is no news.
    cbxOnline->setToolTip(FKeeper->Lost() ? LostHint : Reason);
  };
  FKeeper->OnLost = [this] {
    cbxOnline->setChecked(false);  // the port is closed already; Monitor unchecks
    cbxOnline->setToolTip(LostHint);
  };
  // As the user would click both; the keeper tells these changes from the user's.
  FKeeper->OnReconnect = [this] { cbxOnline->setChecked(true); };
  FKeeper->OnBack = [this](bool Resume) {
    if (Resume) cbxMonitor->setChecked(true);
  };
}

void TForm3::cbxOnlineClick() {
  if (!FKeeper->Deciding()) FKeeper->EndWatch();
  bbtOpts->setEnabled(false);
  TFinally Final([this] {
    bbtOpts->setEnabled(!cbxOnline->isChecked());
    cbxMonitor->setEnabled(cbxOnline->isChecked());
    if (!cbxOnline->isChecked()) tmrPolling->stop();
  });
  if (cbxOnline->isChecked()) {
    cbxOnline->setToolTip(OnlineHint);
    ClearAll();
    FKeeper->GoOnline();  // a failure unchecks Online through OnFailed
  } else {
    FKeeper->GoOffline();
    cbxMonitor->setChecked(false);
  }
}

bool TForm3::InitModem() {
  return FSession->InitModem();
}

bool TForm3::ReadDeviceInfo() {
  if (!FSession->ReadDeviceInfo()) return false;
  ShowIdentity();
  return true;
}

void TForm3::ShowIdentity() {
  // The start of a long text is what tells a model or revision apart; the hint holds it all.
  const auto Show = [](QLineEdit* Field, const QByteArray& Text) {
    Field->setText(ScreenText(QString::fromLatin1(Text)));
    Field->setCursorPosition(0);
    Field->setToolTip(QStringLiteral("Device info\n") + Field->text());
  };
  Show(lbeManufactrurer, FSession->Manufacturer());
  Show(lbeModel, FSession->Model());
  Show(lbeRevision, FSession->Revision());
  Show(lbeIMEI, FSession->Imei());
  Show(lbeIMSI, FSession->Imsi());
  ShowReportFamily(true);
}

void TForm3::cbxMonitorClick() {
  if (!FKeeper->Deciding()) FKeeper->EndWatch();
  FKeeper->SetMonitoring(cbxMonitor->isChecked());
  // A cycle belongs to the switch state that started it: one still waiting ends here.
  FSession->Abandon();
  if (cbxMonitor->isChecked())
    tmrPolling->start();
  else
    tmrPolling->stop();
  if (cbxMonitor->isChecked()) {
    setWindowTitle(Title);
    asrRxLevel->ClearHistory();
    asrRxLevel->ResetHistoryWindow();
  }
}

void TForm3::tmrPollingTimer() {
  PollCells();
}

void TForm3::PollCells() {
  tmrPolling->stop();
  TCycleResult Result = TCycleResult::Done;
  {
    // An abandoned cycle restarts nothing: the switch or connection that ended it decided.
    // A refused one leaves the timer to the cycle that is running.
    TFinally Restart([this, &Result] {
      if (Result == TCycleResult::Done && cbxMonitor->isChecked()) tmrPolling->start();
    });
    Result = FSession->RunCycle([this](const TCycleView& View) { ApplyView(View); });
  }
  if (Result != TCycleResult::Done) return;
  ShowReportFamily(true);
  setWindowTitle(CycleCaption(Title, QTime::currentTime(), LocaleTimeSeparator(QLocale())));
}

QColor TForm3::FontColor() const {
  return WindowFontColor;
}

void TForm3::ParseServingCell() {
  ApplyView(FSession->ReadReply(&ReadServingCell));
}

void TForm3::ParseNeighbourCells() {
  ApplyView(FSession->ReadReply(&ReadNeighbourCells));
}

void TForm3::ParseCellIdentities() {
  ApplyView(FSession->ReadReply(&ReadCellIdentities));
}

void TForm3::ShowReportFamily(bool Identified) {
  // A modem of the three reports keeps the window's own hints. For another family the grid and
  // the Monitor switch also say which command its cells come from, and when the modem answers
  // that with ERROR, why the grid stays empty.
  const TReportFamily Family = FSession->Family();
  const QString Note = FamilyNote(Family, FSession->ReportRefused());
  const QString Added = Family == TReportFamily::rfMonitor ? QString() : QLatin1Char('\n') + Note;
  if (Added != FHintAdded) {
    FHintAdded = Added;
    findChild<QWidget*>(QStringLiteral("Shape1"))->setToolTip(GridHint + Added);
    for (TLevelBar* Bar : FLevelBars) Bar->setToolTip(GridHint + Added);
    for (const auto* Row : {&FBandTexts, &FChannelTexts, &FLevelTexts, &FBsicTexts, &FCellIdTexts})
      for (QLabel* Cell : *Row) Cell->setToolTip(GridHint + Added);
    cbxMonitor->setToolTip(MonitorHint + Added);
  }
  // The settings dialog, open only while offline, tells what was learnt of the modem last time.
  if (Identified) {
    FModemNote = QStringLiteral("Online last with %1 \u2014 %2")
                     .arg(ScreenText(QString::fromLatin1(TrimBlanks(FSession->Manufacturer()))), Note);
    FModemNotePort = cpdModem->PortName();
  }
}

void TForm3::asrRxLevelAfterAdd(TLevelHistory*, std::int32_t) {
  asrRxLevel->RefreshLevelLines();
  memStat->clear();
  QStringList Lines;
  RxLevelStats->WriteStatistics(Lines);
  memStat->setPlainText(Lines.join(QLatin1Char('\n')));
}

void TForm3::btnOptsClick() {
  if (cpdModem->IsOpen()) return;
  // No reconnect while the user edits the settings; the watch goes on with what they chose.
  const bool Watching = FSession->Watching();
  FSession->StopWatching();
  TSerialSettingsForm Dialog(this, cpdModem);
  if (FModemNotePort == cpdModem->PortName()) Dialog.ShowModemNote(FModemNote);
  Dialog.exec();
  if (Watching && FKeeper->Lost()) FSession->WatchForDevice();
}
