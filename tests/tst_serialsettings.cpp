#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include "gui/SerialSettingsDlg.h"
#include "serial/SerialPortDriver.h"

class TestSerialSettings : public QObject {
  Q_OBJECT

 private slots:
  void rates_data();
  void rates();
  void customPortGivesThePortMessageFirst();
  void okAppliesThroughTheDriver();
  void roundTripOfTheOffChoices();
  void opensOnTheFirstPage();
  void modemNoteFollowsItsPort();
};

namespace {
struct TDialogRun {
  TSerialPortDriver Driver;
  QStringList Messages;
  std::unique_ptr<TSerialSettingsForm> Form;
  TDialogRun() {
    Driver.SetPort(TPortNumber::pnCOM3);
    Form = std::make_unique<TSerialSettingsForm>(nullptr, &Driver);
    Form->ShowError = [this](const QString& Text, const QString& Title) {
      Messages << Title + QStringLiteral(": ") + Text;
    };
  }
  QComboBox* Box(const char* Name) const {
    return Form->findChild<QComboBox*>(QString::fromLatin1(Name));
  }
};
}  // namespace

void TestSerialSettings::rates_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<bool>("accepted");
  for (const char* R : {"50", "100", "110", "921600", "250000", "9600"})
    QTest::newRow(R) << QString::fromLatin1(R) << true;
  for (const char* R : {"75", "921601", "0", "-9600", "abc", "", "49", "101", "109"})
    QTest::newRow(*R ? R : "empty") << QString::fromLatin1(R) << false;
}

void TestSerialSettings::rates() {
  QFETCH(QString, text);
  QFETCH(bool, accepted);
  TDialogRun Run;
  Run.Driver.SetBaudRateValue(4800);
  Run.Box("BaudRateComboBox")->setCurrentText(text);
  Run.Form->OkButtonClick();
  if (accepted) {
    QVERIFY(Run.Messages.isEmpty());
    QCOMPARE(Run.Form->result(), int(QDialog::Accepted));
    QCOMPARE(Run.Driver.BaudRateValue(), text.toUInt());
    QCOMPARE(Run.Driver.BaudRate(), TBaudRate::brCustom);
  } else {
    QCOMPARE(Run.Messages, QStringList{QStringLiteral("Error: Please, enter a valid baud rate.")});
    QCOMPARE(Run.Driver.BaudRateValue(), 4800u);
    QVERIFY(Run.Form->result() != int(QDialog::Accepted));
  }
}

void TestSerialSettings::customPortGivesThePortMessageFirst() {
  TSerialPortDriver Driver;
  Driver.SetPortName(QStringLiteral("\\\\.\\COM2"));  // names a listed port, but Port is custom
  TSerialSettingsForm Form(nullptr, &Driver);
  QStringList Messages;
  Form.ShowError = [&](const QString& Text, const QString&) { Messages << Text; };
  QCOMPARE(Form.findChild<QComboBox*>(QStringLiteral("PortComboBox"))->currentIndex(), -1);
  Form.findChild<QComboBox*>(QStringLiteral("BaudRateComboBox"))
      ->setCurrentText(QStringLiteral("abc"));
  Form.OkButtonClick();
  QCOMPARE(Messages, QStringList{QStringLiteral("Please, enter a valid port.")});
  QCOMPARE(Driver.Port(), TPortNumber::pnCustom);
}

void TestSerialSettings::okAppliesThroughTheDriver() {
  TDialogRun Run;
  Run.Box("PortComboBox")->setCurrentIndex(11);
  Run.Box("BaudRateComboBox")->setCurrentText(QStringLiteral("115200"));
  Run.Box("DataBitsComboBox")->setCurrentIndex(2);
  Run.Box("ParityComboBox")->setCurrentIndex(4);
  Run.Box("StopBitsComboBox")->setCurrentIndex(2);
  Run.Box("HwFlowComboBox")->setCurrentIndex(2);
  Run.Box("SwFlowComboBox")->setCurrentIndex(1);
  QTest::mouseClick(Run.Form->findChild<QPushButton*>(QStringLiteral("OkButton")), Qt::LeftButton);
  QCOMPARE(Run.Form->result(), int(QDialog::Accepted));
  QCOMPARE(Run.Driver.Port(), TPortNumber::pnCOM12);
  QCOMPARE(Run.Driver.PortName(), QStringLiteral("\\\\.\\COM12"));
  QCOMPARE(Run.Driver.BaudRate(), TBaudRate::brCustom);
  QCOMPARE(Run.Driver.BaudRateValue(), 115200u);
  QCOMPARE(Run.Driver.DataBits(), TDataBits::db7BITS);
  QCOMPARE(Run.Driver.Parity(), TParity::ptSPACE);
  QCOMPARE(Run.Driver.StopBits(), TStopBits::sb2BITS);
  QCOMPARE(Run.Driver.HwFlow(), THwFlowControl::hfRTSCTS);
  QCOMPARE(Run.Driver.SwFlow(), TSwFlowControl::sfXONXOFF);
}

