#include "gui/monitor_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include "core/CycleCaption.h"
#include "gui/LevelBar.h"
#include "core/ReplyText.h"
#include "core/reports/ReportFamily.h"
#include "core/LevelHistory.h"
#include "gui/RxLevelChart.h"
#include "core/RxLevelStats.h"
#include "serial/SerialPortDriver.h"
#include "gui/SerialSettingsDlg.h"

namespace {

const QString Title = QStringLiteral("Vantrel");
const QString OnlineHint = QStringLiteral("Check to go online");
const QString LostHint = QStringLiteral("Device lost");
const QString GridHint = QStringLiteral("Monitoring data");
const QString MonitorHint = QStringLiteral("Check to go monitoring");

const QColor WindowColor(196, 196, 255);
const QColor WindowFontColor(0, 0, 64);
const QColor FrameColor(128, 0, 255);
const QColor IdentityFieldColor(255, 255, 176);
const QColor CellColor(255, 255, 183);
const QColor FailColor(255, 0, 0);

QColor FromColorRef(std::uint32_t Ref) {
  return QColor(static_cast<int>(Ref & 0xFF), static_cast<int>((Ref >> 8) & 0xFF),
                static_cast<int>((Ref >> 16) & 0xFF));
}

// The rounded monitoring frame: outlined only, so the window shows through.
class TFrameShape : public QWidget {
 public:
  using QWidget::QWidget;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter Painter(this);
    Painter.setRenderHint(QPainter::Antialiasing);
    Painter.setPen(QPen(FrameColor, 2));
    Painter.setBrush(Qt::NoBrush);
    Painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 8, 8);
  }
};

QFont WindowFont() {
  // Tahoma comes with fonts-wine outside fontconfig's folders; load it when present.
  static const QString Family = [] {
    const int Id =
        QFontDatabase::addApplicationFont(QStringLiteral("/usr/share/wine/fonts/tahoma.ttf"));
    QFontDatabase::addApplicationFont(QStringLiteral("/usr/share/wine/fonts/tahomabd.ttf"));
    const QStringList Families = QFontDatabase::applicationFontFamilies(Id);
    return Families.isEmpty() ? QStringLiteral("DejaVu Sans") : Families.first();
  }();
  QFont Font(Family);
  Font.setPixelSize(11);
  return Font;
}

void SetTextColor(QWidget* W, const QColor& Color) {
  QPalette P = W->palette();
  P.setColor(QPalette::WindowText, Color);
  P.setColor(QPalette::Text, Color);
  W->setPalette(P);
}

void SetBaseColor(QWidget* W, const QColor& Color) {
  QPalette P = W->palette();
  P.setColor(QPalette::Base, Color);
  P.setColor(QPalette::Window, Color);
  W->setPalette(P);
}

}  // namespace

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

void TForm3::ApplyDriverDesignSettings() {
  cpdModem->SetPort(TPortNumber::pnCustom);
  cpdModem->SetPortName(QStringLiteral("\\\\.\\COM2"));
  cpdModem->SetBaudRate(TBaudRate::brCustom);
  cpdModem->SetBaudRateValue(19200);
  cpdModem->SetHwFlow(THwFlowControl::hfNONE);
  cpdModem->SetInBufSize(4096);
  cpdModem->SetInputTimeout(250);
}

