#include "ui/dialogs/deviceconnector.h"

#include "core/settingsmanager.h"
#include "data/device/devicemanager.h"
#include "data/device/devicemessagemanager.h"
#include "data/device/serialport.h"
#include "findwidget.h"
#include "ptypair.h"
#include "recordingdialogs.h"
#include "tempappdir.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTranslator>
#include <QtTest>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

using TestSupport::findWidget;
using ZData::DM::SerialPort;

namespace {

// A dialog listing the ports described "name|manufacturer|description|serial|location".
struct Bench
{
    explicit Bench(const QStringList &ports = {}) : available(ports)
    {
        dialog.setPortSource([this] {
            QVector<DeviceConnector::TPortDetails> result;
            for (const QString &text : available) {
                const QStringList f = text.split(QLatin1Char('|'));
                result.append({f.value(0), f.value(2), f.value(1), f.value(3), f.value(4)});
            }
            return result;
        });
    }
    QComboBox *list() const { return findWidget<QComboBox>(&dialog, "listbox_serial_port_info"); }
    QPushButton *button(const char *name) const { return findWidget<QPushButton>(&dialog, name); }
    QString label(const char *name) const { return findWidget<QLabel>(&dialog, name)->text(); }
    // The listed port names, then the four details shown, then "hint" while
    // the dialog explains an empty list.
    QStringList shown() const
    {
        QStringList texts;
        for (int i = 0; i < list()->count(); ++i)
            texts.append(list()->itemText(i));
        for (const char *name : {"description_value", "manufacturer_value", "serialNumber_value", "location_value"})
            texts.append(label(name));
        if (!findWidget<QLabel>(&dialog, "noPorts_label")->isHidden())
            texts.append(QStringLiteral("hint"));
        return texts;
    }

    QStringList available;
    DeviceConnector dialog;
};

// Root opens a node whatever its mode; as nobody, for as long as this
// object lives, the process is held to the mode like any user.
struct AsNobody
{
    AsNobody() : dropped(::geteuid() == 0 && ::seteuid(65534) == 0) {}
    ~AsNobody()
    {
        if (dropped && ::seteuid(0) != 0)
            qFatal("cannot become root again");
    }
    const bool dropped;
};

void announceOpened(const QString &portName)
{
    ZData::DM::PortSettings settings;
    settings.portName = portName;
    SerialPort::instance().setSettings(settings);
    emit SerialPort::instance().signalOpened();
}

} // namespace

class TestDeviceConnector : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void listedPorts_data();
    void listedPorts();
    void refreshesWhileShown();
    void refreshKeepsChoice_data();
    void refreshKeepsChoice();
    void savedWithEverythingElse();
    void connectionViews();
    void applyOpensPort_data();
    void applyOpensPort();
    void refusedPortExplained_data();
    void refusedPortExplained();

private:
    TestSupport::TempAppDir m_appDir;
    TestSupport::RecordingDialogs m_dialogs;
    QTranslator m_english;
};

void TestDeviceConnector::initTestCase()
{
    QVERIFY(ZCore::SettingsManager::init() && ZData::DeviceMessageManager::init() && SerialPort::init() && ZData::DeviceManager::init());
    QVERIFY(m_english.load(QStringLiteral(":/translation/dranwell_en.qm")) && QCoreApplication::installTranslator(&m_english));
}

// Only the device makers' ports are offered, matched in any case, unless
// all are asked for; the first is selected and its empty details read "N/A".
void TestDeviceConnector::listedPorts_data()
{
    QTest::addColumn<bool>("all");
    QTest::addColumn<QStringList>("available");
    QTest::addColumn<QStringList>("expected");
    const QStringList twoMakers{"ttyUSB0|FTDI|x|y|z", "ttyACM0|stmicroelectronics|Virtual COM|0042|/dev/ttyACM0"};
    QTest::newRow("vendor in lower case") << false << twoMakers << QStringList{"ttyACM0", "Virtual COM", "stmicroelectronics", "0042", "/dev/ttyACM0"};
    QTest::newRow("maker, empty details") << false << QStringList{"ttyACM3|TAMRIK Ltd|||", "ttyACM4|Tamrik|||"}
                                          << QStringList{"ttyACM3", "ttyACM4", "N/A", "TAMRIK Ltd", "N/A", "N/A"};
    QTest::newRow("other makers only") << false << QStringList{"ttyS1||||"} << QStringList{"N/A", "N/A", "N/A", "N/A", "hint"};
    QTest::newRow("all ports asked for") << true << twoMakers << QStringList{"ttyUSB0", "ttyACM0", "x", "FTDI", "y", "z"};
}