void TestSerialSettings::roundTripOfTheOffChoices() {
  TDialogRun Run;
  Run.Box("DTRControlComboBox")->setCurrentIndex(1);
  Run.Box("DevCheckComboBox")->setCurrentIndex(1);
  Run.Driver.SetCheckLineStatus(true);
  Run.Form->OkButtonClick();
  QVERIFY(!Run.Driver.EnableDTROnOpen());
  QVERIFY(!Run.Driver.CheckLineStatus());
  TSerialSettingsForm Again(nullptr, &Run.Driver);
  QCOMPARE(Again.findChild<QComboBox*>(QStringLiteral("DTRControlComboBox"))->currentText(),
           QStringLiteral("Keep off"));
  QCOMPARE(Again.findChild<QComboBox*>(QStringLiteral("DevCheckComboBox"))->currentText(),
           QStringLiteral("No"));
}

void TestSerialSettings::opensOnTheFirstPage() {
  TDialogRun Run;
  auto* Pages = Run.Form->findChild<QTabWidget*>(QStringLiteral("SettingsPageControl"));
  Pages->setCurrentIndex(2);
  Run.Form.reset();
  TSerialSettingsForm Again(nullptr, &Run.Driver);
  auto* Tabs = Again.findChild<QTabWidget*>(QStringLiteral("SettingsPageControl"));
  QCOMPARE(Tabs->currentIndex(), 0);
  QCOMPARE(Tabs->tabText(0), QStringLiteral("Base Settings"));
  QCOMPARE(Tabs->tabText(1), QStringLiteral("Flow Control"));
  QCOMPARE(Tabs->tabText(2), QStringLiteral("Device Control"));
}

void TestSerialSettings::modemNoteFollowsItsPort() {
  TDialogRun Run;
  auto* Note = Run.Form->findChild<QLabel*>(QStringLiteral("ModemNoteLabel"));
  QVERIFY(Note);
  const int Plain = Run.Form->height();
  QVERIFY(!Note->isVisibleTo(Run.Form.get()));

  const QString Text = QStringLiteral("Online last with SIMCOM_Ltd \u2014 reports: AT+CENG");
  Run.Form->ShowModemNote(Text);
  QVERIFY(Note->isVisibleTo(Run.Form.get()));
  QCOMPARE(Note->text(), Text);
  // Below the port details, inside the dialog, which grew to hold it.
  QVERIFY(Note->geometry().top() >= 206 + 54);
  QVERIFY(Run.Form->height() > Plain);
  QVERIFY(Run.Form->rect().contains(Note->geometry()));

  // Another port is another device: the note is not about it.
  Run.Box("PortComboBox")->setCurrentIndex(5);
  QVERIFY(!Note->isVisibleTo(Run.Form.get()));
  QCOMPARE(Run.Form->height(), Plain);
  Run.Box("PortComboBox")->setCurrentIndex(2);
  QVERIFY(Note->isVisibleTo(Run.Form.get()));
  QCOMPARE(Note->text(), Text);

  // A manufacturer's markup and escape sequences are text to show, never markup to follow.
  Run.Form->ShowModemNote(
      QStringLiteral("Online last with <img src=\"/etc/hostname\">\x1b[2JAcme"));
  QCOMPARE(Note->textFormat(), Qt::PlainText);
  QCOMPARE(Note->text(), QStringLiteral("Online last with <img src=\"/etc/hostname\">[2JAcme"));

  Run.Form->ShowModemNote(QString());
  QVERIFY(!Note->isVisibleTo(Run.Form.get()));
  QCOMPARE(Run.Form->height(), Plain);
}

QTEST_MAIN(TestSerialSettings)
#include "tst_serialsettings.moc"
