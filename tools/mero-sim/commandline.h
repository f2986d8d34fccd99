#pragma once

#include "simoptions.h"

#include <QString>
#include <QStringList>

namespace MeroSim {

// The mero-sim command line. Parsing never exits the process, so tests can
// check what a command line turns into.
class CommandLine
{
public:
    enum class Outcome : quint8 { Run, ShowHelp, Error };

    // arguments[0] is the program name, as in QCoreApplication::arguments().
    Outcome parse(const QStringList &arguments);

    const Options &options() const { return m_options; }
    QString error() const { return m_error; }
    QString helpText() const { return m_helpText; }

    static QString defaultLinkPath();

private:
    Outcome fail(const QString &error);

    Options m_options;
    QString m_error;
    QString m_helpText;
};

} // namespace MeroSim
