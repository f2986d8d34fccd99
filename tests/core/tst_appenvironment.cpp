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
    QTest::addColumn<QString>("userDir");
    QTest::addColumn<QString>("expectedDir");
    QTest::addColumn<QString>("expectedLine");

    // "%exe" stands for the executable's directory of the row.
    QTest::newRow("chosen wins") << "/srv/mero" << true << "/home/u/.local/share/oskiro-mero" << "/srv/mero"
                                 << ">> application directory (chosen): /srv/mero";
    QTest::newRow("beside the executable") << "" << true << "/home/u/.local/share/oskiro-mero" << "%exe"
                                           << ">> application directory (beside the executable): %exe";
    QTest::newRow("per-user fallback") << "" << false << "/home/u/.local/share/oskiro-mero"
        << "/home/u/.local/share/oskiro-mero"
        << ">> application directory (per-user, the executable's directory %exe is not writable): "
           "/home/u/.local/share/oskiro-mero";
    QTest::newRow("no per-user location") << "" << false << "" << "%exe"
                                          << ">> application directory (beside the executable): %exe";
}

void TestAppEnvironment::resolve()
{
    QFETCH(QString, chosen);
    QFETCH(bool, executableDirWritable);
    QFETCH(QString, userDir);
    QFETCH(QString, expectedDir);
    QFETCH(QString, expectedLine);

    // A directory that does not exist cannot be written, whoever runs the test.
    QTemporaryDir existing;
    const QString exeDir = executableDirWritable ? existing.path() : existing.path() + QStringLiteral("/gone");
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
