#include "support/ptypair.h"
#include "serial/vokserialport.h"

#include <QSerialPortInfo>
#include <QSignalSpy>
#include <QtTest>

class TestVokSerialPort : public QObject
{
    Q_OBJECT
private slots:
    void appliesSettingsByIndex_data();
    void appliesSettingsByIndex();
    void indexOutsideItsTableLeavesTheSetting();
    void refusedSettingsDoNotFailTheOpen();
    void deliversWhatThePeerWrites();
    void closeStopsDeliveryAndReopenDeliversOnce();
    void refusesMissingAndEmptyNames();
    void announcesTheFullPortList();
};

void TestVokSerialPort::appliesSettingsByIndex_data()
{
    QTest::addColumn<QString>("baud");
    QTest::addColumn<int>("dataIndex");
    QTest::addColumn<int>("stopIndex");
    QTest::addColumn<int>("parityIndex");
    QTest::addColumn<int>("baudRate");
    QTest::addColumn<QSerialPort::DataBits>("dataBits");
    QTest::addColumn<QSerialPort::StopBits>("stopBits");
    QTest::addColumn<QSerialPort::Parity>("parity");
    QTest::newRow("9600 8N1") << "9600" << 3 << 0 << 0 << 9600 << QSerialPort::Data8
                              << QSerialPort::OneStop << QSerialPort::NoParity;
    QTest::newRow("115200 8O2") << "115200" << 3 << 2 << 1 << 115200 << QSerialPort::Data8
                                << QSerialPort::TwoStop << QSerialPort::OddParity;
    QTest::newRow("300 8S1.5") << "300" << 3 << 1 << 3 << 300 << QSerialPort::Data8
                               << QSerialPort::OneAndHalfStop << QSerialPort::SpaceParity;
    QTest::newRow("1200 5N1") << "1200" << 0 << 0 << 0 << 1200 << QSerialPort::Data5
                              << QSerialPort::OneStop << QSerialPort::NoParity;
}

void TestVokSerialPort::appliesSettingsByIndex()
{
    QFETCH(QString, baud);
    QFETCH(int, dataIndex);
    QFETCH(int, stopIndex);
    QFETCH(int, parityIndex);
    PtyPair pty;
    QVERIFY(pty.isValid());
    VokSerialPort port;
    QVERIFY(port.openCom(pty.slavePath(), baud, dataIndex, stopIndex, parityIndex));
    QTEST(int(port.baudRate()), "baudRate");
    QTEST(port.dataBits(), "dataBits");
    QTEST(port.stopBits(), "stopBits");
    QTEST(port.parity(), "parity");
    port.closeCom();
}

void TestVokSerialPort::indexOutsideItsTableLeavesTheSetting()
{
    PtyPair pty;
    VokSerialPort port;
    QVERIFY(port.openCom(pty.slavePath(), "9600", 3, 2, 1));
    port.closeCom();
    // Reopen with indexes beyond every table and a baud text that is no
    // number: the port opens and keeps what it had.
    QVERIFY(port.openCom(pty.slavePath(), "fast", 4, -1, 9));
    QCOMPARE(port.dataBits(), QSerialPort::Data8);
    QCOMPARE(port.stopBits(), QSerialPort::TwoStop);
    QCOMPARE(port.parity(), QSerialPort::OddParity);
    QCOMPARE(int(port.baudRate()), 9600);
}

void TestVokSerialPort::refusedSettingsDoNotFailTheOpen()
{
    // A pseudo-terminal always keeps 8 data bits without parity: the driver
    // refuses 7 bits and even parity, and the port is open all the same.
    PtyPair pty;
    VokSerialPort port;
    QVERIFY(port.openCom(pty.slavePath(), "9600", 2, 0, 2));
    QVERIFY(port.isOpen());
    QCOMPARE(port.error(), QSerialPort::UnsupportedOperationError);
}

void TestVokSerialPort::deliversWhatThePeerWrites()
{
    PtyPair pty;
    VokSerialPort port;
    QSignalSpy spy(&port, &VokSerialPort::DataReady);
    QVERIFY(port.openCom(pty.slavePath(), "115200", 3, 0, 0));
    const QByteArray sent = QByteArray::fromHex("FFFF0005010000000600FF55AA");
    QVERIFY(pty.write(sent));
    QByteArray received;
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            received.clear();
            for (const auto &args : qAsConst(spy))
                received += args.at(0).toByteArray();
            return received.size() >= sent.size();
        }(),
        5000);
    QCOMPARE(received, sent);

    // and the other way round: what the port writes reaches the peer
    port.write(QByteArray::fromHex("FFFF00050B00000010"));
    QCOMPARE(pty.readAtLeast(9), QByteArray::fromHex("FFFF00050B00000010"));
}

void TestVokSerialPort::closeStopsDeliveryAndReopenDeliversOnce()
{
    PtyPair pty;
    VokSerialPort port;
    QSignalSpy spy(&port, &VokSerialPort::DataReady);
    QVERIFY(port.openCom(pty.slavePath(), "9600", 3, 0, 0));
    port.closeCom();
    QVERIFY(!port.isOpen());
    pty.write("closed");
    QTest::qWait(100);
    QCOMPARE(spy.count(), 0);

    for (int round = 0; round < 2; ++round) {
        QVERIFY(port.openCom(pty.slavePath(), "9600", 3, 0, 0));
        pty.read(50, 20); // anything written while closed stays behind in the pty
        spy.clear();
        QVERIFY(pty.write("abc"));
        QTRY_VERIFY_WITH_TIMEOUT(spy.count() >= 1, 5000);
        QTest::qWait(100);
        // one connection: one non-empty chunk carrying the bytes once
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toByteArray(), QByteArray("abc"));
        port.closeCom();
    }
}

void TestVokSerialPort::refusesMissingAndEmptyNames()
{
    VokSerialPort port;
    QVERIFY(!port.openCom(QString(), "9600", 3, 0, 0));
    QVERIFY(!port.openCom("/dev/vok-no-such-device", "9600", 3, 0, 0));
    QVERIFY(!port.isOpen());
}

void TestVokSerialPort::announcesTheFullPortList()
{
    VokSerialPort port;
    QSignalSpy spy(&port, &VokSerialPort::ComListChange);
    QVERIFY(spy.wait(3000)); // the first poll comes after one second
    QList<QString> names;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        names.append(info.portName());
    QCOMPARE(spy.first().first().value<QList<QString>>(), names);
}

QTEST_GUILESS_MAIN(TestVokSerialPort)
#include "tst_vokserialport.moc"
