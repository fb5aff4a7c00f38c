#include <QTest>
#include <memory>

#include "serial/SerialPortDriver.h"
#include "serial/platform/Ticks.h"
#include "support/FakeSerialDevice.h"

Q_DECLARE_METATYPE(TPortNumber)
Q_DECLARE_METATYPE(THwFlowControl)
Q_DECLARE_METATYPE(TSwFlowControl)
Q_DECLARE_METATYPE(TPacketMode)

namespace {

// A driver on a fake device with a clock that advances Step ms on every reading.
struct TRig {
  std::shared_ptr<TFakeSerialState> S = std::make_shared<TFakeSerialState>();
  std::shared_ptr<std::uint32_t> Now = std::make_shared<std::uint32_t>(1000);
  std::shared_ptr<std::uint32_t> Step = std::make_shared<std::uint32_t>(0);
  std::unique_ptr<TSerialPortDriver> D;
  QList<QByteArray> Got;

  TRig() {
    auto N = Now;
    auto St = Step;
    D = std::make_unique<TSerialPortDriver>(std::make_unique<TFakeSerialDevice>(S),
                                            [N, St] { return *N += *St; });
    D->OnReceiveData = [this](QObject*, const std::uint8_t* P, std::uint32_t Size) {
      Got.append(QByteArray(reinterpret_cast<const char*>(P), Size));
    };
    D->OnReceivePacket = D->OnReceiveData;
  }
};

QByteArray Bytes(int Count) {
  QByteArray B;
  for (int I = 0; I < Count; ++I) B.append(static_cast<char>(I & 0x7F));
  return B;
}

}  // namespace

class TestSerialDriver : public QObject {
  Q_OBJECT

 private slots:
  void portSetsName_data() {
    QTest::addColumn<TPortNumber>("port");
    QTest::addColumn<QString>("name");
    QTest::newRow("COM1") << TPortNumber::pnCOM1 << QStringLiteral("\\\\.\\COM1");
    QTest::newRow("COM12") << TPortNumber::pnCOM12 << QStringLiteral("\\\\.\\COM12");
    QTest::newRow("COM16") << TPortNumber::pnCOM16 << QStringLiteral("\\\\.\\COM16");
    QTest::newRow("custom keeps name") << TPortNumber::pnCustom << QStringLiteral("/dev/x");
  }
  void portSetsName() {
    QFETCH(TPortNumber, port);
    QFETCH(QString, name);
    TRig R;
    R.D->SetPortName(QStringLiteral("/dev/x"));
    QCOMPARE(R.D->Port(), TPortNumber::pnCustom);
    R.D->SetPort(port);
    QCOMPARE(R.D->Port(), port);
    QCOMPARE(R.D->PortName(), name);
  }

  void defaults() {
    TRig R;
    QCOMPARE(R.D->Port(), TPortNumber::pnCOM2);
    QCOMPARE(R.D->PortName(), QStringLiteral("\\\\.\\COM2"));
    QCOMPARE(R.D->BaudRate(), TBaudRate::br9600);
    QCOMPARE(R.D->BaudRateValue(), 9600u);
    QCOMPARE(R.D->HwFlow(), THwFlowControl::hfNONERTSON);
    QCOMPARE(R.D->InBufSize(), 2048u);
    QCOMPARE(R.D->OutBufSize(), 2048u);
    QCOMPARE(R.D->PacketSize(), std::int16_t(-1));
    QCOMPARE(R.D->PacketTimeout(), -1);
    QCOMPARE(R.D->PollingDelay(), std::uint16_t(50));
    QCOMPARE(R.D->OutputTimeout(), std::uint16_t(500));
    QCOMPARE(R.D->InputTimeout(), 200u);
    QVERIFY(R.D->EnableDTROnOpen());
    QVERIFY(!R.D->CheckLineStatus());
    QCOMPARE(R.D->PacketStart(), std::int64_t(-1));
  }

