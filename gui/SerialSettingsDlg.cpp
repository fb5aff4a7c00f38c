#include "gui/SerialSettingsDlg.h"

#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "core/ReplyText.h"
#include "gui/WineFont.h"
#include "serial/SerialPortDriver.h"
#include "serial/platform/ModemManagerInhibitor.h"
#include "serial/platform/PortResolver.h"

bool IsAcceptedBaudRate(std::uint32_t Rate) {
  return (Rate >= 110 && Rate <= 921600) || Rate == 50 || Rate == 100;
}

std::optional<std::uint32_t> ParseBaudRateText(const QString& Text) {
  bool Ok = false;
  const int Value = Text.toInt(&Ok, 10);
  if (!Ok) return std::nullopt;
  // A negative rate taken as unsigned lands far above the accepted range.
  return static_cast<std::uint32_t>(Value);
}

namespace {
// The dialog's rows are measured for MS Sans Serif at 11 pixels; fonts-wine ships
// a face with its metrics. Without it the desktop's sans at the same size stands in.
QFont DialogFont() {
  return WineFont(QStringLiteral("ms_sans_serif.ttf"), {});
}

QComboBox* MakeList(QWidget* Page, const char* Name, int Top, const QStringList& Items,
                    bool Editable = false) {
  auto* Box = new QComboBox(Page);
  Box->setObjectName(QString::fromLatin1(Name));
  Box->setGeometry(88, Top, 114, 21);
  Box->addItems(Items);
  Box->setEditable(Editable);
  return Box;
}

void MakeLabel(QWidget* Page, const char* Name, const QString& Caption, int Left, int Top,
               int Width, QComboBox* Buddy) {
  auto* L = new QLabel(Caption, Page);
  L->setObjectName(QString::fromLatin1(Name));
  L->setGeometry(Left, Top, Width, 13);
  L->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  L->setBuddy(Buddy);
}
}  // namespace

