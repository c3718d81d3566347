#pragma once
// CSerialNavigationSource: $AULOG sentences from the vehicle's serial line, read with Qt
// SerialPort on a thread of its own. Each sentence that reads as a sound fix is posted, as it
// came, with the tick it arrived at; anything else on the line is counted and dropped. A device
// that is not there, or goes away (unplugged, its driver gone), is opened again and again with a
// growing pause (a quarter of a second up to five seconds), and the store's status says so.

#include "navigation/NavigationSource.h"
#include "ports/Ports.h"

#include <memory>
#include <string>

class QThread;

namespace vexar {

class CSerialNavigationSource : public INavigationSource {
public:
    /// Reads `device` at `baud` bits per second (8 data bits, no parity, one stop bit) into
    /// `store`, taking arrival ticks from `clock`; both outlive the source.
    CSerialNavigationSource(std::string device, int baud, CFixStore& store, IClockPort& clock);
    ~CSerialNavigationSource() override;
    CSerialNavigationSource(const CSerialNavigationSource&) = delete;
    CSerialNavigationSource& operator=(const CSerialNavigationSource&) = delete;

    void Start() override;
    void Stop() override;

private:
    class Reader;
    std::string m_device;
    int m_baud;
    CFixStore& m_store;
    IClockPort& m_clock;
    std::unique_ptr<QThread> m_thread;
};

} // namespace vexar
