#include "platform/qt/NavigationSources.h"

#include "navigation/CFixStore.h"
#include "platform/gpsd/CGpsdNavigationSource.h"
#include "platform/qt/CSerialNavigationSource.h"

namespace vexar {

std::unique_ptr<INavigationSource> MakeNavigationSource(const NavSpec& spec, int defaultBaud,
                                                        CFixStore& store, IClockPort& clock) {
    store.Reset(spec.kind);
    switch (spec.kind) {
    case NavSourceKind::Serial:
        return std::make_unique<CSerialNavigationSource>(
            spec.device, spec.baud != 0 ? spec.baud : defaultBaud, store, clock);
    case NavSourceKind::Gpsd:
        return std::make_unique<CGpsdNavigationSource>(spec.host, spec.port, store, clock);
    case NavSourceKind::None:
        break;
    }
    return nullptr;
}

} // namespace vexar