void TestDeviceConnector::listedPorts()
{
    QFETCH(bool, all);
    QFETCH(QStringList, available);
    QFETCH(QStringList, expected);
    Bench bench(available);
    findWidget<QCheckBox>(&bench.dialog, "listAll_check")->setChecked(all);
    bench.dialog.slotUpdatePortsInfo();
    QCOMPARE(bench.shown(), expected);
    // Nothing to apply is exactly when the hint explains why.
    QCOMPARE(bench.button("button_apply")->isEnabled(), !expected.contains(QStringLiteral("hint")));
}

// Shown: listed at once and again every second.
void TestDeviceConnector::refreshesWhileShown()
{
    Bench bench({QStringLiteral("ttyACM0|STMicro|||")});
    bench.dialog.show();
    QCOMPARE(bench.list()->itemText(0), QStringLiteral("ttyACM0"));
    bench.available.append(QStringLiteral("ttyACM1|STMicro|||"));
    QTRY_COMPARE(bench.list()->count(), 2);
}

// With two devices attached the user must be able to pick either: a
// refresh keeps the choice while that port is there, and a port opened
// from elsewhere (--port) is the one selected at first.
void TestDeviceConnector::refreshKeepsChoice_data()
{
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<int>("chosen");
    QTest::addColumn<QString>("inUse");
    QTest::addColumn<QStringList>("after");
    QTest::addColumn<QString>("selected");
    const QString acm0 = "ttyACM0|STMicro|||/dev/ttyACM0", acm1 = "ttyACM1|STMicro|||/dev/ttyACM1", acm2 = "ttyACM2|Tamrik|||/dev/ttyACM2";
    QTest::newRow("same ports") << QStringList{acm0, acm1} << 1 << "" << QStringList{acm0, acm1} << "ttyACM1";
    QTest::newRow("port added") << QStringList{acm0, acm1} << 1 << "" << QStringList{acm2, acm0, acm1} << "ttyACM1";
    QTest::newRow("chosen port gone") << QStringList{acm0, acm1} << 1 << "" << QStringList{acm2, acm0} << "ttyACM2";
    QTest::newRow("port in use") << QStringList() << -1 << "/dev/ttyACM1" << QStringList{acm0, acm1} << "ttyACM1";
}

void TestDeviceConnector::refreshKeepsChoice()
{
    QFETCH(QStringList, before);
    QFETCH(int, chosen);
    QFETCH(QString, inUse);
    QFETCH(QStringList, after);
    QFETCH(QString, selected);
    Bench bench(before);
    if (!inUse.isEmpty())
        announceOpened(inUse);
    bench.dialog.slotUpdatePortsInfo();
    if (chosen >= 0)
        bench.list()->setCurrentIndex(chosen);
    bench.available = after;
    bench.dialog.slotUpdatePortsInfo();
    emit SerialPort::instance().signalClosed();
    QCOMPARE(bench.list()->currentText(), selected);
    QCOMPARE(bench.label("location_value"), "/dev/" + selected);
}

// Saved when the main window closes, also while the dialog is still open;
// a dialog never shown has no place of its own to keep, nor a switch the
// user could have turned.
void TestDeviceConnector::savedWithEverythingElse()
{
    const QString key = QStringLiteral("Window.Connection/geometry");
    const QSize size(610, 410);
    for (bool show : {true, false}) {
        ZCore::SettingsManager::currentSettings()->remove(key);
        {
            DeviceConnector dialog;
            if (show) {
                dialog.show();
                dialog.resize(size);
                findWidget<QCheckBox>(&dialog, "listAll_check")->setChecked(true);
            }
            ZCore::SettingsManager::saveAllSettings();
        }
        QCOMPARE(ZCore::SettingsManager::currentSettings()->contains(key), show);
        const DeviceConnector restored;
        QVERIFY(!show || (restored.size() == size && findWidget<QCheckBox>(&restored, "listAll_check")->isChecked()));
    }
}