void TForm3::BuildControls() {
  // XPManifest1 has no counterpart here: the platform's Qt style already gives
  // the controls the desktop's themed look, so it is left out.
  setFixedSize(782, 576);
  move(420, 0);
  setFont(WindowFont());
  QPalette P = palette();
  P.setColor(QPalette::Window, WindowColor);
  P.setColor(QPalette::WindowText, WindowFontColor);
  P.setColor(QPalette::Text, WindowFontColor);
  P.setColor(QPalette::ButtonText, WindowFontColor);
  setPalette(P);
  setAutoFillBackground(true);
  setWindowIcon(ApplicationIcon());

  auto* Shape1 = new TFrameShape(this);
  Shape1->setObjectName(QStringLiteral("Shape1"));
  Shape1->setGeometry(216, 4, 556, 288);
  Shape1->setToolTip(GridHint);

  int LabelNo = 2;
  auto MakeLabel = [&](const QString& Caption, int Left, int Top, bool Heading) {
    auto* L = new QLabel(Caption, this);
    L->setObjectName(QStringLiteral("Label%1").arg(LabelNo++));
    if (Heading) {
      QFont F = font();
      F.setBold(true);
      F.setUnderline(true);
      L->setFont(F);
    }
    L->adjustSize();
    L->move(Left, Top);
    return L;
  };

  bbtOpts = new QPushButton(this);
  bbtOpts->setObjectName(QStringLiteral("bbtOpts"));
  bbtOpts->setGeometry(8, 1, 35, 35);
  bbtOpts->setIcon(QIcon(QStringLiteral(":/vantrel/opts.svg")));
  bbtOpts->setIconSize(QSize(32, 32));
  bbtOpts->setToolTip(QStringLiteral("Set COM-port options"));

  cbxOnline = new QCheckBox(QStringLiteral("Online"), this);
  cbxOnline->setObjectName(QStringLiteral("cbxOnline"));
  cbxOnline->setGeometry(55, 8, 61, 17);
  cbxOnline->setToolTip(OnlineHint);
  cbxMonitor = new QCheckBox(QStringLiteral("Monitor"), this);
  cbxMonitor->setObjectName(QStringLiteral("cbxMonitor"));
  cbxMonitor->setGeometry(122, 8, 71, 17);
  cbxMonitor->setToolTip(MonitorHint);
  cbxMonitor->setEnabled(false);

  MakeLabel(QStringLiteral("Info"), 123, 27, true);
  MakeLabel(QStringLiteral("Serving Cell"), 104, 186, true);
  MakeLabel(QStringLiteral("Serving and neighbour cells"), 409, 8, true);

  auto MakeField = [&](const char* Name, const QString& Caption, int Top, const QColor& Back,
                       const QString& Hint) {
    auto* E = new QLineEdit(this);
    E->setObjectName(QString::fromLatin1(Name));
    E->setGeometry(80, Top, 121, 21);
    E->setReadOnly(true);
    E->setToolTip(Hint);
    SetBaseColor(E, Back);
    auto* L = new QLabel(Caption, this);
    L->setObjectName(QString::fromLatin1(Name) + QStringLiteral("Label"));
    L->setBuddy(E);
    L->adjustSize();
    L->move(80 - 3 - L->width(), Top + (21 - L->height()) / 2);
    return E;
  };
  const QString DeviceHint = QStringLiteral("Device info");
  lbeManufactrurer = MakeField("lbeManufactrurer", QStringLiteral("Manufactrurer"), 46,
                               IdentityFieldColor, DeviceHint);
  lbeModel = MakeField("lbeModel", QStringLiteral("Model"), 73, IdentityFieldColor, DeviceHint);
  lbeRevision =
      MakeField("lbeRevision", QStringLiteral("Revision"), 100, IdentityFieldColor, DeviceHint);
  lbeIMEI = MakeField("lbeIMEI", QStringLiteral("IMEI"), 127, IdentityFieldColor, DeviceHint);
  lbeIMSI = MakeField("lbeIMSI", QStringLiteral("IMSI"), 154, IdentityFieldColor, DeviceHint);
  const QString ServingHint = QStringLiteral("Serving cell info");
  lbeRxLev = MakeField("lbeRxLev", QStringLiteral("RxLev"), 205, CellColor, ServingHint);
  lbeC1 = MakeField("lbeC1", QStringLiteral("C1"), 232, CellColor, ServingHint);
  lbePWR = MakeField("lbePWR", QStringLiteral("PWR"), 259, CellColor, ServingHint);
  lbePLMN = MakeField("lbePLMN", QStringLiteral("PLMN"), 286, CellColor, ServingHint);
  lbeLAC = MakeField("lbeLAC", QStringLiteral("LAC"), 313, CellColor, ServingHint);

  memStat = new QPlainTextEdit(this);
  memStat->setObjectName(QStringLiteral("memStat"));
  memStat->setGeometry(2, 340, 208, 229);
  memStat->setReadOnly(true);
  memStat->setLineWrapMode(QPlainTextEdit::NoWrap);
  memStat->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  memStat->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  memStat->setToolTip(QStringLiteral("RxLevel statistics"));
  {
    QPalette MP = memStat->palette();
    MP.setColor(QPalette::Base, CellColor);
    // Keep the selection visible when the memo loses focus.
    MP.setColor(QPalette::Inactive, QPalette::Highlight,
                MP.color(QPalette::Active, QPalette::Highlight));
    MP.setColor(QPalette::Inactive, QPalette::HighlightedText,
                MP.color(QPalette::Active, QPalette::HighlightedText));
    memStat->setPalette(MP);
  }

  static constexpr std::array<int, 7> CaptionLeft{296, 375, 437, 501, 570, 638, 707};
  static constexpr std::array<int, 7> BarLeft{295, 361, 428, 495, 562, 629, 696};
  static constexpr std::array<int, 7> CellLeft{284, 351, 418, 485, 552, 619, 687};
  for (int I = 0; I < 7; ++I) {
    const QString Caption =
        I == 0 ? QStringLiteral("Serving") : QString(QChar(0x2116)) + QString::number(I);
    MakeLabel(Caption, CaptionLeft[I], I == 1 ? 21 : 24, false);
  }
  for (int I = 0; I < 7; ++I) {
    auto* Bar = new TLevelBar(this);
    Bar->setObjectName(QStringLiteral("pbrRxLevel%1").arg(I));
    Bar->setGeometry(BarLeft[I], 40, 42, 109);
    Bar->SetRange(-113, -47);
    Bar->SetPosition(-113);
    Bar->setToolTip(GridHint);
  }
  struct TRow {
    const char* Prefix;
    const char* Caption;
    int Top;
  };
  static constexpr std::array<TRow, 5> Rows{{{"sttGsmBand", "GSM Band", 154},
                                             {"sttChannel", "Channel", 181},
                                             {"sttRxLevel", "RxLevel", 208},
                                             {"sttBSIC", "BSIC", 235},
                                             {"sttCellID", "CellID", 262}}};
  for (const TRow& Row : Rows) {
    MakeLabel(QString::fromLatin1(Row.Caption), 233, Row.Top + 3, false);
    for (int I = 0; I < 7; ++I) {
      auto* Cell = new QLabel(this);
      Cell->setObjectName(QString::fromLatin1(Row.Prefix) + QString::number(I));
      Cell->setGeometry(CellLeft[I], Row.Top, 64, 20);
      Cell->setFrameStyle(QFrame::Panel | QFrame::Sunken);
      Cell->setLineWidth(1);
      Cell->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
      Cell->setAutoFillBackground(true);
      SetBaseColor(Cell, CellColor);
      Cell->setToolTip(GridHint);
    }
  }

  chtRxLevel = new TRxLevelChart(asrRxLevel.get(), this);
  chtRxLevel->setObjectName(QStringLiteral("chtRxLevel"));
  chtRxLevel->setGeometry(216, 298, 559, 271);
  chtRxLevel->setToolTip(QStringLiteral("RxLevel history"));
  const QLocale Locale;
  chtRxLevel->SetSeparators(Locale.decimalPoint().at(0), Locale.groupSeparator().at(0));
  RxLevelStats->SetSeparators(Locale.decimalPoint().at(0), Locale.groupSeparator().at(0));

  for (QWidget* W : findChildren<QWidget*>()) {
    if (!qobject_cast<QCheckBox*>(W) && !qobject_cast<QLineEdit*>(W) &&
        !qobject_cast<QPushButton*>(W) && !qobject_cast<QPlainTextEdit*>(W) &&
        W->parentWidget() == this)
      W->setFocusPolicy(Qt::NoFocus);
  }
  QWidget* Order[] = {cbxOnline, cbxMonitor, lbeManufactrurer, lbeModel, lbeRevision,
                      lbeIMEI,   lbeIMSI,    lbeRxLev,         lbeC1,    lbePWR,
                      lbePLMN,   lbeLAC,     bbtOpts,          memStat};
  for (std::size_t I = 0; I + 1 < std::size(Order); ++I) setTabOrder(Order[I], Order[I + 1]);
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
  connect(cbxOnline, &QCheckBox::clicked, this, &TForm3::EndDeviceWatch);
  connect(cbxMonitor, &QCheckBox::clicked, this, &TForm3::EndDeviceWatch);
  FSession->OnDeviceLost = [this] { DeviceLost(); };
  FSession->OnDeviceBack = [this] { DeviceBack(); };
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

void TForm3::cbxOnlineClick() {
  if (!FReconnecting) EndDeviceWatch();
  bbtOpts->setEnabled(false);
  TFinally Final([this] {
    bbtOpts->setEnabled(!cbxOnline->isChecked());
    cbxMonitor->setEnabled(cbxOnline->isChecked());
    if (!cbxOnline->isChecked()) tmrPolling->stop();
  });
  if (cbxOnline->isChecked()) {
    FSession->StopWatching();
    cbxOnline->setToolTip(OnlineHint);
    ClearAll();
    const bool Opened = FSession->OpenPort();
    ShowReportFamily(false);  // none read on this connection yet
    if (!Opened) {
      cbxOnline->setChecked(false);
      return;
    }
    // Going online belongs to the connection just opened: when Online was unchecked (or the
    // device lost, or the window closed) inside one of its waits, whoever did that has
    // settled the switches already, and this run changes nothing more.
    const std::uint64_t Generation = FSession->Generation();
    if ((!InitModem() || !ReadDeviceInfo()) && !FSession->Abandoned(Generation))
      cbxOnline->setChecked(false);
  } else {
    FSession->ClosePort();
    cbxMonitor->setChecked(false);
  }
}

bool TForm3::InitModem() {
  return FSession->InitModem();
}

bool TForm3::ReadDeviceInfo() {
  if (!FSession->ReadDeviceInfo()) return false;
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
  return true;
}

void TForm3::cbxMonitorClick() {
  if (!FReconnecting) EndDeviceWatch();
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

void TForm3::ShowCellText(QLabel* Cell, const TCellText& Text) {
  SetTextColor(Cell, Text.Valid ? FontColor() : FailColor);
  Cell->setText(Text.Text);
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

void TForm3::ApplyView(const TCycleView& View) {
  if (const auto& Serving = View.Serving) {
    ShowCellText(FChannelTexts[0], Serving->Channel);
    ShowCellText(FBandTexts[0], Serving->Band);
    SetTextColor(FLevelTexts[0], Serving->Level.Valid ? FontColor() : FailColor);
    FLevelBars[0]->SetPosition(Serving->Bar.Position);
    FLevelBars[0]->SetBarColor(FromColorRef(Serving->Bar.Color));
    FLevelTexts[0]->setText(Serving->Level.Text);
    asrRxLevel->AppendLevel(Serving->Cell.Level, Serving->Bar.Color);
    lbeRxLev->setText(Serving->RxLev);
    lbeC1->setText(Serving->C1);
    lbePWR->setText(Serving->Pwr);
    lbePLMN->setText(Serving->Plmn);
    lbeLAC->setText(Serving->Lac);
  }
  if (const auto& Columns = View.Neighbours) {
    for (std::size_t K = 0; K < Columns->size() && K < 6; ++K) {
      const TNeighbourColumnView& Column = (*Columns)[K];
      const std::size_t I = K + 1;
      ShowCellText(FChannelTexts[I], Column.Channel);
      ShowCellText(FBandTexts[I], Column.Band);
      SetTextColor(FLevelTexts[I], Column.Level.Valid ? FontColor() : FailColor);
      FLevelBars[I]->SetBarColor(FromColorRef(Column.Bar.Color));
      FLevelBars[I]->SetPosition(Column.Bar.Position);
      FLevelTexts[I]->setText(Column.Level.Text);
    }
  }
  if (const auto& Columns = View.Identities) {
    for (std::size_t I = 0; I < 7; ++I) {
      ShowCellText(FBsicTexts[I], (*Columns)[I].Bsic);
      ShowCellText(FCellIdTexts[I], (*Columns)[I].CellId);
    }
  }
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
  if (Watching && FDeviceLost) FSession->WatchForDevice();
}

void TForm3::DeviceLost() {
  // A loss inside a reconnect keeps the monitoring the first loss interrupted.
  const bool Resume = cbxMonitor->isChecked() || (FDeviceLost && FResumeMonitor);
  cbxOnline->setChecked(false);  // the port is closed already; Monitor unchecks
  FDeviceLost = true;
  FResumeMonitor = Resume;
  cbxOnline->setToolTip(LostHint);
  FSession->WatchForDevice();
}

void TForm3::DeviceBack() {
  if (!FDeviceLost) return;
  {
    // As the user would click both; these two changes keep the watch's state.
    const TFinally Done([this] { FReconnecting = false; });
    FReconnecting = true;
    cbxOnline->setChecked(true);
    if (!FDeviceLost) return;  // the user took over inside going online
    if (cbxOnline->isChecked()) {
      FDeviceLost = false;
      if (std::exchange(FResumeMonitor, false)) cbxMonitor->setChecked(true);
      return;
    }
  }
  // There, but not answering yet (still starting, say): keep watching.
  cbxOnline->setToolTip(LostHint);
  FSession->WatchForDevice();
}

void TForm3::EndDeviceWatch() {
  if (!FDeviceLost) return;
  FDeviceLost = false;
  FResumeMonitor = false;
  FSession->StopWatching();
}

QIcon TForm3::ApplicationIcon() {
  // Pixmaps of the sizes a window manager's icon list should carry; an icon with none would
  // be offered at the platform's default sizes instead.
  const QIcon Drawing(QStringLiteral(":/vantrel/vantrel.svg"));
  QIcon Icon;
  for (const int Size : {16, 24, 32, 48}) Icon.addPixmap(Drawing.pixmap(QSize(Size, Size)));
  return Icon;
}
