#include "tempappdir.h"

#include "core/appenvironment.h"

namespace TestSupport {

TempAppDir::TempAppDir()
{
    ZCore::AppEnvironment::setAppDir(m_dir.path());
}

TempAppDir::~TempAppDir()
{
    ZCore::AppEnvironment::setAppDir(QString());
}

} // namespace TestSupport
