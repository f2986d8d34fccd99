#include "data/device/commandqueue.h"

#include "core/log.h"

namespace ZData::DM {

using ZCore::Log::debug;

bool CommandQueue::init()
{
    instance();
    ZCore::Log::traceDebug(tag(), QStringLiteral("ZData::DM::CommandQueue::init"));
    return true;
}

QString CommandQueue::tag()
{
    static const QString tagText = QStringLiteral("CommandQueue");
    return tagText;
}

bool CommandQueue::isQuiet(quint16 command)
{
    static const QList<quint16> quiet = {quint16(EDeviceCommands::B_SEND_MAINAPP_CHUNK),
                                         quint16(EDeviceCommands::F_READ_CALIB_DATA),
                                         quint16(EDeviceCommands::DA_GET_SCAN_DATA)};
    return quiet.contains(command);
}

void CommandQueue::enqueue(EDeviceCommands command, const Action &action, quint16 options, bool toFront)
{
    TCommandHeader header;
    header.command = quint16(command);
    header.options = options;
    enqueue(header, action, toFront);
}

void CommandQueue::enqueue(const TCommandHeader &header, const Action &action, bool toFront)
{
    if (!isQuiet(header.command))
        debug(tag(), QStringLiteral("<< ") + commandText(header.command));
    // Behind the head: the head's request is still in flight.
    if (toFront && !m_items.isEmpty())
        m_items.insert(1, {header, action});
    else
        m_items.append({header, action});
    if (m_items.size() == 1)
        processNext(false);
}

void CommandQueue::processNext(bool dropHead)
{
    if (dropHead && !m_items.isEmpty()) {
        const quint16 finished = m_items.takeFirst().header.command;
        if (!isQuiet(finished))
            debug(tag(), QStringLiteral(">> finished: ") + commandText(finished));
    }
    if (m_items.isEmpty()) {
        debug(tag(), QStringLiteral(">> empty"));
        emit signalBecameEmpty();
        return;
    }
    // Copies: the handler may enqueue, advance or clear the queue.
    const Item head = m_items.first();
    if (!isQuiet(head.header.command))
        debug(tag(), QStringLiteral(">> process: ") + commandText(head.header.command));
    if (head.action)
        head.action(head.header);
    else
        emit signalGotCommand(head.header);
}

void CommandQueue::clearQueue()
{
    m_items.clear();
    emit signalBecameEmpty();
}

QList<quint16> CommandQueue::commands() const
{
    QList<quint16> result;
    for (const Item &item : m_items)
        result << item.header.command;
    return result;
}

} // namespace ZData::DM
