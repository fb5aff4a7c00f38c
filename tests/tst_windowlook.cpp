// How the monitor window and the port settings dialog look: where every control
// stands, its colours, captions and hints, and the order focus moves in. The
// renders land as PNG files next to the test binary (or in VANTREL_ARTIFACTS)
// so a person can compare them with the intended layout.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include "gui/LevelBar.h"
#include "gui/monitor_window.h"
#include "core/LevelHistory.h"
#include "serial/SerialPortDriver.h"
#include "gui/SerialSettingsDlg.h"
#include "support/SimProcess.h"

namespace {

const QColor WindowBack(196, 196, 255);
const QColor FontColor(0, 0, 64);
const QColor IdentityBack(255, 255, 176);
const QColor CellBack(255, 255, 183);

QString ArtifactDir() {
  QString Dir = qEnvironmentVariable("VANTREL_ARTIFACTS");
  if (Dir.isEmpty()) Dir = QCoreApplication::applicationDirPath() + QStringLiteral("/artifacts");
  QDir().mkpath(Dir);
  return Dir;
}

QImage Render(QWidget& W, const QString& Name) {
  // Some colours arrive as posted requests, as they would before the first paint.
  QCoreApplication::processEvents();
  const QImage Image = W.grab().toImage();
  Image.save(ArtifactDir() + QStringLiteral("/") + Name + QStringLiteral(".png"));
  return Image;
}

QLabel* LabelWithText(const QWidget& W, const QString& Text) {
  for (QLabel* L : W.findChildren<QLabel*>())
    if (L->text() == Text) return L;
  return nullptr;
}

}  // namespace

class TestWindowLook : public QObject {
  Q_OBJECT

 private slots:
  void windowFrame();
  void controlGeometry_data();
  void controlGeometry();
  void fieldColoursAndHints_data();
  void fieldColoursAndHints();
  void captions_data();
  void captions();
  void memoLooksPlain();
  void focusOrder();
  void renderStartState();
  void renderMonitoring();
  void dialogGeometry_data();
  void dialogGeometry();
  void renderDialogPages();
  void optionsButtonWithTheKeyboard();
  void optionsButtonWhileOnline();
};

void TestWindowLook::windowFrame() {
  TForm3 W;
  QCOMPARE(W.size(), QSize(782, 576));
  QCOMPARE(W.minimumSize(), W.maximumSize());
  QCOMPARE(W.pos(), QPoint(420, 0));
  QCOMPARE(W.palette().color(QPalette::Window), WindowBack);
  QCOMPARE(W.palette().color(QPalette::WindowText), FontColor);
  QVERIFY(W.autoFillBackground());
  QCOMPARE(W.font().pixelSize() > 0 ? W.font().pixelSize() : QFontInfo(W.font()).pixelSize(), 11);
  QVERIFY(!W.font().bold() && !W.font().italic() && !W.font().underline());
  if (QFile::exists(QStringLiteral("/usr/share/wine/fonts/tahoma.ttf")))
    QCOMPARE(QFontInfo(W.font()).family(), QStringLiteral("Tahoma"));
  QVERIFY(!W.windowIcon().isNull());
  for (int Size : {16, 24, 32, 48})
    QVERIFY2(!W.windowIcon().pixmap(Size, Size).isNull(), qPrintable(QString::number(Size)));
  // The sizes the icon offers a window manager: exactly these, each drawn, none scaled up
  // from a default list (a bare drawing would be offered at 16, 32, 64 and 128).
  const QList<QSize> Offered{{16, 16}, {24, 24}, {32, 32}, {48, 48}};
  QCOMPARE(W.windowIcon().availableSizes(), Offered);
  QCOMPARE(TForm3::ApplicationIcon().availableSizes(), Offered);
  for (const QSize& Size : Offered) {
    const QImage Image = W.windowIcon().pixmap(Size).toImage();
    QCOMPARE(Image.size(), Size);
    bool Drawn = false;
    for (int Y = 0; Y < Image.height() && !Drawn; ++Y)
      for (int X = 0; X < Image.width() && !Drawn; ++X) Drawn = qAlpha(Image.pixel(X, Y)) > 0;
    QVERIFY2(Drawn, qPrintable(QString::number(Size.width())));
  }
}

