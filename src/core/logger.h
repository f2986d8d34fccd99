#pragma once

#include "core/isinitializable.h"
#include "core/tsingleton.h"

#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <QTextStream>

#include <memory>

namespace ZCore {

class Logger : public TSingleton<Logger>, public ISInitializable
{
    friend class TSingleton<Logger>;

public:
    static bool init();
    static bool initDirs();
    static bool initFiles();
    static void printSessionBanner();
    static QString tag();

    static bool isInstalled();
    // True when the given handler is the one the Logger installs.
    static bool isMessageHandler(QtMessageHandler handler);
    static QString logsDirPath();
    static QString logFilePath();
    static void handleMessage(QtMsgType type, const QMessageLogContext &context, const QString &text);
    static void flush();
    // Puts the platform handler back and closes the file (tests, teardown).
    static void uninstall();
    // Every line is also passed on to this handler (the platform's own by
    // default); tests put a recorder here. Returns the one it replaces.
    static QtMessageHandler setPassOnHandler(QtMessageHandler handler);

    // Exact widths matter: the labels line up the log columns.
    static QString levelLabel(QtMsgType type);

    ~Logger() override;

private:
    Logger() = default;
    void detach();

    static constexpr double kMsPerSecond = 1000.0;
    static constexpr int kElapsedFieldWidth = 9;
    static constexpr int kElapsedDecimals = 3;

    QElapsedTimer m_clock;
    QString m_logsDir;
    QString m_logPath;
    QFile m_file;
    std::unique_ptr<QTextStream> m_stream;
    bool m_installed = false;
};

} // namespace ZCore
