#include "ptypair.h"

#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace TestSupport {

PtyPair::PtyPair()
{
    char name[256] = {};
    if (::openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) {
        m_master = m_slave = -1;
        return;
    }
    termios raw{};
    ::tcgetattr(m_master, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(m_master, TCSANOW, &raw);
    m_slaveName = QString::fromLocal8Bit(name);
}

PtyPair::~PtyPair()
{
    for (int fd : {m_master, m_slave}) {
        if (fd >= 0)
            ::close(fd);
    }
}

} // namespace TestSupport
