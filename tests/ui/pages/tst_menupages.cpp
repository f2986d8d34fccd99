#include "core/settingsmanager.h"
#include "fakemainwindow.h"
#include "findwidget.h"
#include "logcapture.h"
#include "recordingdialogs.h"
#include "tempappdir.h"
#include "ui/pages/pgabout.h"
#include "ui/pages/pgcharts.h"

#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QtTest>

#include <memory>

using MW_Pages::PgAbout;
using MW_Pages::PgCharts;
using TestSupport::FakeMainWindow;
using ZCore::SettingsManager;
using ZCore::UserDialogs;

namespace {

const QString kChartsTag = QStringLiteral("MW_Pages::PgCharts");
const QString kSelectedViewKey = QStringLiteral("Charts/selected_chartview");

} // namespace

class TestMenuPages : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void setupNeedsWindowAndTree_data();
    void setupNeedsWindowAndTree();
    void restoresSelectedView_data();
    void restoresSelectedView();
    void savesSelectedView_data();
    void savesSelectedView();
    void aboutPage();
    void reattachingDropsOldConnections();

private:
    std::unique_ptr<TestSupport::TempAppDir> m_appDir;
    std::unique_ptr<TestSupport::RecordingDialogs> m_dialogs;
    std::unique_ptr<FakeMainWindow> m_window;
};

void TestMenuPages::initTestCase()
{
    m_appDir = std::make_unique<TestSupport::TempAppDir>();
    m_dialogs = std::make_unique<TestSupport::RecordingDialogs>();
    QVERIFY(SettingsManager::init());
    m_window = std::make_unique<FakeMainWindow>();
    PgCharts::instance().setupPage(m_window.get(), kChartsTag);
    PgAbout::instance().setupPage(m_window.get(), QStringLiteral("MW_Pages::PgAbout"));
}

void TestMenuPages::cleanupTestCase()
{
    m_window.reset();
    m_dialogs.reset();
    m_appDir.reset();
}

void TestMenuPages::setupNeedsWindowAndTree_data()
{
    QTest::addColumn<bool>("withWindow");
    QTest::addColumn<QString>("expected");
    QTest::newRow("no window") << false << QStringLiteral("Tag >> failed to get parent");
    QTest::newRow("no page tree") << true << QStringLiteral("Tag >> failed to get UI");
}

// A page that could not attach must not react to anything afterwards.
void TestMenuPages::setupNeedsWindowAndTree()
{
    QFETCH(bool, withWindow);
    QFETCH(QString, expected);
    FakeMainWindow bare(false);
    TestSupport::LogCapture log;
    PgCharts::instance().setupPage(withWindow ? &bare : nullptr, QStringLiteral("Tag"));
    QVERIFY(log.lines(QtWarningMsg).contains(expected));
    QVERIFY(!log.contains(QStringLiteral(">> initialized")));
    QVERIFY(!PgCharts::instance().ui());
    emit bare.signalSettingsRestored();
    QVERIFY(bare.selectionRequests().isEmpty());

    PgCharts::instance().setupPage(m_window.get(), kChartsTag);
    QVERIFY(PgCharts::instance().ui());
}

void TestMenuPages::restoresSelectedView_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<int>("selected");
    QTest::addColumn<bool>("warned");
    QTest::newRow("missing") << QVariant() << 0 << false;
    QTest::newRow("UR") << QVariant(1) << 1 << false;
    QTest::newRow("BR") << QVariant(3) << 3 << false;
    QTest::newRow("beyond the corners") << QVariant(4) << 0 << true;
    QTest::newRow("negative") << QVariant(-1) << 0 << true;
    QTest::newRow("text") << QVariant(QStringLiteral("upper")) << 0 << true;
}

void TestMenuPages::restoresSelectedView()
{
    QFETCH(QVariant, stored);
    QFETCH(int, selected);
    QFETCH(bool, warned);
    QSettings *settings = SettingsManager::currentSettings();
    if (stored.isValid())
        settings->setValue(kSelectedViewKey, stored);
    else
        settings->remove(kSelectedViewKey);
    m_window->clearSelectionRequests();

    TestSupport::LogCapture log;
    emit m_window->signalSettingsRestored();
    QCOMPARE(m_window->selectionRequests(), QList<int>{selected});
    QCOMPARE(log.count(QStringLiteral(">> stored chart view is out of range")), warned ? 1 : 0);
}

void TestMenuPages::savesSelectedView_data()
{
    QTest::addColumn<int>("selected");
    QTest::addColumn<uint>("written");
    QTest::newRow("none selected") << int(MainWindowBase::kNoChartView) << 0u;
    QTest::newRow("BL") << 2 << 2u;
}

void TestMenuPages::savesSelectedView()
{
    QFETCH(int, selected);
    QFETCH(uint, written);
    QSettings *settings = SettingsManager::currentSettings();
    settings->setValue(kSelectedViewKey, 3);
    m_window->setSelectedCorner(selected);
    emit m_window->signalSettingsSaved();
    QCOMPARE(settings->value(kSelectedViewKey).toUInt(), written);
}

void TestMenuPages::aboutPage()
{
    using TestSupport::findWidget;
    const QLabel *version = findWidget<QLabel>(m_window.get(), "l_about_appversion_value");
    const QLabel *credit = findWidget<QLabel>(m_window.get(), "label_27");
    QPushButton *aboutQt = findWidget<QPushButton>(m_window.get(), "b_about_qt");
    QVERIFY(version && credit && aboutQt);
    QVERIFY(QRegularExpression(QStringLiteral("^\\d+\\.\\d+\\.\\d+$")).match(version->text()).hasMatch());
    QCOMPARE(version->text(), SettingsManager::appVersion().toString());
    QVERIFY(credit->openExternalLinks());
    QVERIFY(credit->text().contains(QLatin1String("href=\"https://")));

    m_dialogs->clear();
    QTest::mouseClick(aboutQt, Qt::LeftButton);
    QCOMPARE(m_dialogs->count(UserDialogs::EKind::AboutQt), 1);
    QCOMPARE(m_dialogs->boxes().first().title, qtTrId("dw_pmain_about"));
}

void TestMenuPages::reattachingDropsOldConnections()
{
    PgCharts::instance().setupPage(m_window.get(), kChartsTag);
    PgAbout::instance().setupPage(m_window.get(), QStringLiteral("MW_Pages::PgAbout"));
    m_window->clearSelectionRequests();
    m_dialogs->clear();
    emit m_window->signalSettingsRestored();
    QTest::mouseClick(TestSupport::findWidget<QPushButton>(m_window.get(), "b_about_qt"), Qt::LeftButton);
    QCOMPARE(m_window->selectionRequests().size(), 1);
    QCOMPARE(m_dialogs->boxes().size(), 1);
}

QTEST_MAIN(TestMenuPages)
#include "tst_menupages.moc"
