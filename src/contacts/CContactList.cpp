#include "contacts/CContactList.h"

#include <algorithm>

namespace vexar {

namespace {
bool ByNumber(const Contact& a, const Contact& b) {
    return a.number < b.number;
}
} // namespace

void CContactList::Load(std::vector<Contact> contacts) {
    m_contacts = std::move(contacts);
    std::sort(m_contacts.begin(), m_contacts.end(), ByNumber);
    m_deleted.clear();
    m_highest = m_contacts.empty() ? 0 : m_contacts.back().number;
}

int CContactList::Add(Contact contact) {
    contact.number = ++m_highest;
    m_contacts.push_back(std::move(contact));
    return m_highest;
}

Contact* CContactList::FindMutable(int number) {
    const auto found = std::find_if(m_contacts.begin(), m_contacts.end(),
                                    [number](const Contact& c) { return c.number == number; });
    return found != m_contacts.end() ? &*found : nullptr;
}

const Contact* CContactList::Find(int number) const {
    return const_cast<CContactList*>(this)->FindMutable(number);
}

bool CContactList::SetNote(int number, const std::string& note) {
    Contact* contact = FindMutable(number);
    if (contact != nullptr) {
        contact->note = note;
    }
    return contact != nullptr;
}

bool CContactList::SetStatus(int number, ContactStatus status) {
    Contact* contact = FindMutable(number);
    if (contact != nullptr) {
        contact->status = status;
    }
    return contact != nullptr;
}

bool CContactList::SetChip(int number, std::vector<std::uint8_t> png) {
    Contact* contact = FindMutable(number);
    if (contact != nullptr) {
        contact->chipPng = std::move(png);
    }
    return contact != nullptr;
}

bool CContactList::Delete(int number) {
    const auto found = std::find_if(m_contacts.begin(), m_contacts.end(),
                                    [number](const Contact& c) { return c.number == number; });
    if (found == m_contacts.end()) {
        return false;
    }
    m_deleted.push_back(std::move(*found));
    m_contacts.erase(found);
    return true;
}

std::optional<int> CContactList::UndoDelete() {
    if (m_deleted.empty()) {
        return std::nullopt;
    }
    Contact contact = std::move(m_deleted.back());
    m_deleted.pop_back();
    const int number = contact.number;
    m_contacts.insert(std::upper_bound(m_contacts.begin(), m_contacts.end(), contact, ByNumber),
                      std::move(contact));
    return number;
}

} // namespace vexar
