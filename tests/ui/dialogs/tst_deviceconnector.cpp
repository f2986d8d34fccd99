#include "ui/dialogs/deviceconnector.h"

#include "core/settingsmanager.h"
#include "data/device/devicemanager.h"
#include "data/device/devicemessagemanager.h"
#include "data/device/serialport.h"
#include "findwidget.h"
#include "recordingdialogs.h"
#include "tempappdir.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QtTest>

#include <memory>

using TestSupport::findWidget;
using ZCore::SettingsManager;
using ZData::DM::SerialPort;
using Port = DeviceConnector::TPortDetails;

namespace {

const char *const kValueLabels[] = {"description_value", "manufacturer_value", "serialNumber_value", "location_value"};

// "name|manufacturer|description|serial|location"
QVector<Port> ports(const QStringList &descriptions)
{
    QVector<Port> result;
    for (const QString &text : descriptions) {
        const QStringList f = text.split(QLatin1Char('|'));
        result.append({f.value(0), f.value(2), f.value(1), f.value(3), f.value(4)});
    }
    return result;
}

QStringList notAvailable()
{
    const QString text = QStringLiteral("N/A");
    return {text, text, text, text};
}

QStringList shownDetails(const DeviceConnector &dialog)
{
    QStringList texts;
    for (const char *name : kValueLabels)
        texts.append(findWidget<QLabel>(&dialog, name)->text());
    return texts;
}

QStringList listedNames(const DeviceConnector &dialog)
{
    const QComboBox *list = findWidget<QComboBox>(&dialog, "listbox_serial_port_info");
    QStringList names;
    for (int i = 0; i < list->count(); ++i)
        names.append(list->itemText(i));
    return names;
}

} // namespace

class TestDeviceConnector : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void formObjects_data();
    void formObjects();
    void initialState();
    void listsOnlyDevicePorts_data();
    void listsOnlyDevicePorts();
    void refreshesOnlyWhileShown();
    void connectionViews();
    void applyOpensChosenPort();

private:
    std::unique_ptr<TestSupport::TempAppDir> m_appDir;
    std::unique_ptr<TestSupport::RecordingDialogs> m_dialogs;
};

void TestDeviceConnector::initTestCase()
{
    m_appDir = std::make_unique<TestSupport::TempAppDir>();
    m_dialogs = std::make_unique<TestSupport::RecordingDialogs>();
    QVERIFY(SettingsManager::init());
    QVERIFY(ZData::DeviceMessageManager::init());
    QVERIFY(SerialPort::init());
    QVERIFY(ZData::DeviceManager::init());
}

void TestDeviceConnector::cleanupTestCase()
{
    m_dialogs.reset();
    m_appDir.reset();
}

void TestDeviceConnector::formObjects_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("className");
    const QList<QPair<const char *, const char *>> objects = {
        {"verticalLayout", "QVBoxLayout"}, {"selectBox", "QGroupBox"}, {"verticalLayout_2", "QVBoxLayout"},
        {"listbox_serial_port_info", "QComboBox"}, {"formLayout", "QFormLayout"},
        {"location_label", "QLabel"}, {"location_value", "QLabel"},
        {"serialNumber_label", "QLabel"}, {"serialNumber_value", "QLabel"},
        {"manufacturer_label", "QLabel"}, {"manufacturer_value", "QLabel"},
        {"description_label", "QLabel"}, {"description_value", "QLabel"},
        {"horizontalLayout", "QHBoxLayout"}, {"button_refresh", "QPushButton"},
        {"button_apply", "QPushButton"}, {"btn_disconnect", "QPushButton"}};
    for (const auto &[name, className] : objects)
        QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(className);
}

void TestDeviceConnector::formObjects()
{
    QFETCH(QString, name);
    QFETCH(QString, className);
    DeviceConnector dialog;
    const QObject *object = dialog.findChild<QObject *>(name);
    QVERIFY(object);
    QCOMPARE(QString::fromLatin1(object->metaObject()->className()), className);
}

void TestDeviceConnector::initialState()
{
    DeviceConnector dialog;
    QCOMPARE(dialog.objectName(), QStringLiteral("DeviceConnector"));
    QCOMPARE(dialog.size(), QSize(400, 300));
    QCOMPARE(dialog.windowTitle(), qtTrId("devcon_sp_window_title"));
    const QPushButton *apply = findWidget<QPushButton>(&dialog, "button_apply");
    const QPushButton *disconnect = findWidget<QPushButton>(&dialog, "btn_disconnect");
    QVERIFY(!apply->isEnabled() && !apply->isHidden());
    QVERIFY(disconnect->isHidden());
    QCOMPARE(shownDetails(dialog), notAvailable());
    QVERIFY(!dialog.isRefreshing());
}

