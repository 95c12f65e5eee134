// The library's one export. Kept apart from the factory class so that the
// static library the tests link carries no exported entry of its own.
#include "linkwell/Linkwell.h"
#include "linkwell/factory/ClientFactory.h"

extern "C" __attribute__((visibility("default"))) linkwell::IClientFactory* MakeKilnFactory() {
    return linkwell::ClientFactory::Make();
}
