#pragma once
// CContactList: the contacts of one contacts file as the operator works on them: numbered as they
// are marked, edited, deleted with undo. Each change names the contact it touched, so that the
// file can be brought up to date one contact at a time.

#include "contacts/Contact.h"

#include <optional>
#include <vector>

namespace vexar {

class CContactList {
public:
    /// Replaces the list with the contacts of a file (the undo history goes).
    void Load(std::vector<Contact> contacts);
    /// Adds a marked contact under the next free number (one past the highest so far, so that a
    /// deleted contact's number is not given again); returns the number.
    int Add(Contact contact);
    /// The note, the status or the chip of contact `number`; false when there is no such contact.
    bool SetNote(int number, const std::string& note);
    bool SetStatus(int number, ContactStatus status);
    bool SetChip(int number, std::vector<std::uint8_t> png);
    /// Deletes contact `number`; it can be brought back by Undo. False when there is none.
    bool Delete(int number);
    /// Brings back the contact deleted last; its number, or nothing when no deletion is left.
    std::optional<int> UndoDelete();
    bool CanUndo() const { return !m_deleted.empty(); }

    const std::vector<Contact>& All() const { return m_contacts; }
    const Contact* Find(int number) const;
    bool Empty() const { return m_contacts.empty(); }

private:
    Contact* FindMutable(int number);

    std::vector<Contact> m_contacts; ///< in number order
    std::vector<Contact> m_deleted;  ///< the undo history, the latest last
    int m_highest = 0;
};

} // namespace vexar
