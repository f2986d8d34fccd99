#include "commandline.h"

#include "firmwareimage.h"

#include <QCommandLineParser>
#include <QDir>

#include <limits>

namespace MeroSim {

namespace {

constexpr int kWordBase = 0; // accepts decimal and 0x… hex
// Far above what a transfer can announce, so that refusal can be tried out.
constexpr int kMaxServerImageSize = 128 * 1024 * 1024;
const QString kRealistic = QStringLiteral("realistic");
const QString kInstant = QStringLiteral("instant");

// "a-b-c" or "a.b.c": three unsigned 32-bit numbers.
bool parseThreeWords(const QString &text, const QString &separators, std::array<quint32, 3> *words)
{
    const QStringList parts = text.split(QRegExp(QStringLiteral("[%1]").arg(QRegExp::escape(separators))));
    if (parts.size() != int(words->size()))
        return false;
    for (int i = 0; i < parts.size(); ++i) {
        bool ok = false;
        const qulonglong value = parts[i].toULongLong(&ok, kWordBase);
        if (!ok || value > std::numeric_limits<quint32>::max())
            return false;
        (*words)[size_t(i)] = quint32(value);
    }
    return true;
}

// A 16-bit word, decimal or 0x… hex.
bool parseWord(const QString &text, quint16 *value)
{
    bool ok = false;
    const uint parsed = text.toUInt(&ok, kWordBase);
    if (!ok || parsed > std::numeric_limits<quint16>::max())
        return false;
    *value = quint16(parsed);
    return true;
}

bool parseInt(const QString &text, int minimum, int *value)
{
    bool ok = false;
    const int parsed = text.toInt(&ok);
    if (!ok || parsed < minimum)
        return false;
    *value = parsed;
    return true;
}

} // namespace

QString CommandLine::defaultLinkPath()
{
    return QDir(QDir::tempPath()).filePath(QStringLiteral("ttyMERO0"));
}

CommandLine::Outcome CommandLine::parse(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Simulates a MERO frequency-response meter on a pseudo-terminal. The host opens the\n"
        "link path as its serial port (115200 8N1, hardware flow control).\n\n"
        "Faults (--fault, repeatable) take the form KIND[:SCHEDULE][:run=N]:\n"
        "  KIND      %1\n"
        "  SCHEDULE  once (default; the next reply), every=N (every Nth reply),\n"
        "            p=P (each reply with probability P, drawn from --seed)\n"
        "  run=N     each strike hits N replies in a row (default 1)\n\n"
        "SIGUSR1 pulls the plug at any moment: the link disappears for --unplug-delay ms.")
        .arg(FaultRule::kindNames().join(QStringLiteral(", "))));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help."));
    const QCommandLineOption link(QStringLiteral("link"),
        QStringLiteral("Symbolic link to the terminal's slave side (default %1).").arg(defaultLinkPath()),
        QStringLiteral("path"), defaultLinkPath());
    const QCommandLineOption id(QStringLiteral("id"),
        QStringLiteral("Device identifier as three numbers a-b-c."), QStringLiteral("a-b-c"));
    const QCommandLineOption type(QStringLiteral("type"),
        QStringLiteral("Type-state word the device reports (default 0x0016, a MERO in its application;\n"
                       "e.g. 0x0008 for another device)."), QStringLiteral("word"));
    const QCommandLineOption firmware(QStringLiteral("version"),
        QStringLiteral("Firmware version as major.minor.build."), QStringLiteral("x.y.z"));
    const QCommandLineOption optionsText(QStringLiteral("options-text"),
        QStringLiteral("Reply to D_GET_OPTIONS (default \"%1\").").arg(Options().optionsText),
        QStringLiteral("text"));
    const QCommandLineOption bootloader(QStringLiteral("bootloader"),
        QStringLiteral("Start in the bootloader instead of the application."));
    const QCommandLineOption timing(QStringLiteral("timing"),
        QStringLiteral("instant (default) or realistic (time per point from the sample size)."),
        QStringLiteral("mode"), kInstant);
    const QCommandLineOption seed(QStringLiteral("seed"),
        QStringLiteral("Seed of measurement noise and random faults (default 1)."), QStringLiteral("n"));
    const QCommandLineOption log(QStringLiteral("log"),
        QStringLiteral("Write the log to this file instead of standard error."), QStringLiteral("file"));
    const QCommandLineOption quiet(QStringLiteral("quiet"), QStringLiteral("Write no log at all."));
    const QCommandLineOption fault(QStringLiteral("fault"),
        QStringLiteral("Arm a fault, e.g. drop:every=5 or chunks:p=0.3 (see above)."),
        QStringLiteral("kind[:schedule]"));
    const QCommandLineOption unplugDelay(QStringLiteral("unplug-delay"),
        QStringLiteral("Milliseconds an unplugged device stays away (default 2000)."), QStringLiteral("ms"));
    const QCommandLineOption rebootDelay(QStringLiteral("reboot-delay"),
        QStringLiteral("Milliseconds a rebooting device stays away (default 1500)."), QStringLiteral("ms"));
    const QCommandLineOption chunkMax(QStringLiteral("chunk-max"),
        QStringLiteral("Largest piece of a split reply, in bytes (default 8; 1 = byte by byte)."),
        QStringLiteral("bytes"));
    const QCommandLineOption chunkGap(QStringLiteral("chunk-gap"),
        QStringLiteral("Pause between pieces of a split reply (default 2 ms)."), QStringLiteral("ms"));
    const QCommandLineOption garbageMax(QStringLiteral("garbage-max"),
        QStringLiteral("Most garbage bytes before a frame (default 16)."), QStringLiteral("bytes"));
    const QCommandLineOption wrongCommand(QStringLiteral("wrong-command"),
        QStringLiteral("Command code of a wrong-command reply (default: another known command)."),
        QStringLiteral("code"));
    const QCommandLineOption receiveTimeout(QStringLiteral("receive-timeout"),
        QStringLiteral("Silence after which an incomplete request is dropped (default 1000 ms)."),
        QStringLiteral("ms"));
    const QCommandLineOption serverPort(QStringLiteral("update-server-port"),
        QStringLiteral("Port of the update server on 127.0.0.1 (default 0: any free port; the URL is printed)."),
        QStringLiteral("port"));
    const QCommandLineOption serverVersion(QStringLiteral("server-version"),
        QStringLiteral("Newest firmware version the update server offers (default 1.5.0)."), QStringLiteral("x.y.z"));
    const QCommandLineOption serverError(QStringLiteral("server-error"),
        QStringLiteral("Answer every update server request with \"#Error: N\" (e.g. 6: no firmware file)."),
        QStringLiteral("N"));
    const QCommandLineOption serverImageSize(QStringLiteral("server-image-size"),
        QStringLiteral("Size of the firmware image the update server hands out (default %1).")
            .arg(Options::kDefaultImageSize),
        QStringLiteral("bytes"));
    parser.addOptions({help, link, id, type, firmware, optionsText, bootloader, timing, seed,
                       log, quiet, fault, unplugDelay, rebootDelay, chunkMax, chunkGap, garbageMax,
                       wrongCommand, receiveTimeout, serverPort, serverVersion, serverError, serverImageSize});
    m_helpText = parser.helpText();

    if (!parser.parse(arguments))
        return fail(parser.errorText());
    if (parser.isSet(help))
        return Outcome::ShowHelp;
    if (!parser.positionalArguments().isEmpty())
        return fail(QStringLiteral("unexpected argument %1").arg(parser.positionalArguments().first()));

    Options &o = m_options;
    o.linkPath = parser.value(link);
    if (parser.isSet(id) && !parseThreeWords(parser.value(id), QStringLiteral("-"), &o.deviceId))
        return fail(QStringLiteral("--id wants three numbers a-b-c"));
    if (parser.isSet(firmware) && !parseThreeWords(parser.value(firmware), QStringLiteral("."), &o.firmwareVersion))
        return fail(QStringLiteral("--version wants major.minor.build"));
    if (parser.isSet(type) && !parseWord(parser.value(type), &o.typeState))
        return fail(QStringLiteral("--type wants a 16-bit word"));
    if (parser.isSet(optionsText))
        o.optionsText = parser.value(optionsText);
    o.startInBootloader = parser.isSet(bootloader);

    const QString timingText = parser.value(timing);
    if (timingText != kInstant && timingText != kRealistic)
        return fail(QStringLiteral("--timing is instant or realistic"));
    o.timing = timingText == kRealistic ? Timing::Realistic : Timing::Instant;

    if (parser.isSet(seed)) {
        bool ok = false;
        o.seed = parser.value(seed).toULongLong(&ok, kWordBase);
        if (!ok)
            return fail(QStringLiteral("--seed wants a number"));
    }
    o.logFile = parser.value(log);
    o.quiet = parser.isSet(quiet);

    const struct
    {
        const QCommandLineOption &option;
        int minimum;
        int *value;
    } numbers[] = {
        {unplugDelay, 0, &o.unplugDelayMs}, {rebootDelay, 0, &o.rebootDelayMs},
        {chunkMax, 1, &o.chunkMax},         {chunkGap, 0, &o.chunkGapMs},
        {garbageMax, 1, &o.garbageMax},     {receiveTimeout, 1, &o.receiveTimeoutMs},
    };
    for (const auto &number : numbers) {
        if (parser.isSet(number.option) && !parseInt(parser.value(number.option), number.minimum, number.value))
            return fail(QStringLiteral("--%1 wants a whole number of at least %2")
                            .arg(number.option.names().first()).arg(number.minimum));
    }
    if (parser.isSet(serverPort) && !parseWord(parser.value(serverPort), &o.updateServerPort))
        return fail(QStringLiteral("--update-server-port wants a port number (0 for any)"));
    if (parser.isSet(serverVersion)
        && !parseThreeWords(parser.value(serverVersion), QStringLiteral("."), &o.serverVersion))
        return fail(QStringLiteral("--server-version wants major.minor.build"));
    if (parser.isSet(serverError) && !parseInt(parser.value(serverError), 0, &o.serverError))
        return fail(QStringLiteral("--server-error wants an error code of at least 0"));
    if (parser.isSet(serverImageSize)) {
        if (!parseInt(parser.value(serverImageSize), FirmwareImage::kTrailerSize, &o.serverImageSize)
            || o.serverImageSize > kMaxServerImageSize)
            return fail(QStringLiteral("--server-image-size wants %1 to %2 bytes")
                            .arg(FirmwareImage::kTrailerSize).arg(kMaxServerImageSize));
    }
    if (parser.isSet(wrongCommand) && !parseWord(parser.value(wrongCommand), &o.wrongCommand))
        return fail(QStringLiteral("--wrong-command wants a 16-bit code"));
    for (const QString &faultText : parser.values(fault)) {
        FaultRule rule;
        QString error;
        if (!FaultRule::parse(faultText, &rule, &error))
            return fail(error);
        o.faults.append(rule);
    }
    return Outcome::Run;
}

CommandLine::Outcome CommandLine::fail(const QString &error)
{
    m_error = error;
    return Outcome::Error;
}

} // namespace MeroSim
