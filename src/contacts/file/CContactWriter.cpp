#include "contacts/file/CContactWriter.h"

#include "contacts/file/ContactFile.h"

#include <vector>

namespace vexar::contacts {

CContactWriter::CContactWriter(std::chrono::milliseconds retryAfter)
    : m_retryAfter(retryAfter), m_thread([this] { Run(); }) {}

CContactWriter::~CContactWriter() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void CContactWriter::Put(const std::string& path, const Contact& contact) {
    Change(path, contact.number, contact);
}

void CContactWriter::Remove(const std::string& path, int number) {
    Change(path, number, std::nullopt);
}

void CContactWriter::Change(const std::string& path, int number, std::optional<Contact> contact) {
    {
        std::lock_guard lock(m_mutex);
        m_pending[path][number] = Pending{std::move(contact), ++m_revision};
    }
    m_wake.notify_all();
}

std::size_t CContactWriter::PendingCount() const {
    std::size_t count = 0;
    for (const auto& [path, changes] : m_pending) {
        count += changes.size();
    }
    return count;
}

CContactWriter::State CContactWriter::CurrentState() const {
    std::lock_guard lock(m_mutex);
    return State{PendingCount(), m_error, m_written};
}

bool CContactWriter::Flush() {
    std::unique_lock lock(m_mutex);
    const std::uint64_t roundsBefore = m_rounds;
    m_wake.notify_all();
    m_attempted.wait(lock, [&] {
        return m_pending.empty() || m_stopped || (m_rounds >= roundsBefore + 2 && !m_error.empty());
    });
    return m_pending.empty();
}

bool CContactWriter::WriteFile(std::unique_lock<std::mutex>& lock, const std::string& path) {
    const std::map<int, Pending> taken = m_pending[path];
    lock.unlock();
    std::vector<ContactChange> changes;
    changes.reserve(taken.size());
    for (const auto& [number, pending] : taken) {
        changes.push_back(ContactChange{number, pending.contact ? &*pending.contact : nullptr});
    }
    const std::string error = WriteContactChanges(path, changes);
    lock.lock();
    if (!error.empty()) {
        m_error = error;
        return false;
    }
    // What changed again while it was written stays for the next round.
    auto& left = m_pending[path];
    for (const auto& [number, pending] : taken) {
        const auto now = left.find(number);
        if (now != left.end() && now->second.revision == pending.revision) {
            left.erase(now);
            ++m_written;
        }
    }
    if (left.empty()) {
        m_pending.erase(path);
    }
    return true;
}

bool CContactWriter::WriteRound(std::unique_lock<std::mutex>& lock) {
    std::vector<std::string> paths;
    for (const auto& [path, changes] : m_pending) {
        paths.push_back(path);
    }
    std::string firstError;
    bool ok = true;
    for (const std::string& path : paths) {
        if (!WriteFile(lock, path)) {
            ok = false;
            firstError = firstError.empty() ? m_error : firstError;
        }
    }
    m_error = firstError;
    ++m_rounds;
    m_attempted.notify_all();
    return ok;
}

void CContactWriter::Run() {
    std::unique_lock lock(m_mutex);
    bool failing = false;
    while (true) {
        if (failing && !m_stop) {
            m_wake.wait_for(lock, m_retryAfter);
        } else if (!m_stop) {
            m_wake.wait(lock, [this] { return m_stop || !m_pending.empty(); });
        }
        if (m_pending.empty()) {
            failing = false;
            if (m_stop) {
                break;
            }
            continue;
        }
        failing = !WriteRound(lock);
        if (m_stop) {
            break; // one last try on the way out
        }
    }
    m_stopped = true;
    m_attempted.notify_all();
}

} // namespace vexar::contacts
