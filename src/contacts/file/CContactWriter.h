#pragma once
// CContactWriter: keeps the contacts files up to date on a thread of its own, so that marking or
// editing a contact never waits for the disk. Changes are kept until they are written: when a
// folder cannot be written, they stay and are tried again every few seconds, and the latest
// failure can be read for the operator.

#include "contacts/Contact.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace vexar::contacts {

class CContactWriter {
public:
    /// `retryAfter`: the pause before changes that could not be written are tried again.
    explicit CContactWriter(std::chrono::milliseconds retryAfter = std::chrono::milliseconds(2000));
    /// Tries once more to write what is left, then stops the thread.
    ~CContactWriter();
    CContactWriter(const CContactWriter&) = delete;
    CContactWriter& operator=(const CContactWriter&) = delete;

    /// Contact `contact.number` of the file `path` is to be as given (written or replaced).
    void Put(const std::string& path, const Contact& contact);
    /// Contact `number` of the file `path` is to be deleted.
    void Remove(const std::string& path, int number);
    /// Waits until every change given so far is written, or until an attempt that began after
    /// the call failed. True when nothing is left to write.
    bool Flush();

    struct State {
        std::size_t pending = 0; ///< changes not yet written
        std::string error;       ///< why the last attempt failed; empty when it succeeded
        std::uint64_t written = 0;
    };
    State CurrentState() const;

private:
    struct Pending {
        std::optional<Contact> contact; ///< nothing: delete
        std::uint64_t revision = 0;
    };
    void Change(const std::string& path, int number, std::optional<Contact> contact);
    void Run();
    /// Writes the changes of one file, without the lock while it writes.
    bool WriteFile(std::unique_lock<std::mutex>& lock, const std::string& path);
    /// Writes the changes of every file once; false when one failed.
    bool WriteRound(std::unique_lock<std::mutex>& lock);
    std::size_t PendingCount() const;

    const std::chrono::milliseconds m_retryAfter;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_attempted;
    std::map<std::string, std::map<int, Pending>> m_pending;
    std::uint64_t m_revision = 0;
    std::uint64_t m_rounds = 0;
    std::uint64_t m_written = 0;
    std::string m_error;
    bool m_stop = false;
    bool m_stopped = false;
    std::thread m_thread;
};

} // namespace vexar::contacts