// While connected the dialog names the port in use, and an unlisted one
// (the simulator's link) is no reason to ask for a cable.
void TestDeviceConnector::connectionViews()
{
    Bench bench;
    bench.dialog.slotUpdatePortsInfo();
    const QLabel *inUse = findWidget<QLabel>(&bench.dialog, "inUse_value");
    for (bool connected : {true, false}) {
        connected ? announceOpened(QStringLiteral("/tmp/mero-sim/ttyMERO")) : emit SerialPort::instance().signalClosed();
        QCOMPARE(bench.button("btn_disconnect")->isHidden(), !connected);
        QCOMPARE(bench.button("button_apply")->isHidden(), connected);
        QCOMPARE(inUse->isHidden() ? QString() : inUse->text(), connected ? QStringLiteral("/tmp/mero-sim/ttyMERO") : QString());
        QCOMPARE(bench.shown().contains(QStringLiteral("hint")), !connected);
    }
}

// Apply opens what the field names: the chosen port, or one typed, which
// the refresh leaves alone while the list changes around it.
void TestDeviceConnector::applyOpensPort_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("opened");
    QTest::newRow("chosen") << "" << "mero-test-no-such-port";
    QTest::newRow("device name") << "ttyMERO-test-none" << "ttyMERO-test-none";
    QTest::newRow("path between blanks") << " /tmp/mero-test/none " << "/tmp/mero-test/none";
}

void TestDeviceConnector::applyOpensPort()
{
    QFETCH(QString, typed);
    QFETCH(QString, opened);
    Bench bench({QStringLiteral("mero-test-no-such-port|Tamrik|||")});
    bench.dialog.show();
    if (!typed.isEmpty()) {
        bench.list()->clearEditText();
        QTest::keyClicks(bench.list(), typed);
    }
    bench.available.prepend(QStringLiteral("ttyACM7|STMicro|||"));
    bench.dialog.slotUpdatePortsInfo();
    QTest::mouseClick(bench.button("button_apply"), Qt::LeftButton);
    QCOMPARE(SerialPort::instance().settings().portName, opened);
    QVERIFY(!bench.dialog.isVisible() && !bench.dialog.isRefreshing());
}

// A port refused for lack of permission gets a box that names the fix,
// once for the user's Apply and not again for each reconnection step.
void TestDeviceConnector::refusedPortExplained_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QStringList>("said");
    QTest::addColumn<QStringList>("unsaid");
    const QString rule = "/usr/lib/udev/rules.d/70-oskiro-mero.rules", busy = "another program";
    // Usable by all, but another program holds it.
    QTest::newRow("group may use it") << 0060 << QStringList{"sudo usermod -aG dialout $USER", rule} << QStringList{busy};
    QTest::newRow("nobody may") << 0000 << QStringList{rule} << QStringList{"usermod", busy};
    QTest::newRow("held by another program") << 0666 << QStringList{busy} << QStringList{"usermod", rule};
}

void TestDeviceConnector::refusedPortExplained()
{
    QFETCH(int, mode);
    QFETCH(QStringList, said);
    QFETCH(QStringList, unsaid);
    TestSupport::PtyPair pty;
    const QByteArray node = QFile::encodeName(pty.slaveName());
    QVERIFY(pty.isValid());
    QSerialPort holder(pty.slaveName());
    QVERIFY(mode != 0666 || holder.open(QIODevice::ReadWrite));
    const group *dialout = ::getgrnam("dialout");
    if (!dialout || ::chown(node.constData(), uid_t(-1), dialout->gr_gid) != 0)
        QSKIP("the node cannot be handed to the dialout group here");
    QVERIFY(::chmod(node.constData(), mode_t(mode)) == 0);
    const AsNobody heldToModes;
    QVERIFY(::geteuid() != 0);
    m_dialogs.clear();
    Bench bench;
    bench.dialog.show();
    QTest::keyClicks(bench.list(), pty.slaveName());
    QTest::mouseClick(bench.button("button_apply"), Qt::LeftButton);
    // A reconnection step; its box would be posted before the first one
    // is delivered.
    SerialPort::instance().open(false);
    QTRY_VERIFY(!m_dialogs.boxes().isEmpty());
    QCOMPARE(m_dialogs.boxes().size(), 1);
    QCOMPARE(m_dialogs.count(ZCore::UserDialogs::EKind::Warning), 1);
    const QString text = m_dialogs.boxes().first().text;
    for (const QString &part : said + QStringList{pty.slaveName()})
        QVERIFY2(text.contains(part), qPrintable(text));
    for (const QString &part : unsaid)
        QVERIFY2(!text.contains(part), qPrintable(text));
}

QTEST_MAIN(TestDeviceConnector)
#include "tst_deviceconnector.moc"
