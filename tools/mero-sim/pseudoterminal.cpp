#include "pseudoterminal.h"

#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace MeroSim {

namespace {

constexpr int kReadBlock = 4096;
constexpr int kSlavePathMax = 256;

QString errnoText(const char *what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
}

bool makeRaw(int fd)
{
    termios settings{};
    if (::tcgetattr(fd, &settings) != 0)
        return false;
    ::cfmakeraw(&settings);
    ::cfsetispeed(&settings, B115200);
    ::cfsetospeed(&settings, B115200);
    return ::tcsetattr(fd, TCSANOW, &settings) == 0;
}

bool setNonBlocking(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

} // namespace

PseudoTerminal::PseudoTerminal(QObject *parent)
    : QObject(parent)
{
}

PseudoTerminal::~PseudoTerminal()
{
    close();
}

bool PseudoTerminal::open(const QString &linkPath, QString *error)
{
    close();
    char name[kSlavePathMax] = {};
    if (::openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) {
        *error = errnoText("openpty");
        m_master = m_slave = -1;
        return false;
    }
    m_slavePath = QString::fromLocal8Bit(name);
    if (!makeRaw(m_slave) || !setNonBlocking(m_master)
        || ::fcntl(m_master, F_SETFD, FD_CLOEXEC) != 0 || ::fcntl(m_slave, F_SETFD, FD_CLOEXEC) != 0) {
        *error = errnoText("configuring the pseudo-terminal");
        close();
        return false;
    }
    if (!publishLink(linkPath, error)) {
        close();
        return false;
    }

    m_readNotifier = std::make_unique<QSocketNotifier>(m_master, QSocketNotifier::Read);
    connect(m_readNotifier.get(), &QSocketNotifier::activated, this, &PseudoTerminal::readMaster);
    m_writeNotifier = std::make_unique<QSocketNotifier>(m_master, QSocketNotifier::Write);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier.get(), &QSocketNotifier::activated, this, &PseudoTerminal::flushPending);
    return true;
}

void PseudoTerminal::close()
{
    m_readNotifier.reset();
    m_writeNotifier.reset();
    removeLink();
    if (m_master >= 0)
        ::close(m_master);
    if (m_slave >= 0)
        ::close(m_slave);
    m_master = m_slave = -1;
    m_slavePath.clear();
    m_pending.clear();
}

void PseudoTerminal::write(const QByteArray &bytes)
{
    if (!isOpen() || bytes.isEmpty())
        return;
    if (m_pending.size() + bytes.size() > kMaxPendingBytes) {
        // Nobody drains the terminal; keeping more would only grow memory.
        emit writeOverflow(bytes.size());
        return;
    }
    const bool wasIdle = m_pending.isEmpty();
    m_pending.append(bytes);
    if (wasIdle)
        flushPending();
    emit bytesWritten(bytes);
}

int PseudoTerminal::unreadByHost() const
{
    if (!isOpen())
        return 0;
    int queued = 0;
    if (::ioctl(m_slave, FIONREAD, &queued) != 0)
        queued = 0;
    return queued + m_pending.size();
}

void PseudoTerminal::flushPending()
{
    while (!m_pending.isEmpty()) {
        const ssize_t written = ::write(m_master, m_pending.constData(), size_t(m_pending.size()));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            break;
        m_pending.remove(0, int(written));
    }
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(!m_pending.isEmpty());
}

void PseudoTerminal::readMaster()
{
    QByteArray received;
    char block[kReadBlock];
    for (;;) {
        const ssize_t count = ::read(m_master, block, sizeof block);
        if (count > 0) {
            received.append(block, int(count));
            continue;
        }
        if (count < 0 && errno == EINTR)
            continue;
        break;
    }
    if (!received.isEmpty())
        emit dataReceived(received);
}

bool PseudoTerminal::publishLink(const QString &linkPath, QString *error)
{
    const QFileInfo existing(linkPath);
    if (existing.exists() || existing.isSymLink()) {
        if (!existing.isSymLink()) {
            *error = QStringLiteral("%1 exists and is not a symbolic link; not replacing it").arg(linkPath);
            return false;
        }
    }
    // Link under a temporary name, then rename over the old one, so the path
    // never points at nothing while a host might be looking.
    const QString temporary = linkPath + QStringLiteral(".new%1").arg(::getpid());
    QFile::remove(temporary);
    if (::symlink(m_slavePath.toLocal8Bit().constData(), temporary.toLocal8Bit().constData()) != 0) {
        *error = errnoText("creating the link");
        return false;
    }
    if (::rename(temporary.toLocal8Bit().constData(), linkPath.toLocal8Bit().constData()) != 0) {
        *error = errnoText("publishing the link");
        QFile::remove(temporary);
        return false;
    }
    m_linkPath = linkPath;
    return true;
}

void PseudoTerminal::removeLink()
{
    if (m_linkPath.isEmpty())
        return;
    const QFileInfo link(m_linkPath);
    if (link.isSymLink() && link.symLinkTarget() == m_slavePath)
        QFile::remove(m_linkPath);
    m_linkPath.clear();
}

} // namespace MeroSim