  void baudRateRules() {
    TRig R;
    R.D->SetBaudRate(TBaudRate::br115200);
    QCOMPARE(R.D->BaudRateValue(), 115200u);
    R.D->SetBaudRate(TBaudRate::brCustom);
    QCOMPARE(R.D->BaudRateValue(), 115200u);
    R.D->SetBaudRateValue(19200);
    QCOMPARE(R.D->BaudRate(), TBaudRate::brCustom);
    QCOMPARE(R.D->BaudRateValue(), 19200u);
    QCOMPARE(TSerialPortDriver::BaudRateBps(TBaudRate::br110), 110u);
    QCOMPARE(TSerialPortDriver::BaudRateBps(TBaudRate::br56000), 56000u);
    QCOMPARE(TSerialPortDriver::BaudRateBps(TBaudRate::br256000), 256000u);
    QCOMPARE(TSerialPortDriver::BaudRateBps(TBaudRate::brCustom), 0u);
  }

  void bufferSizesClamp_data() {
    QTest::addColumn<uint>("asked");
    QTest::addColumn<uint>("stored");
    QTest::newRow("below") << 100u << 128u;
    QTest::newRow("above") << 10000u << 8192u;
    QTest::newRow("inside") << 4000u << 4000u;
  }
  void bufferSizesClamp() {
    QFETCH(uint, asked);
    QFETCH(uint, stored);
    TRig R;
    R.D->SetInBufSize(asked);
    R.D->SetOutBufSize(asked);
    QCOMPARE(R.D->InBufSize(), stored);
    QCOMPARE(R.D->OutBufSize(), stored);
  }

  void frozenWhileOpen() {
    TRig R;
    R.D->SetPortName(QStringLiteral("/dev/a"));
    QVERIFY(R.D->OpenPort());
    R.D->SetPort(TPortNumber::pnCOM5);
    R.D->SetPortName(QStringLiteral("/dev/b"));
    R.D->SetInBufSize(100);
    R.D->SetOutBufSize(10000);
    QCOMPARE(R.D->Port(), TPortNumber::pnCustom);
    QCOMPARE(R.D->PortName(), QStringLiteral("/dev/a"));
    QCOMPARE(R.D->InBufSize(), 2048u);
    QCOMPARE(R.D->OutBufSize(), 2048u);
  }

  void packetSizeRules_data() {
    QTest::addColumn<int>("inBuf");
    QTest::addColumn<int>("asked");
    QTest::addColumn<int>("stored");
    QTest::addColumn<uint>("inBufAfter");
    QTest::newRow("zero") << 2048 << 0 << -1 << 2048u;
    QTest::newRow("negative") << 2048 << -5 << -1 << 2048u;
    QTest::newRow("fits") << 2048 << 16 << 16 << 2048u;
    QTest::newRow("grows buffer") << 2048 << 4000 << 4000 << 4000u;
    QTest::newRow("beyond largest buffer") << 2048 << 9000 << 9000 << 8192u;
  }
  void packetSizeRules() {
    QFETCH(int, inBuf);
    QFETCH(int, asked);
    QFETCH(int, stored);
    QFETCH(uint, inBufAfter);
    TRig R;
    R.D->SetInBufSize(static_cast<std::uint32_t>(inBuf));
    R.D->SetPacketSize(static_cast<std::int16_t>(asked));
    QCOMPARE(int(R.D->PacketSize()), stored);
    QCOMPARE(R.D->InBufSize(), inBufAfter);
  }

  void bufferNeverSmallerThanPacket() {
    TRig R;
    R.D->SetPacketSize(4000);
    R.D->SetInBufSize(128);
    QCOMPARE(R.D->InBufSize(), 4000u);
  }

  void packetTimeoutRules_data() {
    QTest::addColumn<int>("delay");
    QTest::addColumn<int>("asked");
    QTest::addColumn<int>("stored");
    QTest::newRow("zero") << 50 << 0 << -1;
    QTest::newRow("below delay") << 50 << 30 << 70;
    QTest::newRow("equal to delay") << 50 << 50 << 50;
    QTest::newRow("above delay") << 50 << 1000 << 1000;
    QTest::newRow("minimum delay") << 5 << 1 << 7;
  }
  void packetTimeoutRules() {
    QFETCH(int, delay);
    QFETCH(int, asked);
    QFETCH(int, stored);
    TRig R;
    R.D->SetPollingDelay(static_cast<std::uint16_t>(delay));
    R.D->SetPacketTimeout(asked);
    QCOMPARE(R.D->PacketTimeout(), stored);
  }

