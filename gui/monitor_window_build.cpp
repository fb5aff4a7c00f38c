// Building the monitor window's controls: their places, colours, fonts and hints, as the
// window is drawn before anything runs. What the controls do is in monitor_window.cpp.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>

#include "core/LevelHistory.h"
#include "core/RxLevelStats.h"
#include "gui/LevelBar.h"
#include "gui/MonitorWindowLook.h"
#include "gui/RxLevelChart.h"
#include "gui/WineFont.h"
#include "gui/monitor_window.h"
#include "serial/SerialPortDriver.h"

using namespace window_look;

namespace {

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
  const QFont Font = WineFont(QStringLiteral("tahoma.ttf"), QStringLiteral("DejaVu Sans"));
  WineFont(QStringLiteral("tahomabd.ttf"), {});  // the bold face of the underlined headings
  return Font;
}

void SetBaseColor(QWidget* W, const QColor& Color) {
  QPalette P = W->palette();
  P.setColor(QPalette::Base, Color);
  P.setColor(QPalette::Window, Color);
  W->setPalette(P);
}

}  // namespace

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
  for (std::size_t I = 0; QLineEdit * Detail : {lbeRxLev, lbeC1, lbePWR, lbePLMN, lbeLAC})
    FDetailCaptions[I++] = qobject_cast<QLabel*>(
        Detail->parentWidget()->findChild<QLabel*>(Detail->objectName() + QStringLiteral("Label")));

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
    FRowCaptions[static_cast<std::size_t>(&Row - Rows.data())] =
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

QIcon TForm3::ApplicationIcon() {
  // Pixmaps of the sizes a window manager's icon list should carry; an icon with none would
  // be offered at the platform's default sizes instead.
  const QIcon Drawing(QStringLiteral(":/vantrel/vantrel.svg"));
  QIcon Icon;
  for (const int Size : {16, 24, 32, 48}) Icon.addPixmap(Drawing.pixmap(QSize(Size, Size)));
  return Icon;
}
