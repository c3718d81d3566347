#pragma once
// PseudoTerminal: the simulated vehicle's serial line. The head keeps the master side and writes
// its sentences there; a reader opens the slave side (its path, /dev/pts/N, is what the console
// is given) as it would open a serial device. Optionally a symbolic link gives the slave a path
// that stays the same from one run of the head to the next.

#include <string>
#include <string_view>

namespace vexar::headsim {

class PseudoTerminal {
public:
    PseudoTerminal() = default;
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    /// Creates the terminal in raw mode and, unless `link` is empty, points `link` at its slave
    /// (replacing a link left there). False, with the reason, when that fails.
    bool Open(const std::string& link, std::string* error);
    /// The slave's path.
    const std::string& Path() const { return m_path; }
    /// Writes without waiting: with no reader, or a reader that does not keep up, what does not
    /// fit in the terminal's buffer is dropped. Returns the bytes written.
    long Write(std::string_view bytes);

private:
    int m_master = -1;
    std::string m_path;
    std::string m_link;
};

} // namespace vexar::headsim