  void pollingDelayRules() {
    TRig R;
    R.D->SetPacketTimeout(70);
    R.D->SetPollingDelay(100);
    QCOMPARE(R.D->PacketTimeout(), 140);
    R.D->SetPollingDelay(20);
    QCOMPARE(R.D->PacketTimeout(), 140);
    R.D->SetPacketTimeout(70);
    R.D->SetPollingDelay(20);
    QCOMPARE(R.D->PacketTimeout(), 70);
    R.D->SetPollingDelay(0);
    QCOMPARE(R.D->PollingDelay(), std::uint16_t(5));
  }

  void packetTime_data() {
    QTest::addColumn<uint>("rate");
    QTest::addColumn<uint>("size");
    QTest::addColumn<uint>("ms");
    QTest::newRow("10 at 9600") << 9600u << 10u << 10u;
    QTest::newRow("16 at 19200") << 19200u << 16u << 8u;
    QTest::newRow("100 at 115200") << 115200u << 100u << 9u;
    QTest::newRow("1 at 110") << 110u << 1u << 91u;
    QTest::newRow("half down to even") << 4000u << 1u << 2u;
    QTest::newRow("half up to even") << 4000u << 3u << 8u;
    QTest::newRow("rate zero") << 0u << 16u << 0u;
  }
  void packetTime() {
    QFETCH(uint, rate);
    QFETCH(uint, size);
    QFETCH(uint, ms);
    QCOMPARE(PacketTimeMs(rate, size), ms);
  }

  void controlBlock_data() {
    QTest::addColumn<THwFlowControl>("hw");
    QTest::addColumn<TSwFlowControl>("sw");
    QTest::addColumn<bool>("dtr");
    QTest::addColumn<uint>("flags");
    QTest::newRow("defaults") << THwFlowControl::hfNONERTSON << TSwFlowControl::sfNONE << true
                              << 0x1011u;
    QTest::newRow("rts/cts xon/xoff dtr")
        << THwFlowControl::hfRTSCTS << TSwFlowControl::sfXONXOFF << true << 0x2315u;
    QTest::newRow("none dtr off") << THwFlowControl::hfNONE << TSwFlowControl::sfNONE << false
                                  << 0x0001u;
    QTest::newRow("none dtr on") << THwFlowControl::hfNONE << TSwFlowControl::sfNONE << true
                                 << 0x0011u;
  }
  void controlBlock() {
    QFETCH(THwFlowControl, hw);
    QFETCH(TSwFlowControl, sw);
    QFETCH(bool, dtr);
    QFETCH(uint, flags);
    TRig R;
    R.D->SetHwFlow(hw);
    R.D->SetSwFlow(sw);
    R.D->SetEnableDTROnOpen(dtr);
    QVERIFY(R.D->OpenPort());
    QCOMPARE(R.S->Lines.size(), std::size_t(1));
    QCOMPARE(R.S->Lines.back().Flags, flags);
  }

  void controlBlockFields() {
    TRig R;
    R.D->SetInBufSize(4096);
    R.D->SetBaudRateValue(250000);
    R.D->SetDataBits(TDataBits::db7BITS);
    R.D->SetParity(TParity::ptMARK);
    R.D->SetStopBits(TStopBits::sb2BITS);
    QVERIFY(R.D->OpenPort());
    const TDeviceControlBlock B = R.S->Lines.back();
    QCOMPARE(B.DCBlength, 28u);
    QCOMPARE(B.BaudRate, 250000u);
    QCOMPARE(B.XonLim, std::uint16_t(1024));
    QCOMPARE(B.XoffLim, std::uint16_t(1024));
    QCOMPARE(B.ByteSize, std::uint8_t(7));
    QCOMPARE(B.Parity, std::uint8_t(3));
    QCOMPARE(B.StopBits, std::uint8_t(2));
    QCOMPARE(int(B.XonChar), 17);
    QCOMPARE(int(B.XoffChar), 19);
    QCOMPARE(int(B.EofChar), 0);
  }