TSerialSettingsForm::TSerialSettingsForm(QWidget* Owner, TSerialPortDriver* Driver)
    : QDialog(Owner), FDriver(Driver) {
  setObjectName(QStringLiteral("SerialSettingsForm"));
  setWindowTitle(QStringLiteral("Settings"));
  setFont(DialogFont());
  // The port details below the pages need room the original layout did not have.
  setFixedSize(314, 206 + 58);
  ShowError = [this](const QString& Text, const QString& Title) {
    QMessageBox::critical(this, Title, Text, QMessageBox::Ok);
  };

  auto* Panel1 = new QWidget(this);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setGeometry(0, 0, 314, 206);
  SettingsPageControl = new QTabWidget(Panel1);
  SettingsPageControl->setObjectName(QStringLiteral("SettingsPageControl"));
  SettingsPageControl->setGeometry(2, 2, 310, 202);

  auto* Base = new QWidget;
  Base->setObjectName(QStringLiteral("BaseSettingsTabSheet"));
  QStringList Ports;
  for (int I = 1; I <= 16; ++I) Ports << QStringLiteral("\\\\.\\COM%1").arg(I);
  PortComboBox = MakeList(Base, "PortComboBox", 20, Ports);
  MakeLabel(Base, "Label1", QStringLiteral("Port name:"), 32, 24, 51, PortComboBox);
  BaudRateComboBox = MakeList(Base, "BaudRateComboBox", 48,
                              {"50",     "100",    "110",    "300",    "600",    "1200",  "2400",
                               "4800",   "9600",   "14400",  "19200",  "38400",  "56000", "57600",
                               "115200", "128000", "230400", "256000", "460800", "921600"},
                              true);
  MakeLabel(Base, "Label2", QStringLiteral("Baud rate:"), 34, 52, 49, BaudRateComboBox);
  DataBitsComboBox = MakeList(Base, "DataBitsComboBox", 76, {"5", "6", "7", "8"});
  MakeLabel(Base, "Label3", QStringLiteral("Data bits:"), 38, 80, 45, DataBitsComboBox);
  ParityComboBox = MakeList(Base, "ParityComboBox", 104, {"None", "Odd", "Even", "Mark", "Space"});
  MakeLabel(Base, "Label4", QStringLiteral("Parity:"), 54, 108, 29, ParityComboBox);
  StopBitsComboBox = MakeList(Base, "StopBitsComboBox", 132, {"1", "1.5", "2"});
  MakeLabel(Base, "Label5", QStringLiteral("Stop bits:"), 39, 136, 44, StopBitsComboBox);
  SettingsPageControl->addTab(Base, QStringLiteral("Base Settings"));

  auto* Flow = new QWidget;
  Flow->setObjectName(QStringLiteral("FlowControlTabSheet"));
  HwFlowComboBox = MakeList(Flow, "HwFlowComboBox", 20, {"None", "None but RTS on", "RTS/CTS"});
  MakeLabel(Flow, "Label6", QStringLiteral("Hardware flow:"), 12, 24, 71, HwFlowComboBox);
  SwFlowComboBox = MakeList(Flow, "SwFlowComboBox", 48, {"None", "XON/XOFF"});
  MakeLabel(Flow, "Label7", QStringLiteral("Software flow:"), 16, 52, 67, SwFlowComboBox);
  DTRControlComboBox = MakeList(Flow, "DTRControlComboBox", 76, {"Standard", "Keep off"});
  MakeLabel(Flow, "Label8", QStringLiteral("DTR control:"), 22, 80, 61, DTRControlComboBox);
  SettingsPageControl->addTab(Flow, QStringLiteral("Flow Control"));

  auto* Device = new QWidget;
  Device->setObjectName(QStringLiteral("TabSheet1"));
  DevCheckComboBox = MakeList(Device, "DevCheckComboBox", 20, {"Yes", "No"});
  MakeLabel(Device, "Label9", QStringLiteral("Device check:"), 13, 24, 70, DevCheckComboBox);
  SettingsPageControl->addTab(Device, QStringLiteral("Device Control"));

  OkButton = new QPushButton(QStringLiteral("Ok"), this);
  OkButton->setObjectName(QStringLiteral("OkButton"));
  OkButton->setGeometry(228, 32, 75, 25);
  OkButton->setDefault(true);
  CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
  CancelButton->setObjectName(QStringLiteral("CancelButton"));
  CancelButton->setGeometry(228, 60, 76, 25);

  // What the chosen name means on this machine: users most often do not know
  // which device is the modem, or may not open it.
  PortInfoLabel = new QLabel(this);
  PortInfoLabel->setObjectName(QStringLiteral("PortInfoLabel"));
  PortInfoLabel->setGeometry(6, 208, 302, 54);
  PortInfoLabel->setWordWrap(true);
  PortInfoLabel->setTextFormat(Qt::PlainText);
  PortInfoLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  PortInfoLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);

  // Whether ModemManager manages the device, and what to do when it will not let go; shown
  // only when there is something to say, and then the dialog grows to fit it.
  ModemManagerLabel = new QLabel(this);
  ModemManagerLabel->setObjectName(QStringLiteral("ModemManagerLabel"));
  ModemManagerLabel->setWordWrap(true);
  ModemManagerLabel->setTextFormat(Qt::PlainText);
  ModemManagerLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  ModemManagerLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
  ModemManagerLabel->hide();
  ModemNoteLabel = new QLabel(this);
  ModemNoteLabel->setObjectName(QStringLiteral("ModemNoteLabel"));
  ModemNoteLabel->setWordWrap(true);
  ModemNoteLabel->setTextFormat(Qt::PlainText);
  ModemNoteLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  ModemNoteLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
  ModemNoteLabel->hide();

  setTabOrder(SettingsPageControl, OkButton);
  setTabOrder(OkButton, CancelButton);
  connect(OkButton, &QPushButton::clicked, this, &TSerialSettingsForm::OkButtonClick);
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
  connect(PortComboBox, &QComboBox::currentIndexChanged, this, &TSerialSettingsForm::ShowPortInfo);

  LoadSettings();
  SettingsPageControl->setCurrentIndex(0);
  ShowPortInfo();
}

void TSerialSettingsForm::LoadSettings() {
  PortComboBox->setCurrentIndex(static_cast<int>(FDriver->Port()) - 1);
  BaudRateComboBox->setCurrentText(QString::number(FDriver->BaudRateValue()));
  DataBitsComboBox->setCurrentIndex(static_cast<int>(FDriver->DataBits()));
  ParityComboBox->setCurrentIndex(static_cast<int>(FDriver->Parity()));
  StopBitsComboBox->setCurrentIndex(static_cast<int>(FDriver->StopBits()));
  HwFlowComboBox->setCurrentIndex(static_cast<int>(FDriver->HwFlow()));
  SwFlowComboBox->setCurrentIndex(static_cast<int>(FDriver->SwFlow()));
  DTRControlComboBox->setCurrentIndex(FDriver->EnableDTROnOpen() ? 0 : 1);
  DevCheckComboBox->setCurrentIndex(FDriver->CheckLineStatus() ? 0 : 1);
}

