// The serial port on a real pseudo-terminal: settings by combo-box index,
// delivery both ways while open and only once after reopening, and the
// list of ports passed on.

#include "serial/vokserialport.h"

#include "support/ptypair.h"

#include <QtTest>

class TestVokSerialPort : public QObject
{
    Q_OBJECT
private slots:
    void appliesSettingsByIndex()
    {
        PtyPair pty;
        VokSerialPort port;
        // One port opened again and again: an index outside its table (or a baud
        // rate that is no number) leaves what the port had; a pseudo-terminal
        // refuses 7 data bits and even parity, and the port opens all the same.
        const struct { const char *baud; int data, stop, parity; const char *result; } rows[] = {
            {"9600", 3, 0, 0, "9600 8N1"}, {"9600", 2, 0, 2, "9600 8N1 refused"}, {"115200", 3, 2, 1, "115200 8O2"},
            {"fast", 4, -1, 9, "115200 8O2 refused"}, {"300", 3, 1, 3, "300 8S1.5"}, {"1200", 0, 0, 0, "1200 5N1"}};
        for (const auto &row : rows) {
            QVERIFY(port.openCom(pty.slavePath(), row.baud, row.data, row.stop, row.parity));
            const bool refused = port.error() == QSerialPort::UnsupportedOperationError;
            QCOMPARE(port.settingsText() + (refused ? " refused" : ""), QString(row.result));
            port.closeCom();
        }
        QVERIFY(!port.openCom(QString(), "9600", 3, 0, 0) && !port.openCom("/dev/vok-no-such-device", "9600", 3, 0, 0));
        QVERIFY(!port.isOpen());
    }

    void deliversWhileOpenAndOnce()
    {
        PtyPair pty;
        VokSerialPort port;
        QSignalSpy spy(&port, &VokSerialPort::DataReady);
        auto received = [&] { // an empty chunk would mean a second connection
            QByteArray all;
            for (const auto &args : qAsConst(spy))
                all += args.at(0).toByteArray().isEmpty() ? QByteArray("<empty>") : args.at(0).toByteArray();
            return all;
        };
        const QByteArray frame = QByteArray::fromHex("FFFF0005010000000600FF55AA");
        for (int round = 0; round < 2; ++round) {
            QVERIFY(port.openCom(pty.slavePath(), "115200", 3, 0, 0));
            spy.clear();
            QVERIFY(pty.write(frame));
            QTRY_COMPARE(received(), frame);
            port.write(frame.left(9));
            QCOMPARE(pty.readAtLeast(9), frame.left(9));
            port.closeCom();
        }
        pty.write("closed");
        QTest::qWait(20);
        QCOMPARE(received(), frame);
    }

    void announcesTheFullPortList()
    {
        QVERIFY(!listed.isEmpty() || listed.wait(3000));
        QList<QString> names;
        for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
            names.append(info.portName());
        QCOMPARE(listed.first().first().value<QList<QString>>(), names);
    }

private:
    // Made with the test: the first list comes a second later, meanwhile the others run.
    VokSerialPort lister;
    QSignalSpy listed{&lister, &VokSerialPort::ComListChange};
};

QTEST_GUILESS_MAIN(TestVokSerialPort)
#include "tst_vokserialport.moc"