  void openConfiguresOnlyOnce() {
    TRig R;
    QVERIFY(R.D->OpenPort());
    QCOMPARE(R.S->Purges, std::vector<std::uint32_t>{0x0F});
    QCOMPARE(R.S->Timeouts.size(), std::size_t(1));
    QCOMPARE(R.S->Timeouts[0].WriteTotalTimeoutConstant, 10u);
    QCOMPARE(R.S->Setups, 1);
    QVERIFY(R.D->OpenPort());
    QCOMPARE(R.S->Lines.size(), std::size_t(1));
    QCOMPARE(R.S->Purges.size(), std::size_t(1));
    R.D->SetParity(TParity::ptEVEN);  // applied at once while open
    QCOMPARE(R.S->Lines.size(), std::size_t(2));
    QCOMPARE(R.S->Lines.back().Parity, std::uint8_t(2));
    QCOMPARE(R.S->Purges.size(), std::size_t(2));
  }

  void openFailures() {
    TRig Missing;
    Missing.S->CanOpen = false;
    QVERIFY(!Missing.D->OpenPort());
    QVERIFY(!Missing.D->IsOpen());
    TRig Refused;
    Refused.S->AcceptLine = false;
    QVERIFY(!Refused.D->OpenPort());
    QVERIFY(!Refused.D->IsOpen());
    QVERIFY(!Refused.S->Open);  // the handle went back
  }

  void purgeFlags_data() {
    QTest::addColumn<bool>("input");
    QTest::addColumn<bool>("output");
    QTest::addColumn<uint>("flags");
    QTest::newRow("both") << true << true << 0x0Fu;
    QTest::newRow("input") << true << false << 0x0Au;
    QTest::newRow("output") << false << true << 0x05u;
    QTest::newRow("neither") << false << false << 0u;
  }
  void purgeFlags() {
    QFETCH(bool, input);
    QFETCH(bool, output);
    QFETCH(uint, flags);
    TRig R;
    QVERIFY(!R.D->PurgeBuffers(input, output));  // closed: no call
    QVERIFY(R.S->Purges.empty());
    QVERIFY(R.D->OpenPort());
    QVERIFY(R.D->PurgeBuffers(input, output));
    QCOMPARE(R.S->Purges.back(), flags);
  }

  void closedPort() {
    TRig R;
    QVERIFY(R.D->ReadModemLines().IsEmpty());
    QCOMPARE(R.D->OutputSpaceLeft(), std::uint16_t(65535));
    QCOMPARE(R.D->TransmitTimed("AT", 2, 100), 0u);
    QVERIFY(R.D->TransmitText(QByteArray()));
    QVERIFY(!R.D->TransmitText("AT\r"));
  }

  void modemLines() {
    TRig R;
    QVERIFY(R.D->OpenPort());
    R.S->ModemBits = MsCtsOn | MsRlsdOn;
    const TModemLines L = R.D->ReadModemLines();
    QVERIFY(L.Contains(TModemLine::mlCTS) && L.Contains(TModemLine::mlRLSD));
    QVERIFY(!L.Contains(TModemLine::mlDSR) && !L.Contains(TModemLine::mlRING));
    R.S->ModemOk = false;
    QVERIFY(R.D->ReadModemLines().IsEmpty());
  }

  void outputSpaceLeft() {
    TRig R;
    QVERIFY(R.D->OpenPort());
    R.S->OutQue = 48;
    QCOMPARE(R.D->OutputSpaceLeft(), std::uint16_t(2000));
    R.S->OutQue = 5000;
    QCOMPARE(R.D->OutputSpaceLeft(), std::uint16_t(0));
  }

  void transmitGivesUpWithoutProgress() {
    TRig R;
    QVERIFY(R.D->OpenPort());
    *R.Now = 0xFFFFFFF0u;  // across the counter's wrap
    *R.Step = 3;
    R.S->WriteLimit = 5;  // then the queue stays full
    const QByteArray Data = Bytes(40);
    QCOMPARE(R.D->TransmitTimed(Data.constData(), 40, 100), 5u);
    QCOMPARE(R.S->Output, Data.left(5));
    R.S->OutQue = 2048;  // no room at all
    QCOMPARE(R.D->TransmitTimed(Data.constData(), 40, 100), 0u);
  }