void TestDeviceConnector::listsOnlyDevicePorts_data()
{
    QTest::addColumn<QStringList>("available");
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<QStringList>("details");
    const QStringList none = notAvailable();
    QTest::newRow("vendor in lower case")
        << QStringList{QStringLiteral("ttyACM0|stmicroelectronics|Virtual COM|0042|/dev/ttyACM0")}
        << QStringList{QStringLiteral("ttyACM0")}
        << QStringList{QStringLiteral("Virtual COM"), QStringLiteral("stmicroelectronics"), QStringLiteral("0042"),
                       QStringLiteral("/dev/ttyACM0")};
    QTest::newRow("maker, empty details")
        << QStringList{QStringLiteral("ttyS0||a|b|c"), QStringLiteral("ttyACM3|TAMRIK Ltd|||")}
        << QStringList{QStringLiteral("ttyACM3")}
        << QStringList{QStringLiteral("N/A"), QStringLiteral("TAMRIK Ltd"), QStringLiteral("N/A"), QStringLiteral("N/A")};
    QTest::newRow("other makers only")
        << QStringList{QStringLiteral("ttyUSB0|FTDI|x|y|z"), QStringLiteral("ttyS1||||")} << QStringList() << none;
    QTest::newRow("several, first selected")
        << QStringList{QStringLiteral("ttyACM1|STMicro|first|1|l1"), QStringLiteral("ttyACM2|Tamrik|second|2|l2")}
        << QStringList{QStringLiteral("ttyACM1"), QStringLiteral("ttyACM2")}
        << QStringList{QStringLiteral("first"), QStringLiteral("STMicro"), QStringLiteral("1"), QStringLiteral("l1")};
}

void TestDeviceConnector::listsOnlyDevicePorts()
{
    QFETCH(QStringList, available);
    QFETCH(QStringList, listed);
    QFETCH(QStringList, details);
    DeviceConnector dialog;
    dialog.setPortSource([&available] { return ports(available); });
    dialog.slotUpdatePortsInfo();
    QCOMPARE(listedNames(dialog), listed);
    QCOMPARE(shownDetails(dialog), details);
    QCOMPARE(findWidget<QPushButton>(&dialog, "button_apply")->isEnabled(), !listed.isEmpty());
}

// Shown: listed at once and again every second; hidden by any way out: no
// more refreshing, and the geometry is kept for the next dialog.
void TestDeviceConnector::refreshesOnlyWhileShown()
{
    QStringList available{QStringLiteral("ttyACM0|STMicro|||")};
    DeviceConnector dialog;
    dialog.setPortSource([&available] { return ports(available); });
    dialog.show();
    QVERIFY(dialog.isRefreshing());
    QCOMPARE(listedNames(dialog), QStringList{QStringLiteral("ttyACM0")});
    available.append(QStringLiteral("ttyACM1|STMicro|||"));
    QTRY_COMPARE(listedNames(dialog).size(), 2);

    dialog.resize(640, 420);
    dialog.reject();
    QVERIFY(!dialog.isRefreshing());
    QSettings *settings = SettingsManager::currentSettings();
    QVERIFY(!settings->value(QStringLiteral("Window.Connection/geometry")).toByteArray().isEmpty());
    DeviceConnector next;
    QCOMPARE(next.size(), QSize(640, 420));
}

void TestDeviceConnector::connectionViews()
{
    DeviceConnector dialog;
    const QPushButton *apply = findWidget<QPushButton>(&dialog, "button_apply");
    const QPushButton *disconnect = findWidget<QPushButton>(&dialog, "btn_disconnect");
    emit SerialPort::instance().signalOpened();
    QVERIFY(!disconnect->isHidden() && apply->isHidden());
    emit SerialPort::instance().signalClosed();
    QVERIFY(disconnect->isHidden() && !apply->isHidden());
}

void TestDeviceConnector::applyOpensChosenPort()
{
    const QString name = QStringLiteral("mero-test-no-such-port");
    DeviceConnector dialog;
    dialog.setPortSource([&name] { return ports({name + QStringLiteral("|Tamrik|||")}); });
    dialog.show();
    QTest::mouseClick(findWidget<QPushButton>(&dialog, "button_apply"), Qt::LeftButton);
    QCOMPARE(SerialPort::instance().settings().portName, name);
    QCOMPARE(SerialPort::instance().settings().baudRate, ZData::DM::PortSettings::kDefaultBaudRate);
    QVERIFY(!dialog.isVisible());
    QVERIFY(!dialog.isRefreshing());
}

QTEST_MAIN(TestDeviceConnector)
#include "tst_deviceconnector.moc"