void TestWindowLook::controlGeometry_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QRect>("rect");
  QTest::newRow("bbtOpts") << QStringLiteral("bbtOpts") << QRect(8, 1, 35, 35);
  QTest::newRow("cbxOnline") << QStringLiteral("cbxOnline") << QRect(55, 8, 61, 17);
  QTest::newRow("cbxMonitor") << QStringLiteral("cbxMonitor") << QRect(122, 8, 71, 17);
  const char* Identity[] = {"lbeManufactrurer", "lbeModel", "lbeRevision", "lbeIMEI", "lbeIMSI"};
  const char* Serving[] = {"lbeRxLev", "lbeC1", "lbePWR", "lbePLMN", "lbeLAC"};
  for (int K = 0; K < 5; ++K) {
    QTest::newRow(Identity[K]) << QString::fromLatin1(Identity[K])
                               << QRect(80, 46 + 27 * K, 121, 21);
    QTest::newRow(Serving[K]) << QString::fromLatin1(Serving[K])
                              << QRect(80, 205 + 27 * K, 121, 21);
  }
  QTest::newRow("memStat") << QStringLiteral("memStat") << QRect(2, 340, 208, 229);
  QTest::newRow("Shape1") << QStringLiteral("Shape1") << QRect(216, 4, 556, 288);
  QTest::newRow("chtRxLevel") << QStringLiteral("chtRxLevel") << QRect(216, 298, 559, 271);
  const int BarLeft[] = {295, 361, 428, 495, 562, 629, 696};
  const int CellLeft[] = {284, 351, 418, 485, 552, 619, 687};
  const std::pair<const char*, int> Rows[] = {{"sttGsmBand", 154},
                                              {"sttChannel", 181},
                                              {"sttRxLevel", 208},
                                              {"sttBSIC", 235},
                                              {"sttCellID", 262}};
  for (int I = 0; I < 7; ++I) {
    const QString Bar = QStringLiteral("pbrRxLevel%1").arg(I);
    QTest::newRow(qPrintable(Bar)) << Bar << QRect(BarLeft[I], 40, 42, 109);
    for (const auto& [Prefix, Top] : Rows) {
      const QString Cell = QString::fromLatin1(Prefix) + QString::number(I);
      QTest::newRow(qPrintable(Cell)) << Cell << QRect(CellLeft[I], Top, 64, 20);
    }
  }
}

void TestWindowLook::controlGeometry() {
  QFETCH(QString, name);
  QFETCH(QRect, rect);
  TForm3 W;
  auto* C = W.findChild<QWidget*>(name);
  QVERIFY2(C, qPrintable(name));
  QCOMPARE(C->geometry(), rect);
  // Grid cells keep their size whatever text they get.
  if (auto* Cell = qobject_cast<QLabel*>(C)) {
    Cell->setText(QStringLiteral("a much longer text than the cell"));
    QCOMPARE(Cell->size(), rect.size());
  }
}