  // Flow control holding the line leaves the output queue full: the send waits for room at
  // the line's pace instead of asking the device over and over (which burnt a core for the
  // whole time-out: millions of checks where a few hundred do).
  void transmitWaitsForRoomWithoutSpinning() {
    auto S = std::make_shared<TFakeSerialState>();
    TSerialPortDriver D(std::make_unique<TFakeSerialDevice>(S), &GetTickCount);
    QVERIFY(D.OpenPort());
    S->OutQue = 2048;
    S->SleepForRoom = true;
    S->QueueChecks = 0;
    const QByteArray Data = Bytes(40);
    QCOMPARE(D.TransmitTimed(Data.constData(), 40, 200), 0u);
    QVERIFY2(S->QueueChecks < 1000, qPrintable(QString::number(S->QueueChecks)));
  }

  void transmitTimeoutCountsFromLastProgress() {
    TRig R;
    QVERIFY(R.D->OpenPort());
    *R.Step = 10;
    R.S->MaxPerWrite = 1;  // slow but steady: 30 writes over 300 ms with a 25 ms time-out
    const QByteArray Data = Bytes(30);
    QCOMPARE(R.D->TransmitTimed(Data.constData(), 30, 25), 30u);
    QCOMPARE(R.S->Output, Data);
  }

  void checkLineStatusWithoutLines() {
    TRig R;
    R.D->SetCheckLineStatus(true);
    QVERIFY(R.D->OpenPort());
    R.S->ModemOk = false;  // as a pseudo-terminal answers
    *R.Step = 1;
    const std::uint32_t Before = *R.Now;
    QVERIFY(!R.D->TransmitText("AT\r"));
    QVERIFY(R.S->Output.isEmpty());
    QVERIFY(*R.Now - Before < 5);  // no wait for the 500 ms time-out
    R.S->ModemOk = true;
    R.S->ModemBits = MsCtsOn;
    QVERIFY(R.D->TransmitText("AT\r"));
  }

  void pollReadsAtMostOneBuffer() {
    TRig R;
    R.D->SetInBufSize(128);
    QVERIFY(R.D->OpenPort());
    R.D->PollWindowProc();
    QVERIFY(R.Got.isEmpty());
    QVERIFY(R.S->Reads.empty());  // nothing queued, nothing read
    const QByteArray Data = Bytes(300);
    R.S->Input = Data;
    R.D->PollWindowProc();
    QCOMPARE(R.Got.size(), 1);
    QCOMPARE(R.Got[0], Data.left(128));
    R.D->PollWindowProc();
    R.D->PollWindowProc();
    QCOMPARE(R.Got.size(), 3);
    QCOMPARE(R.Got[1] + R.Got[2], Data.mid(128));
  }

  void handlerMayClosePort() {
    TRig R;
    QVERIFY(R.D->OpenPort());
    R.D->OnReceiveData = [&R](QObject*, const std::uint8_t*, std::uint32_t) { R.D->ClosePort(); };
    R.S->Input = Bytes(10);
    R.D->PollWindowProc();
    QVERIFY(!R.D->IsOpen());
    R.S->Input = Bytes(10);
    R.D->PollWindowProc();  // closed: ignored
    QCOMPARE(R.S->Reads.size(), std::size_t(1));
  }

  void packetHandlerMayDestroyDriver() {
    TRig R;
    R.D->SetPacketSize(4);
    QVERIFY(R.D->OpenPort());
    int Calls = 0;
    R.D->OnReceivePacket = [&](QObject*, const std::uint8_t*, std::uint32_t) {
      ++Calls;
      R.D.reset();
    };
    R.S->Input = Bytes(12);
    TSerialPortDriver* Raw = R.D.get();
    Raw->PollWindowProc();
    QCOMPARE(Calls, 1);
    QVERIFY(!R.D);
  }

