// Feeds arbitrary chunk sequences to the frame layer while a reply is
// awaited, with a consumer that starts waiting again after every reply, as
// the device manager does. Crashes, sanitizer reports and broken
// invariants of an accepted reply end the run.
#include "chunkstream.h"

#include "data/device/devicecommands.h"
#include "data/device/devicemessagemanager.h"

#include <QCoreApplication>

#include <cstdint>
#include <cstdlib>

namespace {

using ZData::DeviceMessageManager;
using ZData::DMM::EStates;

constexpr quint16 kExpected = quint16(ZData::EDeviceCommands::DA_GET_SCAN_DATA_S21);
constexpr int kMaxRepliesPerInput = 64;

int g_replies = 0;

void quiet(QtMsgType, const QMessageLogContext &, const QString &) {}

void expect(bool condition)
{
    if (!condition)
        std::abort();
}

void waitForReply()
{
    DeviceMessageManager &dmm = DeviceMessageManager::instance();
    dmm.enterState({EStates::SEND_BUSY, {}});
    ZData::TCommandHeader header;
    header.command = kExpected;
    dmm.buildFrame(header, QByteArray(), true);
    dmm.enterState({EStates::RECEIVE_REPLY, {}});
}

void onReply()
{
    DeviceMessageManager &dmm = DeviceMessageManager::instance();
    const ZData::TDeviceReply reply = dmm.reply();
    if (dmm.state() == EStates::FREE) {
        expect(reply.header.isValid());
        expect(reply.data.size() == reply.header.dataLength);
        expect(reply.crc.size() == DeviceMessageManager::kCrcSize);
        expect(reply.header.command == kExpected
               || reply.header.command == quint16(ZData::EDeviceCommands::O_RESEND_PACKET_FROM_DEVICE));
    } else {
        expect(ZData::DMM::isErrorState(dmm.state()));
        expect(reply.header.options == quint16(dmm.state()));
    }
    expect(dmm.resendBudget() >= 1 && dmm.resendBudget() <= DeviceMessageManager::kResendBudget);
    if (++g_replies < kMaxRepliesPerInput)
        waitForReply();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    // Timers need an application object; it lives for the whole run.
    static QCoreApplication app(*argc, *argv);
    qInstallMessageHandler(quiet);
    DeviceMessageManager::init();
    QObject::connect(&DeviceMessageManager::instance(), &DeviceMessageManager::signalGotReply, &onReply);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    DeviceMessageManager &dmm = DeviceMessageManager::instance();
    dmm.reset();
    dmm.resetFrameCounter();
    g_replies = 0;
    waitForReply();
    const QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size));
    for (const FuzzChunks::Step &step : FuzzChunks::decode(input)) {
        if (step.timeout)
            dmm.slotTimerReply();
        else
            dmm.receiveData(step.chunk);
    }
    dmm.reset();
    return 0;
}
