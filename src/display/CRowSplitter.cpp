#include "display/CRowSplitter.h"

namespace vexar {

CRowSplitter::CRowSplitter(bool useHelper) {
    if (useHelper && std::thread::hardware_concurrency() > 1) {
        m_helper = std::thread([this] { HelperLoop(); });
    }
}

CRowSplitter::~CRowSplitter() {
    if (m_helper.joinable()) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_one();
        m_helper.join();
    }
}

void CRowSplitter::RunErased(int count, void* context, Trampoline call) {
    if (count <= 0) {
        return;
    }
    // Small loops are not worth a hand-over.
    if (!m_helper.joinable() || count < 8) {
        call(context, 0, count);
        return;
    }
    const int half = count / 2;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_context = context;
        m_call = call;
        m_first = half;
        m_end = count;
        m_busy = true;
        ++m_generation;
    }
    m_wake.notify_one();
    call(context, 0, half);
    std::unique_lock<std::mutex> lock(m_mutex);
    m_done.wait(lock, [this] { return !m_busy; });
}

void CRowSplitter::HelperLoop() {
    unsigned seen = 0;
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [&] { return m_stop || m_generation != seen; });
        if (m_stop) {
            return;
        }
        seen = m_generation;
        void* context = m_context;
        const Trampoline call = m_call;
        const int first = m_first;
        const int end = m_end;
        lock.unlock();
        call(context, first, end);
        lock.lock();
        m_busy = false;
        m_done.notify_one();
    }
}

} // namespace vexar
