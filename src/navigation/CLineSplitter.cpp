#include "navigation/CLineSplitter.h"

namespace vexar {

void CLineSplitter::Reset() {
    m_state = State::Outside;
    m_length = 0;
}

bool CLineSplitter::Finish() {
    const bool whole = m_state == State::Inside && m_length > 0;
    if (whole) {
        m_done = m_current;
        m_doneLength = m_length;
        ++m_sentences;
    }
    m_state = State::Outside;
    m_length = 0;
    return whole;
}

bool CLineSplitter::Take(std::uint8_t byte) {
    if (byte == '\r' || byte == '\n') {
        return Finish();
    }
    if (byte == '$') {
        const bool completed = Finish();
        m_state = State::Inside;
        m_current[0] = '$';
        m_length = 1;
        return completed;
    }
    switch (m_state) {
    case State::Outside:
        ++m_garbage;
        return false;
    case State::Dropping:
        return false;
    case State::Inside:
        break;
    }
    if (byte < 0x20 || byte > 0x7E) {
        ++m_damaged;
        m_state = State::Dropping;
        return false;
    }
    if (m_length == m_current.size()) {
        ++m_overlong;
        m_state = State::Dropping;
        return false;
    }
    m_current[m_length++] = static_cast<char>(byte);
    return false;
}

} // namespace vexar
