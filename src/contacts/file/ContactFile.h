#pragma once
// The contacts file: a GeoPackage with the layer "contacts", one point in WGS 84 (EPSG:4326) a
// contact with its attributes and image chip; a contact without a position has no geometry.
// Read whole, written one contact at a time, and handed over as KML, GeoJSON or CSV through
// GDAL's drivers.

#include "contacts/Contact.h"

#include <string>
#include <utility>
#include <vector>

namespace vexar::contacts {

/// The name of the layer of contacts.
inline constexpr const char* kContactsLayer = "contacts";

/// "NAME.contacts.gpkg" beside a recording "NAME.R96" (the extension, whatever it is, replaced).
std::string ContactsPathBeside(const std::string& recordingPath);

/// What reading a contacts file found.
struct ContactFileRead {
    bool ok = false;   ///< the contacts were read (a file that does not exist reads empty)
    std::string error; ///< why not, for the operator
    std::vector<Contact> contacts;
};

/// Reads every contact of `path`. A file that is not a GeoPackage, has no contacts layer, lacks
/// its fields or is damaged is refused with a clear message (and left as it is).
ContactFileRead ReadContactFile(const std::string& path);

/// One change of a contacts file: contact `number` is written (`contact` set) or deleted.
struct ContactChange {
    int number = 0;
    const Contact* contact = nullptr;
};

/// Writes the changes into `path` in one transaction, creating the file when there is none. A
/// file that exists but is not a contacts file is never written to. Returns an error text, empty
/// on success.
std::string WriteContactChanges(const std::string& path, const std::vector<ContactChange>& changes);

/// The formats the contacts are handed over in.
enum class ContactFormat { Kml, GeoJson, Csv };

/// Writes the contacts of `gpkgPath` to `outPath` in `format` (the chip left out; KML placemarks
/// named "Contact N"). Returns an error text, empty on success; a failed output is removed.
std::string ExportContactFile(const std::string& gpkgPath, const std::string& outPath, ContactFormat format);

/// One self-contained HTML page of the contacts: a table with their chips as data URIs, no
/// outside files, styles or scripts. `title` heads the page.
std::string ContactReportHtml(const std::vector<Contact>& contacts, const std::string& title);

} // namespace vexar::contacts
