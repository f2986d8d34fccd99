#include "core/appenvironment.h"

#include <QTemporaryDir>
#include <QtTest>

using ZCore::AppEnvironment;

class TestAppEnvironment : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void resolve_data();
    void resolve();
    void overrideIsAbsoluteAndClean();
};

void TestAppEnvironment::cleanup()
{
    AppEnvironment::setAppDir(QString());
}

void TestAppEnvironment::resolve_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<bool>("executableDirWritable");
    QTest::addColumn<bool>("installed");
    QTest::addColumn<QString>("userDir");
    QTest::addColumn<QString>("expectedDir");
    QTest::addColumn<QString>("expectedLine");

    // "%exe" stands for the executable's directory of the row.
    QTest::newRow("chosen wins") << "/srv/mero" << true << true << "/home/u/.local/share/oskiro-mero" << "/srv/mero"
                                 << ">> application directory (chosen): /srv/mero";
    QTest::newRow("beside the executable") << "" << true << false << "/home/u/.local/share/oskiro-mero" << "%exe"
                                           << ">> application directory (beside the executable): %exe";
    QTest::newRow("per-user fallback") << "" << false << false << "/home/u/.local/share/oskiro-mero"
        << "/home/u/.local/share/oskiro-mero"
        << ">> application directory (per-user, the executable's directory %exe is not writable): "
           "/home/u/.local/share/oskiro-mero";
    QTest::newRow("no per-user location") << "" << false << false << "" << "%exe"
                                          << ">> application directory (beside the executable): %exe";
    // Run as root, an installed bin/ is writable too.
    QTest::newRow("installed, writable") << "" << true << true << "/home/u/.local/share/oskiro-mero"
        << "/home/u/.local/share/oskiro-mero"
        << ">> application directory (per-user, installed in %exe): /home/u/.local/share/oskiro-mero";
}

void TestAppEnvironment::resolve()
{
    QFETCH(QString, chosen);
    QFETCH(bool, executableDirWritable);
    QFETCH(bool, installed);
    QFETCH(QString, userDir);
    QFETCH(QString, expectedDir);
    QFETCH(QString, expectedLine);

    // A directory that does not exist cannot be written, whoever runs the test.
    QTemporaryDir existing;
    const QString exeDir = existing.path() + (executableDirWritable ? QStringLiteral("/bin") : QStringLiteral("/gone"));
    QVERIFY(!executableDirWritable || QDir(existing.path()).mkdir(QStringLiteral("bin")));
    const QString menuEntry = QStringLiteral("share/applications/%1.desktop").arg(AppEnvironment::kDesktopId);
    QVERIFY(!installed || (QDir(existing.path()).mkpath(QStringLiteral("share/applications"))
                           && QFile(existing.filePath(menuEntry)).open(QIODevice::WriteOnly)));
    expectedDir.replace(QStringLiteral("%exe"), exeDir);
    expectedLine.replace(QStringLiteral("%exe"), exeDir);

    const AppEnvironment::TResolution resolution = AppEnvironment::resolve(chosen, exeDir, userDir);
    QCOMPARE(resolution.dir, expectedDir);
    QCOMPARE(AppEnvironment::describe(resolution, exeDir), expectedLine);
}

void TestAppEnvironment::overrideIsAbsoluteAndClean()
{
    AppEnvironment::setAppDir(QStringLiteral("relative/../data/"));
    const QString expected = QDir::cleanPath(QDir::current().absoluteFilePath(QStringLiteral("data")));
    QCOMPARE(AppEnvironment::appDir(), expected);
    QCOMPARE(AppEnvironment::appDirDescription(), QStringLiteral(">> application directory (chosen): ") + expected);

    AppEnvironment::setAppDir(QString());
    QVERIFY(AppEnvironment::appDir() != expected);
}

QTEST_MAIN(TestAppEnvironment)
#include "tst_appenvironment.moc"