  void pollRunsFromTimerWhileOpen() {
    TRig R;
    R.D->SetPollingDelay(5);
    R.S->Input = Bytes(3);
    QTest::qWait(30);
    QVERIFY(R.Got.isEmpty());  // closed: no timer
    QVERIFY(R.D->OpenPort());
    R.S->Input = Bytes(3);
    QTRY_COMPARE(R.Got.size(), 1);
  }

  void packetsWholeThenWait() {
    TRig R;
    R.D->SetPacketSize(16);
    QVERIFY(R.D->OpenPort());
    const QByteArray Data = Bytes(56);
    R.S->Input = Data;
    R.D->PollWindowProc();
    QCOMPARE(R.Got.size(), 3);
    for (const QByteArray& P : R.Got) QCOMPARE(P.size(), 16);
    QCOMPARE(R.Got[2], Data.mid(32, 16));
    QCOMPARE(R.S->Input.size(), 8);
    QCOMPARE(R.D->PacketStart(), std::int64_t(-1));  // an idle clock is not advanced
    R.D->PollWindowProc();
    QCOMPARE(R.D->PacketStart(), std::int64_t(1000));  // started by the partial packet
    QCOMPARE(R.Got.size(), 3);
  }

  void partialPacketTimesOut_data() {
    QTest::addColumn<TPacketMode>("mode");
    QTest::addColumn<int>("events");
    QTest::newRow("pass") << TPacketMode::pmPass << 1;
    QTest::newRow("discard") << TPacketMode::pmDiscard << 0;
  }
  void partialPacketTimesOut() {
    QFETCH(TPacketMode, mode);
    QFETCH(int, events);
    TRig R;
    R.D->SetPacketSize(16);
    R.D->SetPacketTimeout(70);
    R.D->SetPacketMode(mode);
    QVERIFY(R.D->OpenPort());
    R.S->Input = Bytes(5);
    R.D->PollWindowProc();  // clock starts at 1000
    *R.Now = 1070;
    R.D->PollWindowProc();  // not more than the time-out yet
    QVERIFY(R.Got.isEmpty());
    *R.Now = 1071;
    R.D->PollWindowProc();
    QCOMPARE(R.Got.size(), events);
    if (events) QCOMPARE(R.Got[0], Bytes(5));
    QVERIFY(R.S->Input.isEmpty());
    QCOMPARE(R.D->PacketStart(), std::int64_t(-1));
  }

  void partialPacketWithoutTimeoutWaits() {
    TRig R;
    R.D->SetPacketSize(16);
    QVERIFY(R.D->OpenPort());
    R.S->Input = Bytes(5);
    R.D->PollWindowProc();
    *R.Now += 1000000;
    R.D->PollWindowProc();
    QVERIFY(R.Got.isEmpty());
    QCOMPARE(R.S->Input.size(), 5);
  }

  void purgeClearsPacketClock() {
    TRig R;
    R.D->SetPacketSize(16);
    R.D->SetPacketTimeout(70);
    QVERIFY(R.D->OpenPort());
    R.S->Input = Bytes(5);
    R.D->PollWindowProc();
    QCOMPARE(R.D->PacketStart(), std::int64_t(1000));
    QVERIFY(R.D->PurgeBuffers(false, true));
    QCOMPARE(R.D->PacketStart(), std::int64_t(-1));
    QCOMPARE(R.S->Input.size(), 5);
    R.D->PollWindowProc();
    QVERIFY(R.D->PurgeBuffers(true, false));
    QCOMPARE(R.D->PacketStart(), std::int64_t(-1));
    QVERIFY(R.S->Input.isEmpty());
  }

  void packetClockAdvance_data() {
    QTest::addColumn<uint>("rate");
    QTest::addColumn<qint64>("after");
    QTest::newRow("16 bytes at 19200") << 19200u << qint64(1008);
    QTest::newRow("rate zero stands still") << 0u << qint64(1000);
  }
  void packetClockAdvance() {
    QFETCH(uint, rate);
    QFETCH(qint64, after);
    TRig R;
    R.D->SetPacketSize(16);
    R.D->SetBaudRateValue(rate);
    QVERIFY(R.D->OpenPort());
    R.S->Input = Bytes(8);
    R.D->PollWindowProc();
    R.S->Input.append(Bytes(20));  // one packet and 12 bytes
    R.D->PollWindowProc();
    QCOMPARE(R.Got.size(), 1);
    QCOMPARE(R.D->PacketStart(), after);
  }

