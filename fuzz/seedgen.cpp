// Writes the seed corpus of the frame-receiver fuzzer, framing replies with
// the application's own frame code.
#include "chunkstream.h"

#include "data/device/devicecommands.h"
#include "data/device/devicemessagemanager.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

namespace {

using ZData::EDeviceCommands;

QByteArray replyFrame(EDeviceCommands command, const QByteArray &payload, quint16 options = 0)
{
    ZData::TCommandHeader header;
    header.command = quint16(command);
    header.dataLength = quint16(payload.size());
    header.deviceTypeState = 0x0016;
    header.options = options;
    return ZData::DeviceMessageManager::instance().buildFrame(header, payload, false);
}

bool writeSeed(const QDir &dir, const QString &name, const QByteArray &input)
{
    QFile file(dir.filePath(name));
    return file.open(QIODevice::WriteOnly) && file.write(input) == input.size();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    if (argc != 2) {
        fprintf(stderr, "usage: %s CORPUS_DIR\n", argv[0]);
        return 2;
    }
    QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!dir.mkpath(QStringLiteral(".")))
        return 1;

    QByteArray scan;
    for (int i = 0; i < 200; ++i)
        scan.append(char(i));
    const QByteArray empty = replyFrame(EDeviceCommands::DA_GET_SCAN_DATA_S21, QByteArray());
    const QByteArray full = replyFrame(EDeviceCommands::DA_GET_SCAN_DATA_S21, scan);
    QByteArray broken = full;
    broken[20] = char(broken.at(20) ^ 0x40);
    const QByteArray report = replyFrame(EDeviceCommands::O_RESEND_PACKET_FROM_DEVICE, QByteArray());
    const QByteArray other = replyFrame(EDeviceCommands::D_GET_DEVICE_ID, QByteArray(12, '\1'));

    bool ok = true;
    ok &= writeSeed(dir, QStringLiteral("empty-whole"), FuzzChunks::encode(empty, 200));
    ok &= writeSeed(dir, QStringLiteral("empty-bytes"), FuzzChunks::encode(empty, 1));
    ok &= writeSeed(dir, QStringLiteral("scan-chunks"), FuzzChunks::encode(full, 31));
    ok &= writeSeed(dir, QStringLiteral("garbage-first"), FuzzChunks::encode(QByteArray::fromHex("0102") + empty, 5));
    ok &= writeSeed(dir, QStringLiteral("broken-then-good"), FuzzChunks::encode(broken, 100) + FuzzChunks::encode(full, 100));
    ok &= writeSeed(dir, QStringLiteral("report-and-mismatch"), FuzzChunks::encode(report, 17) + FuzzChunks::encode(other, 29));
    ok &= writeSeed(dir, QStringLiteral("stall-timeout"), FuzzChunks::encode(full.left(40), 20) + FuzzChunks::timeout()
                                                              + FuzzChunks::timeout() + FuzzChunks::encode(empty, 17));
    return ok ? 0 : 1;
}
