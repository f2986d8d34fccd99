#pragma once

#include "core/isinitializable.h"
#include "core/tsingleton.h"
#include "data/device/devicecommands.h"
#include "data/device/tcommandheader.h"

#include <QList>
#include <QObject>

#include <functional>

namespace ZData::DM {

// Serialises all work on the device link: one item at a time, the next only
// when the consumer says the current one is finished. The head stays queued
// while its request is in flight.
class CommandQueue : public QObject, public ZCore::TSingleton<CommandQueue>, public ZCore::ISInitializable
{
    Q_OBJECT
    friend class ZCore::TSingleton<CommandQueue>;

public:
    using Action = std::function<void(const TCommandHeader &)>;

    struct Item
    {
        TCommandHeader header;
        Action action;
    };

    static bool init();
    static QString tag();
    // Commands so frequent (scan slices, firmware chunks, calibration reads)
    // that logging each one would drown the log.
    static bool isQuiet(quint16 command);

    void enqueue(EDeviceCommands command, const Action &action = Action(), quint16 options = 0,
                 bool toFront = false);
    void enqueue(const TCommandHeader &header, const Action &action = Action(), bool toFront = false);
    void processNext(bool dropHead);
    void clearQueue();

    bool isEmpty() const { return m_items.isEmpty(); }
    int size() const { return m_items.size(); }
    QList<quint16> commands() const;

signals:
    void signalGotCommand(ZData::TCommandHeader header);
    void signalBecameEmpty();

private:
    CommandQueue() = default;

    QList<Item> m_items;
};

} // namespace ZData::DM
