#include "data/device/devicecommands.h"
#include "data/device/devicemessagemanager.h"
#include "data/server/eservercommands.h"

#include "core/enumtext.h"

#include "logcapture.h"

#include <QtTest>

using namespace ZData;

namespace {

QString textOf(const QString &kind, qint64 value)
{
    if (kind == QLatin1String("command"))
        return commandText(quint16(value));
    if (kind == QLatin1String("state"))
        return stateText(quint8(value));
    if (kind == QLatin1String("type"))
        return typeText(quint8(value));
    if (kind == QLatin1String("option"))
        return optionText(static_cast<EDeviceOptions>(value));
    if (kind == QLatin1String("frame state"))
        return DMM::stateText(static_cast<DMM::EStates>(value));
    return ZCore::enumText(static_cast<EServerCommands>(value));
}

} // namespace

class TstDeviceCommands : public QObject
{
    Q_OBJECT

private slots:
    void texts_data();
    void texts();
};

void TstDeviceCommands::texts_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<qint64>("value");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("warning");
    QTest::newRow("command") << "command" << qint64(0xD003) << "EDeviceCommands::D_GET_OPTIONS" << QString();
    QTest::newRow("highest command") << "command" << qint64(0xFFF4) << "EDeviceCommands::S_UPDATE_ACTUAL_VERSION" << QString();
    QTest::newRow("unknown command") << "command" << qint64(0x1234) << "4660"
                                     << "EnumPrinter >> got unknown value of [ EDeviceCommands ]: 4660";
    QTest::newRow("state") << "state" << qint64(1) << "EDeviceStates::BOOTLOADER" << QString();
    QTest::newRow("undefined state") << "state" << qint64(0xFF) << "EDeviceStates::UNDEFINED" << QString();
    QTest::newRow("unknown state") << "state" << qint64(2) << "2"
                                   << "EnumPrinter >> got unknown value of [ EDeviceStates ]: 2";
    QTest::newRow("type") << "type" << qint64(22) << "EDeviceTypes::OSKIRO_MERO" << QString();
    QTest::newRow("option") << "option" << qint64(1) << "EDeviceOptions::BANDWIDTH" << QString();
    QTest::newRow("frame state") << "frame state" << qint64(0) << "DMM::EStates::FREE" << QString();
    QTest::newRow("frame state 15") << "frame state" << qint64(15) << "DMM::EStates::SEND_BUSY" << QString();
    QTest::newRow("unknown frame state") << "frame state" << qint64(16) << "16"
                                         << "EnumPrinter >> got unknown value of [ DMM::EStates ]: 16";
    QTest::newRow("server result") << "server" << qint64(-1) << "EServerCommands::UNDEFINED" << QString();
}

void TstDeviceCommands::texts()
{
    QFETCH(QString, kind);
    QFETCH(qint64, value);
    QFETCH(QString, expected);
    QFETCH(QString, warning);
    TestSupport::LogCapture log;
    QCOMPARE(textOf(kind, value), expected);
    const QStringList expectedWarnings = warning.isEmpty() ? QStringList() : QStringList{warning};
    QCOMPARE(log.lines(QtWarningMsg), expectedWarnings);
}

QTEST_GUILESS_MAIN(TstDeviceCommands)
#include "tst_devicecommands.moc"