void TSerialSettingsForm::OkButtonClick() {
  if (PortComboBox->currentIndex() < 0) {
    ShowError(QStringLiteral("Please, enter a valid port."), QStringLiteral("Error"));
    return;
  }
  const std::uint32_t Rate =
      ParseBaudRateText(BaudRateComboBox->currentText()).value_or(static_cast<std::uint32_t>(-1));
  if (!IsAcceptedBaudRate(Rate)) {
    ShowError(QStringLiteral("Please, enter a valid baud rate."), QStringLiteral("Error"));
    return;
  }
  FDriver->SetPort(static_cast<TPortNumber>(PortComboBox->currentIndex() + 1));
  FDriver->SetBaudRateValue(Rate);
  FDriver->SetDataBits(static_cast<TDataBits>(DataBitsComboBox->currentIndex()));
  FDriver->SetParity(static_cast<TParity>(ParityComboBox->currentIndex()));
  FDriver->SetStopBits(static_cast<TStopBits>(StopBitsComboBox->currentIndex()));
  FDriver->SetHwFlow(static_cast<THwFlowControl>(HwFlowComboBox->currentIndex()));
  FDriver->SetSwFlow(static_cast<TSwFlowControl>(SwFlowComboBox->currentIndex()));
  FDriver->SetEnableDTROnOpen(DTRControlComboBox->currentIndex() == 0);
  FDriver->SetCheckLineStatus(DevCheckComboBox->currentIndex() == 0);
  accept();
}

void TSerialSettingsForm::showEvent(QShowEvent* Event) {
  if (const QScreen* Screen = screen())
    move(Screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
  QDialog::showEvent(Event);
}

void TSerialSettingsForm::ShowPortInfo() {
  ++FLookUp;  // an answer still under way is for the port chosen before
  FPortKind.clear();
  FPort = ResolvePortName(PortComboBox->currentText());
  ShowModemManagerNote({});
  ShowPortDetails();
  if (PortComboBox->currentIndex() < 0 || !FPort.Resolved) return;
  // ModemManager is asked without waiting; its answer fills the port's kind and the note in.
  const std::uint64_t Asked = FLookUp;
  FLookUpPending = true;
  const QString DevicePath = FPort.DevicePath;
  LookUpModemManager(
      DevicePath, this,
      [this, Asked, DevicePath](const TModemManagerLookup& Found) {
        if (Asked != FLookUp) return;
        FLookUpPending = false;
        FPortKind = Found.Manages ? ModemManagerPortKind(Found.PortType) : QString();
        ShowPortDetails();
        ShowModemManagerNote(ModemManagerNoteFor(DevicePath, Found));
      },
      LookUpTimeoutMs);
}

void TSerialSettingsForm::ShowPortDetails() {
  if (PortComboBox->currentIndex() < 0) {
    PortInfoLabel->setText(QStringLiteral("No port chosen."));
    return;
  }
  const TPortResolution& R = FPort;
  if (!R.Resolved) {
    PortInfoLabel->setText(R.Name + QStringLiteral(" resolves to no device on this machine."));
    return;
  }
  QStringList Parts;
  // A module with several ports (diagnostics, GPS, AT, modem) only answers AT commands on one:
  // its kind, as ModemManager lists it, tells the user which to pick.
  Parts << R.Name + QStringLiteral(" is ") + R.DevicePath +
               (FPortKind.isEmpty() ? QString()
                                    : QStringLiteral(", the modem's %1 port").arg(FPortKind)) +
               (R.Via.isEmpty() ? QString() : QStringLiteral(" (") + R.Via + QStringLiteral(")"));
  if (!R.StableName.isEmpty()) Parts << R.StableName;
  if (!R.UsbProduct.isEmpty()) Parts << QStringLiteral("USB product: ") + R.UsbProduct;
  if (R.Accessible)
    Parts << QStringLiteral("You may open it.");
  else if (!R.AccessGroup.isEmpty())
    Parts << QStringLiteral("You may not open it: join the group %1.").arg(R.AccessGroup);
  else
    Parts << QStringLiteral("You may not open it.");
  PortInfoLabel->setText(ScreenText(Parts.join(QLatin1Char('\n'))));
  LayoutNotes();
}

void TSerialSettingsForm::ShowModemManagerNote(const TModemManagerNote& Note) {
  ModemManagerLabel->setText(ModemManagerText(Note));
  ModemManagerLabel->setToolTip(Note.Error);
  LayoutNotes();
}

void TSerialSettingsForm::ShowModemNote(const QString& Text) {
  // The note belongs to the port chosen now; another choice is another device.
  FModemNote = ScreenText(Text);
  FModemNotePort = PortComboBox->currentIndex();
  LayoutNotes();
}

void TSerialSettingsForm::LayoutNotes() {
  ModemNoteLabel->setText(PortComboBox->currentIndex() == FModemNotePort ? FModemNote : QString());
  // The port details take the lines they need; the notes follow below them.
  const int InfoHeight = std::max(54, PortInfoLabel->heightForWidth(302));
  PortInfoLabel->setGeometry(6, 208, 302, InfoHeight);
  int Top = 208 + InfoHeight + 2;
  for (QLabel* Note : {ModemManagerLabel, ModemNoteLabel}) {
    if (Note->text().isEmpty()) {
      Note->hide();
      continue;
    }
    const int Height = Note->heightForWidth(302);
    Note->setGeometry(6, Top - 2, 302, Height);
    Note->show();
    Top += Height + 2;
  }
  setFixedSize(314, Top);
}
