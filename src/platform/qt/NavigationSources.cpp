#include "platform/qt/NavigationSources.h"

#include "navigation/CFixStore.h"
#include "platform/gpsd/CGpsdNavigationSource.h"
#include "platform/qt/CSerialNavigationSource.h"

namespace vexar {

std::unique_ptr<INavigationSource> MakeNavigationSource(const NavSourceChoice& choice, int defaultBaud,
                                                        CFixStore& store, IClockPort& clock) {
    store.Reset(choice.kind);
    switch (choice.kind) {
    case NavSourceKind::Serial:
        return std::make_unique<CSerialNavigationSource>(
            choice.device, choice.baud != 0 ? choice.baud : defaultBaud, store, clock);
    case NavSourceKind::Gpsd:
        return std::make_unique<CGpsdNavigationSource>(choice.host, choice.port, store, clock);
    case NavSourceKind::None:
        break;
    }
    return nullptr;
}

} // namespace vexar
