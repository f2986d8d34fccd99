#include "core/entrypoint.h"

int main(int argc, char *argv[])
{
    return ZCore::EntryPoint::run(argc, argv);
}
