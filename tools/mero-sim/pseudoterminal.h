#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>

class QSocketNotifier;

namespace MeroSim {

// The device end of a pseudo-terminal, published under a stable link path
// that the host opens like a serial port. The simulator keeps its own handle
// on the slave side as well, so the master never reports a hang-up (and never
// spins) while the host has the port closed.
class PseudoTerminal : public QObject
{
    Q_OBJECT

public:
    explicit PseudoTerminal(QObject *parent = nullptr);
    ~PseudoTerminal() override;

    // Creates a raw pseudo-terminal and points linkPath at its slave. An
    // existing file at linkPath is replaced only when it is a symbolic link.
    bool open(const QString &linkPath, QString *error);
    // Closes both sides (the host sees the device vanish) and removes the
    // link if it still points at this terminal.
    void close();

    bool isOpen() const { return m_master >= 0; }
    QString slavePath() const { return m_slavePath; }
    QString linkPath() const { return m_linkPath; }

    // Each call is one write to the terminal; what the kernel does not take
    // at once is kept and written when the terminal drains.
    void write(const QByteArray &bytes);
    int pendingWriteSize() const { return m_pending.size(); }
    // Bytes written but not yet read by the host (0 when closed).
    int unreadByHost() const;

    static constexpr int kMaxPendingBytes = 1 << 20;

signals:
    void dataReceived(const QByteArray &bytes);
    void bytesWritten(const QByteArray &bytes);
    void writeOverflow(int droppedBytes);

private:
    void readMaster();
    void flushPending();
    bool publishLink(const QString &linkPath, QString *error);
    void removeLink();

    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
    QString m_linkPath;
    QByteArray m_pending;
    std::unique_ptr<QSocketNotifier> m_readNotifier;
    std::unique_ptr<QSocketNotifier> m_writeNotifier;
};

} // namespace MeroSim