void TestWindowLook::fieldColoursAndHints_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QColor>("back");
  QTest::addColumn<QString>("hint");
  for (const char* N : {"lbeManufactrurer", "lbeModel", "lbeRevision", "lbeIMEI", "lbeIMSI"})
    QTest::newRow(N) << QString::fromLatin1(N) << IdentityBack << QStringLiteral("Device info");
  for (const char* N : {"lbeRxLev", "lbeC1", "lbePWR", "lbePLMN", "lbeLAC"})
    QTest::newRow(N) << QString::fromLatin1(N) << CellBack << QStringLiteral("Serving cell info");
  QTest::newRow("memStat") << QStringLiteral("memStat") << CellBack
                           << QStringLiteral("RxLevel statistics");
  QTest::newRow("bbtOpts") << QStringLiteral("bbtOpts") << QColor() << "Set COM-port options";
  QTest::newRow("cbxOnline") << QStringLiteral("cbxOnline") << QColor() << "Check to go online";
  QTest::newRow("cbxMonitor") << QStringLiteral("cbxMonitor") << QColor()
                              << "Check to go monitoring";
  QTest::newRow("Shape1") << QStringLiteral("Shape1") << QColor() << "Monitoring data";
  QTest::newRow("chtRxLevel") << QStringLiteral("chtRxLevel") << QColor() << "RxLevel history";
  for (int I = 0; I < 7; ++I) {
    for (const char* Prefix : {"sttGsmBand", "sttChannel", "sttRxLevel", "sttBSIC", "sttCellID"}) {
      const QString Cell = QString::fromLatin1(Prefix) + QString::number(I);
      QTest::newRow(qPrintable(Cell)) << Cell << CellBack << QStringLiteral("Monitoring data");
    }
    const QString Bar = QStringLiteral("pbrRxLevel%1").arg(I);
    QTest::newRow(qPrintable(Bar)) << Bar << QColor() << QStringLiteral("Monitoring data");
  }
}

void TestWindowLook::fieldColoursAndHints() {
  QFETCH(QString, name);
  QFETCH(QColor, back);
  QFETCH(QString, hint);
  TForm3 W;
  auto* C = W.findChild<QWidget*>(name);
  QVERIFY2(C, qPrintable(name));
  QCOMPARE(C->toolTip(), hint);
  if (auto* Bar = qobject_cast<TLevelBar*>(C)) {
    QCoreApplication::processEvents();
    QCOMPARE(Bar->BackgroundColor(), CellBack);
    const QImage Image = Bar->grab().toImage();
    QCOMPARE(Image.pixelColor(Image.width() / 2, 5), CellBack);
  }
  if (!back.isValid()) return;
  const QPalette::ColorRole Role = qobject_cast<QLabel*>(C) ? QPalette::Window : QPalette::Base;
  QCOMPARE(C->palette().color(Role), back);
  QCOMPARE(C->palette().color(qobject_cast<QLabel*>(C) ? QPalette::WindowText : QPalette::Text),
           FontColor);
  // The colour must reach the screen, not only the palette: sample the middle.
  if (qobject_cast<QLabel*>(C)) {
    const QImage Image = C->grab().toImage();
    QCOMPARE(Image.pixelColor(Image.width() / 2, Image.height() / 2), back);
  }
}

void TestWindowLook::captions_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<QPoint>("topLeft");  // (-1, y): only the vertical centre is fixed
  QTest::addColumn<bool>("heading");
  QTest::newRow("Info") << "Info" << QPoint(123, 27) << true;
  QTest::newRow("Serving Cell") << "Serving Cell" << QPoint(104, 186) << true;
  QTest::newRow("Serving and neighbour cells")
      << "Serving and neighbour cells" << QPoint(409, 8) << true;
  const int CaptionLeft[] = {296, 375, 437, 501, 570, 638, 707};
  for (int I = 0; I < 7; ++I) {
    const QString Text =
        I == 0 ? QStringLiteral("Serving") : QString(QChar(0x2116)) + QString::number(I);
    QTest::newRow(qPrintable(QStringLiteral("column %1").arg(I)))
        << Text << QPoint(CaptionLeft[I], I == 1 ? 21 : 24) << false;
  }
  const std::pair<const char*, int> Rows[] = {
      {"GSM Band", 157}, {"Channel", 184}, {"RxLevel", 211}, {"BSIC", 238}, {"CellID", 265}};
  for (const auto& [Text, Top] : Rows)
    QTest::newRow(Text) << QString::fromLatin1(Text) << QPoint(233, Top) << false;
  const char* Left[] = {"Manufactrurer", "Model", "Revision", "IMEI", "IMSI",
                        "RxLev",         "C1",    "PWR",      "PLMN", "LAC"};
  for (int K = 0; K < 10; ++K) {
    const int Top = (K < 5 ? 46 : 205) + 27 * (K % 5);
    QTest::newRow(Left[K]) << QString::fromLatin1(Left[K]) << QPoint(-1, Top) << false;
  }
}

