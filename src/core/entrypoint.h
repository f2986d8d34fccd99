#pragma once

#include <QString>

namespace ZCore::EntryPoint {

QString tag();
int run(int argc, char *argv[]);

} // namespace ZCore::EntryPoint
