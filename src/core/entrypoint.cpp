#include "core/entrypoint.h"

#include "core/log.h"
#include "core/logger.h"
#include "core/utilitymodules/generics.h"

#include <QApplication>
#include <QMainWindow>

namespace ZCore::EntryPoint {

QString tag()
{
    static const QString tagText = QStringLiteral("EntryPoint");
    return tagText;
}

int run(int argc, char *argv[])
{
    QApplication app(argc, argv);
    UtilityModules::Generics::initManager<Logger>();
    Log::info(tag(), QStringLiteral(">> loading MainWindow.."));
    QMainWindow window;
    window.show();
    return app.exec();
}

} // namespace ZCore::EntryPoint
