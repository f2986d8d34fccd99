#pragma once

#include <QString>

namespace ZCore::EntryPoint {

QString tag();
// The managers in their fixed start-up order; failures are only reported.
void initManagers();
// The whole life of the application: start-up, event loop, teardown.
int run(int argc, char *argv[]);

} // namespace ZCore::EntryPoint
