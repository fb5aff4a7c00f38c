#pragma once

// A gpsd for tests: a QTcpServer on the loopback that talks as gpsd 3.22 does. It greets each
// client with VERSION; once the client sends ?WATCH it answers with DEVICES and WATCH and then
// plays its TPV lines, one every IntervalMs, from the first again after the last (unless
// Loop is off). Lines go out with CR LF as gpsd writes them.

#include <QHostAddress>
#include <QList>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace vantrel::test {

// Lines as a gpsd serving a USB receiver writes them: a TPV without a position first (the
// receiver has no fix yet), then fixes moving east along a road.
inline QByteArray TpvFix(double Lat, double Lon, const char* Time = "2024-05-02T09:14:05.000Z") {
  return QByteArrayLiteral(
             "{\"class\":\"TPV\",\"device\":\"/dev/ttyUSB0\",\"status\":2,\"mode\":3,") +
         "\"time\":\"" + Time + "\",\"ept\":0.005,\"lat\":" + QByteArray::number(Lat, 'f', 9) +
         ",\"lon\":" + QByteArray::number(Lon, 'f', 9) +
         ",\"altHAE\":81.300,\"altMSL\":37.100,\"alt\":37.100,\"epx\":3.712,\"epy\":4.105,"
         "\"epv\":9.890,\"track\":87.4000,\"magtrack\":91.7000,\"magvar\":4.3,\"speed\":8.337,"
         "\"climb\":0.100,\"eps\":8.21,\"epc\":19.78,\"geoidSep\":44.200,\"eph\":4.300,"
         "\"sep\":9.870}";
}
inline const QByteArray TpvNoFix =
    QByteArrayLiteral("{\"class\":\"TPV\",\"device\":\"/dev/ttyUSB0\",\"mode\":1}");

class FakeGpsd : public QObject {
 public:
  QList<QByteArray> Lines;
  int IntervalMs = 100;
  bool Loop = true;

  FakeGpsd() {
    QObject::connect(&FServer, &QTcpServer::newConnection, this, [this] { Accept(); });
    QObject::connect(&FTimer, &QTimer::timeout, this, [this] { PlayNext(); });
  }
  bool Listen(quint16 Port = 0) { return FServer.listen(QHostAddress::LocalHost, Port); }
  quint16 Port() const { return FServer.serverPort(); }
  QString Address() const { return QStringLiteral("127.0.0.1:%1").arg(Port()); }
  // What the clients sent, all of it.
  QByteArray Received() const { return FReceived; }
  bool HasClient() const { return FClient && FClient->state() == QAbstractSocket::ConnectedState; }
  // gpsd stops: the client is dropped and nobody listens any more.
  void Close() {
    FTimer.stop();
    if (FClient) FClient->abort();
    FServer.close();
  }

 private:
  void Accept() {
    while (QTcpSocket* Client = FServer.nextPendingConnection()) {
      if (FClient) FClient->abort();
      FClient = Client;
      FNext = 0;
      Send(R"({"class":"VERSION","release":"3.22","rev":"3.22","proto_major":3,"proto_minor":14})");
      QObject::connect(Client, &QTcpSocket::readyRead, this, [this, Client] {
        const QByteArray Got = Client->readAll();
        FReceived += Got;
        if (!Got.contains("?WATCH=")) return;
        Send(
            R"({"class":"DEVICES","devices":[{"class":"DEVICE","path":"/dev/ttyUSB0","driver":"NMEA0183","activated":"2024-05-02T09:14:03.512Z","flags":1,"native":0,"bps":9600,"parity":"N","stopbits":1,"cycle":1.00}]})");
        Send(
            R"({"class":"WATCH","enable":true,"json":true,"nmea":false,"raw":0,"scaled":false,"timing":false,"split24":false,"pps":false})");
        PlayNext();
        FTimer.start(IntervalMs);
      });
    }
  }
  void PlayNext() {
    if (Lines.isEmpty() || (!Loop && FNext >= Lines.size())) return FTimer.stop();
    Send(Lines[FNext++ % Lines.size()]);
  }
  void Send(const QByteArray& Line) {
    if (HasClient()) FClient->write(Line + "\r\n");
  }

  QTcpServer FServer;
  QTimer FTimer;
  QPointer<QTcpSocket> FClient;
  qsizetype FNext = 0;
  QByteArray FReceived;
};

}  // namespace vantrel::test
