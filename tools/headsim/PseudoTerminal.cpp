#include "PseudoTerminal.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace vexar::headsim {

namespace {
std::string LinkTarget(const std::string& link) {
    char target[4096];
    const ssize_t length = ::readlink(link.c_str(), target, sizeof target);
    return length > 0 ? std::string(target, static_cast<std::size_t>(length)) : std::string();
}
} // namespace

PseudoTerminal::~PseudoTerminal() {
    if (m_master >= 0) {
        ::close(m_master);
    }
    // The link goes with the terminal, unless another head has taken it over since.
    if (!m_link.empty() && LinkTarget(m_link) == m_path) {
        ::unlink(m_link.c_str());
    }
}

bool PseudoTerminal::Open(const std::string& link, std::string* error) {
    const auto fail = [error](const char* what) {
        if (error != nullptr) {
            *error = std::string(what) + ": " + std::strerror(errno);
        }
        return false;
    };
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
        return fail("cannot create a pseudo-terminal");
    }
    const char* name = ::ptsname(m_master);
    if (name == nullptr) {
        return fail("cannot name the pseudo-terminal");
    }
    m_path = name;
    // No echo, no line editing, no CR/LF translation: the reader gets the bytes as written.
    termios settings{};
    if (::tcgetattr(m_master, &settings) == 0) {
        ::cfmakeraw(&settings);
        ::tcsetattr(m_master, TCSANOW, &settings);
    }
    if (!link.empty()) {
        struct stat status {};
        if (::lstat(link.c_str(), &status) == 0) {
            if (!S_ISLNK(status.st_mode)) {
                errno = EEXIST;
                return fail("will not replace what is not a link");
            }
            ::unlink(link.c_str());
        }
        if (::symlink(m_path.c_str(), link.c_str()) != 0) {
            return fail("cannot make the link to the pseudo-terminal");
        }
        m_link = link;
    }
    return true;
}

long PseudoTerminal::Write(std::string_view bytes) {
    if (m_master < 0) {
        return -1;
    }
    return static_cast<long>(::write(m_master, bytes.data(), bytes.size()));
}

} // namespace vexar::headsim