  void packetNeverReadsPastBuffer_data() {
    QTest::addColumn<bool>("setWhileOpen");
    QTest::addColumn<int>("packet");
    QTest::addColumn<uint>("largestRead");
    QTest::newRow("above largest buffer") << false << 9000 << 8192u;
    QTest::newRow("grown while open") << true << 4000 << 2048u;
  }
  void packetNeverReadsPastBuffer() {
    QFETCH(bool, setWhileOpen);
    QFETCH(int, packet);
    QFETCH(uint, largestRead);
    TRig R;
    if (!setWhileOpen) R.D->SetPacketSize(static_cast<std::int16_t>(packet));
    QVERIFY(R.D->OpenPort());
    if (setWhileOpen) R.D->SetPacketSize(static_cast<std::int16_t>(packet));
    QCOMPARE(int(R.D->PacketSize()), packet);
    R.S->Input = Bytes(packet);
    R.D->PollWindowProc();
    QVERIFY(!R.S->Reads.empty());
    QCOMPARE(*std::max_element(R.S->Reads.begin(), R.S->Reads.end()), largestRead);
  }

  // Where the loss is found: by the receive poll, by a send before its first byte, or by a
  // send after part of the text went out. Every way closes the port and reports once.
  void deviceLost_data() {
    QTest::addColumn<QString>("where");
    QTest::addColumn<std::uint32_t>("hangUpAfter");  // bytes written before the device goes
    QTest::addColumn<std::uint32_t>("sent");         // what the send reports
    QTest::newRow("receive poll") << "poll" << 0xFFFFFFFFu << 0u;
    QTest::newRow("send, nothing out") << "send" << 0xFFFFFFFFu << 0u;
    QTest::newRow("send, part out") << "send" << 4u << 4u;
  }
  void deviceLost() {
    QFETCH(QString, where);
    QFETCH(std::uint32_t, hangUpAfter);
    QFETCH(std::uint32_t, sent);
    TRig R;
    int Lost = 0;
    bool OpenInEvent = true;
    R.D->OnDeviceLost = [&](QObject* Sender) {
      ++Lost;
      QCOMPARE(Sender, R.D.get());
      OpenInEvent = R.D->IsOpen();
    };
    QVERIFY(R.D->OpenPort());
    R.S->Input = "late";
    R.S->MaxPerWrite = 2;
    R.S->HangUpAfter = hangUpAfter;
    if (hangUpAfter == 0xFFFFFFFFu) R.S->HangUp = true;
    *R.Step = 1;
    const std::uint32_t Before = *R.Now;
    if (where == QLatin1String("poll")) {
      R.D->PollWindowProc();
      QVERIFY(R.S->Reads.empty());  // nothing is read from a gone device
    } else {
      QCOMPARE(R.D->Transmit("AT^MONI\r", 8), sent);
      // No spinning out the 500 ms send time-out.
      QVERIFY2(*R.Now - Before < 20, qPrintable(QString::number(*R.Now - Before)));
    }
    QCOMPARE(Lost, 1);
    QVERIFY(!OpenInEvent);
    QVERIFY(!R.D->IsOpen());
    QVERIFY(!R.S->Open);
    QVERIFY(R.Got.isEmpty());
    // Found gone, it stays quiet: no second report from a poll or a send.
    R.D->PollWindowProc();
    QVERIFY(!R.D->TransmitText("AT\r"));
    QCOMPARE(Lost, 1);
    // A device that comes back opens as new.
    R.S->HangUpAfter = 0xFFFFFFFFu;
    QVERIFY(R.D->OpenPort());
    QVERIFY(R.D->TransmitText("AT\r"));
    QCOMPARE(Lost, 1);
  }
};

QTEST_MAIN(TestSerialDriver)
#include "tst_serialdriver.moc"
