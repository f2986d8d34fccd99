#include "core/settingsmanager.h"
#include "fakemainwindow.h"
#include "findwidget.h"
#include "recordingdialogs.h"
#include "tempappdir.h"
#include "ui/pages/pgabout.h"
#include "ui/pages/pgcharts.h"

#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QtTest>

#include <memory>

using TestSupport::FakeMainWindow;
using ZCore::SettingsManager;

namespace {

const QString kChartsTag = QStringLiteral("MW_Pages::PgCharts");
const QString kSelectedViewKey = QStringLiteral("Charts/selected_chartview");

} // namespace

class TestMenuPages : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void selectedViewRoundTrip_data();
    void selectedViewRoundTrip();
    void aboutPage();
    void reattachingDropsOldConnections();

private:
    void attach();

    TestSupport::TempAppDir m_appDir;
    TestSupport::RecordingDialogs m_dialogs;
    std::unique_ptr<FakeMainWindow> m_window;
};

void TestMenuPages::initTestCase()
{
    QVERIFY(SettingsManager::init());
    m_window = std::make_unique<FakeMainWindow>();
    attach();
}

void TestMenuPages::attach()
{
    MW_Pages::PgCharts::instance().setupPage(m_window.get(), kChartsTag);
    MW_Pages::PgAbout::instance().setupPage(m_window.get(), QStringLiteral("MW_Pages::PgAbout"));
}

// A stored corner out of range falls back to the first; a window with no
// view selected saves the first.
void TestMenuPages::selectedViewRoundTrip_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<int>("selected");
    QTest::newRow("BR") << QVariant(3) << 3;
    QTest::newRow("beyond the corners") << QVariant(4) << 0;
    QTest::newRow("text") << QVariant(QStringLiteral("upper")) << 0;
}

void TestMenuPages::selectedViewRoundTrip()
{
    QFETCH(QVariant, stored);
    QFETCH(int, selected);
    QSettings *settings = SettingsManager::currentSettings();
    settings->setValue(kSelectedViewKey, stored);
    m_window->clearSelectionRequests();
    emit m_window->signalSettingsRestored();
    QCOMPARE(m_window->selectionRequests(), QList<int>{selected});
    m_window->setSelectedCorner(selected == 0 ? int(MainWindowBase::kNoChartView) : selected);
    emit m_window->signalSettingsSaved();
    QCOMPARE(settings->value(kSelectedViewKey).toInt(), selected);
}

void TestMenuPages::aboutPage()
{
    const QLabel *version = TestSupport::findWidget<QLabel>(m_window.get(), "l_about_appversion_value");
    QVERIFY(version);
    QCOMPARE(version->text(), SettingsManager::appVersion().toString());
    m_dialogs.clear();
    QTest::mouseClick(TestSupport::findWidget<QPushButton>(m_window.get(), "b_about_qt"), Qt::LeftButton);
    QCOMPARE(m_dialogs.count(ZCore::UserDialogs::EKind::AboutQt), 1);
}

// Attaching again must not double every reaction.
void TestMenuPages::reattachingDropsOldConnections()
{
    attach();
    m_window->clearSelectionRequests();
    m_dialogs.clear();
    emit m_window->signalSettingsRestored();
    QTest::mouseClick(TestSupport::findWidget<QPushButton>(m_window.get(), "b_about_qt"), Qt::LeftButton);
    QCOMPARE(m_window->selectionRequests().size(), 1);
    QCOMPARE(m_dialogs.boxes().size(), 1);
}

QTEST_MAIN(TestMenuPages)
#include "tst_menupages.moc"