void TestWindowLook::captions() {
  QFETCH(QString, text);
  QFETCH(QPoint, topLeft);
  QFETCH(bool, heading);
  TForm3 W;
  QLabel* L = LabelWithText(W, text);
  QVERIFY2(L, qPrintable(text));
  QCOMPARE(L->font().bold(), heading);
  QCOMPARE(L->font().underline(), heading);
  QCOMPARE(L->palette().color(QPalette::WindowText), FontColor);
  QCOMPARE(L->focusPolicy(), Qt::NoFocus);
  if (topLeft.x() >= 0) {
    QCOMPARE(L->pos(), topLeft);
  } else {
    // A field caption ends 3 pixels left of its field, centred on the field's 21 pixels.
    QCOMPARE(L->geometry().right() + 1 + 3, 80);
    QVERIFY(qAbs(L->geometry().center().y() - (topLeft.y() + 10)) <= 1);
  }
}

void TestWindowLook::memoLooksPlain() {
  TForm3 W;
  auto* Memo = W.findChild<QPlainTextEdit*>(QStringLiteral("memStat"));
  QCOMPARE(Memo->lineWrapMode(), QPlainTextEdit::NoWrap);
  QCOMPARE(Memo->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  QCOMPARE(Memo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  QCOMPARE(Memo->document()->blockCount(), 1);
  QVERIFY(Memo->toPlainText().isEmpty());
  QCOMPARE(Memo->palette().color(QPalette::Inactive, QPalette::Highlight),
           Memo->palette().color(QPalette::Active, QPalette::Highlight));
}

void TestWindowLook::focusOrder() {
  TForm3 W;
  W.show();
  QVERIFY(QTest::qWaitForWindowExposed(&W));
  const QStringList Expected{"cbxOnline",   "cbxMonitor", "lbeManufactrurer", "lbeModel",
                             "lbeRevision", "lbeIMEI",    "lbeIMSI",          "lbeRxLev",
                             "lbeC1",       "lbePWR",     "lbePLMN",          "lbeLAC",
                             "bbtOpts",     "memStat"};
  // Monitor is disabled until the port opens, and a disabled control takes no
  // focus; enable it to see the whole chain.
  W.findChild<QCheckBox*>(QStringLiteral("cbxMonitor"))->setEnabled(true);
  QWidget* First = W.findChild<QWidget*>(Expected.first());
  First->setFocus();
  QStringList Seen;
  QWidget* At = First;
  for (int I = 0; I < Expected.size(); ++I) {
    Seen << At->objectName();
    At = At->nextInFocusChain();
    while (At != First && (At->focusPolicy() & Qt::TabFocus) != Qt::TabFocus)
      At = At->nextInFocusChain();
  }
  QCOMPARE(Seen, Expected);
  QCOMPARE(At, First);
  for (const char* Prefix : {"pbrRxLevel", "sttGsmBand", "sttCellID"})
    QCOMPARE(W.findChild<QWidget*>(QString::fromLatin1(Prefix) + "0")->focusPolicy(), Qt::NoFocus);
  QCOMPARE(W.findChild<QWidget*>(QStringLiteral("chtRxLevel"))->focusPolicy(), Qt::NoFocus);
}

void TestWindowLook::renderStartState() {
  TForm3 W;
  const QImage Image = Render(W, QStringLiteral("window_start"));
  QCOMPARE(Image.size() / Image.devicePixelRatio(), QSize(782, 576));
  // Background between the columns, and the frame's violet on its top edge.
  QCOMPARE(Image.pixelColor(213, 100), WindowBack);
  QCOMPARE(Image.pixelColor(500, 5), QColor(128, 0, 255));
  // The frame is not filled: inside it, away from any control, the window shows.
  QCOMPARE(Image.pixelColor(230, 100), WindowBack);
}

void TestWindowLook::renderMonitoring() {
  vantrel::test::SimProcess Sim;
  QVERIFY(Sim.start({QStringLiteral("--no-link"), QStringLiteral("--seed"), QStringLiteral("3")}));
  TForm3 W;
  W.Modem()->SetPortName(Sim.slavePath());
  W.findChild<QCheckBox*>(QStringLiteral("cbxOnline"))->setChecked(true);
  QVERIFY(W.Modem()->IsOpen());
  W.findChild<QCheckBox*>(QStringLiteral("cbxMonitor"))->setChecked(true);
  QTRY_VERIFY_WITH_TIMEOUT(W.History()->Samples().size() >= 4, 20000);
  const QImage Image = Render(W, QStringLiteral("window_monitoring"));
  // The serving cell's bar is filled from the bottom in some level colour.
  const QColor BarBottom = Image.pixelColor(295 + 21, 40 + 105);
  QVERIFY2(BarBottom != CellBack, qPrintable(BarBottom.name()));
  W.findChild<QCheckBox*>(QStringLiteral("cbxMonitor"))->setChecked(false);
  W.findChild<QCheckBox*>(QStringLiteral("cbxOnline"))->setChecked(false);
}

void TestWindowLook::dialogGeometry_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QRect>("rect");
  const std::tuple<const char*, const char*, int, int> Rows[] = {
      {"Label1", "PortComboBox", 32, 20},      {"Label2", "BaudRateComboBox", 34, 48},
      {"Label3", "DataBitsComboBox", 38, 76},  {"Label4", "ParityComboBox", 54, 104},
      {"Label5", "StopBitsComboBox", 39, 132}, {"Label6", "HwFlowComboBox", 12, 20},
      {"Label7", "SwFlowComboBox", 16, 48},    {"Label8", "DTRControlComboBox", 22, 76},
      {"Label9", "DevCheckComboBox", 13, 20}};
  for (const auto& [Label, Box, Left, Top] : Rows) {
    QTest::newRow(Label) << QString::fromLatin1(Label) << QRect(Left, Top + 4, 83 - Left, 13);
    QTest::newRow(Box) << QString::fromLatin1(Box) << QRect(88, Top, 114, 21);
  }
  QTest::newRow("SettingsPageControl") << "SettingsPageControl" << QRect(2, 2, 310, 202);
  QTest::newRow("OkButton") << "OkButton" << QRect(228, 32, 75, 25);
  QTest::newRow("CancelButton") << "CancelButton" << QRect(228, 60, 76, 25);
}

void TestWindowLook::dialogGeometry() {
  QFETCH(QString, name);
  QFETCH(QRect, rect);
  TSerialPortDriver Driver;
  TSerialSettingsForm Dialog(nullptr, &Driver);
  auto* C = Dialog.findChild<QWidget*>(name);
  QVERIFY2(C, qPrintable(name));
  QCOMPARE(C->geometry(), rect);
  if (auto* L = qobject_cast<QLabel*>(C)) {
    // The caption must fit its box, or its first letters are cut off.
    QVERIFY2(L->fontMetrics().horizontalAdvance(L->text()) <= rect.width(),
             qPrintable(QStringLiteral("%1 needs %2")
                            .arg(L->text())
                            .arg(L->fontMetrics().horizontalAdvance(L->text()))));
    QVERIFY(L->alignment() & Qt::AlignRight);
    QVERIFY(qobject_cast<QComboBox*>(L->buddy()));
    QCOMPARE(L->buddy()->y(), rect.y() - 4);
  }
}

void TestWindowLook::renderDialogPages() {
  TSerialPortDriver Driver;
  TSerialSettingsForm Dialog(nullptr, &Driver);
  Dialog.LoadSettings();
  auto* Pages = Dialog.findChild<QTabWidget*>(QStringLiteral("SettingsPageControl"));
  QVERIFY(Pages);
  QCOMPARE(Pages->count(), 3);
  const char* Names[] = {"dialog_base_settings", "dialog_flow_control", "dialog_device_control"};
  for (int I = 0; I < 3; ++I) {
    Pages->setCurrentIndex(I);
    const QImage Image = Render(Dialog, QString::fromLatin1(Names[I]));
    QVERIFY(!Image.isNull());
  }
}

void TestWindowLook::optionsButtonWithTheKeyboard() {
  TForm3 W;
  W.show();
  QVERIFY(QTest::qWaitForWindowExposed(&W));
  // Should the keys not close the dialog, this does, so the test fails rather than hangs.
  QTimer Guard;
  connect(&Guard, &QTimer::timeout, &W, [] {
    if (auto* Dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) Dialog->done(-1);
  });
  Guard.start(3000);
  // Arrow keys on the data bits list, then Enter for the default button "Ok".
  int Shown = 0;
  QTimer::singleShot(0, &W, [&] {
    auto* Dialog = qobject_cast<TSerialSettingsForm*>(QApplication::activeModalWidget());
    if (!Dialog) return;
    ++Shown;
    QCOMPARE(Dialog->findChild<QTabWidget*>(QStringLiteral("SettingsPageControl"))->currentIndex(),
             0);
    auto* Bits = Dialog->findChild<QComboBox*>(QStringLiteral("DataBitsComboBox"));
    Bits->setFocus();
    QTest::keyClick(Bits, Qt::Key_Up);
    QTest::keyClick(Bits, Qt::Key_Return);
  });
  W.btnOptsClick();
  QCOMPARE(Shown, 1);
  QCOMPARE(W.Modem()->DataBits(), TDataBits::db7BITS);
  QVERIFY(W.findChildren<TSerialSettingsForm*>().isEmpty());  // freed after use

  // Esc leaves the driver as it was.
  QTimer::singleShot(0, &W, [&] {
    if (QWidget* Dialog = QApplication::activeModalWidget()) {
      ++Shown;
      auto* Bits = Dialog->findChild<QComboBox*>(QStringLiteral("DataBitsComboBox"));
      Bits->setFocus();
      QTest::keyClick(Bits, Qt::Key_Down);
      QTest::keyClick(Dialog, Qt::Key_Escape);
    }
  });
  W.btnOptsClick();
  QCOMPARE(Shown, 2);
  QCOMPARE(W.Modem()->DataBits(), TDataBits::db7BITS);
}

void TestWindowLook::optionsButtonWhileOnline() {
  vantrel::test::SimProcess Sim;
  QVERIFY(Sim.start({QStringLiteral("--no-link")}));
  TForm3 W;
  W.Modem()->SetPortName(Sim.slavePath());
  W.findChild<QCheckBox*>(QStringLiteral("cbxOnline"))->setChecked(true);
  QVERIFY(W.Modem()->IsOpen());
  bool Shown = false;
  // Should a dialog open, this closes it again so the test reports instead of hanging.
  QTimer Closer;
  connect(&Closer, &QTimer::timeout, &W, [&] {
    if (QWidget* Dialog = QApplication::activeModalWidget()) {
      Shown = true;
      Dialog->close();
    }
  });
  Closer.start(50);
  W.btnOptsClick();
  QTest::qWait(100);
  QVERIFY(!Shown);
  W.findChild<QCheckBox*>(QStringLiteral("cbxOnline"))->setChecked(false);
}

QTEST_MAIN(TestWindowLook)
#include "tst_windowlook.moc"
