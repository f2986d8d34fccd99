#pragma once

#include "core/appenvironment.h"
#include "core/settingsmanager.h"
#include "core/userdialogs.h"
#include "data/scan/datascanmanager.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>
#include <memory>

// What every target shares: an application object and a private
// application directory for the whole run, no output per input, no box
// that waits for a click and no exit on a fatal log line.
namespace FuzzSupport {

inline void quiet(QtMsgType, const QMessageLogContext &, const QString &) {}

class SilentDialogs : public ZCore::UserDialogs::IBackend
{
public:
    bool show(ZCore::UserDialogs::EKind, QWidget *, const QString &, const QString &) override { return false; }
    void exitApplication(int) override {}
};

// Broken invariants end the run like a sanitizer report does.
inline void expect(bool condition)
{
    if (!condition)
        std::abort();
}

inline void setUp(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    static QTemporaryDir appDir;
    expect(appDir.isValid());
    ZCore::AppEnvironment::setAppDir(appDir.path());
    // Set MERO_FUZZ_VERBOSE to see the log lines while reproducing a crash.
    if (qEnvironmentVariableIsEmpty("MERO_FUZZ_VERBOSE"))
        qInstallMessageHandler(quiet);
    ZCore::UserDialogs::setBackend(std::make_unique<SilentDialogs>());
}

// For the targets that read what the sweep works on: the profiles and the
// presets read from them, as start-up leaves them.
inline void setUpWithPresets(int *argc, char ***argv)
{
    setUp(argc, argv);
    expect(ZCore::SettingsManager::init());
    expect(ZData::DataScanManager::instance().init());
}

inline QByteArray bytes(const uint8_t *data, size_t size)
{
    return QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size));
}

// For readers that take only a path: every input goes to the same file.
inline bool writeFile(const QString &path, const QByteArray &contents)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(contents) == contents.size();
}

} // namespace FuzzSupport
