#pragma once
// Everything the contacts read of the document or ask of it, in one place: whether a contact can
// be marked now, the contact at a point of the ping shown, where the contacts of the moment are
// kept, the markers of the ping shown, and the played record of a contact.

#include "contacts/Contact.h"
#include "painting/ContactMarkerPainter.h"

#include <QDate>

#include <optional>
#include <string>
#include <vector>

namespace vexar {

class CTamsorDoc;
class CPictureModel;

namespace contact_doc {

/// Why no contact can be marked now (a conversion runs, no picture is shown); empty when one can.
std::string RefusalToMark(const CTamsorDoc& doc);

/// The contact at a point of the ping shown: bearing clockwise from the top of the picture and
/// range as the pointer readout gives them; `lengthM` when marked with the measure tool.
Contact ContactAt(const CTamsorDoc& doc, float pictureBearingDeg, float rangeM, std::optional<float> lengthM);

/// The file the contacts of the moment are kept in: beside the recording played, or the one being
/// recorded live, else in the write folder, named by `today`.
std::string ContactsFileOf(const CTamsorDoc& doc, const QDate& today);

/// True while a recording is played (a contact's "Go to" shows its ping).
bool IsPlaying(const CTamsorDoc& doc);
/// The played file, empty when none.
std::string PlayedFile(const CTamsorDoc& doc);

/// The markers of `contacts` on the ping shown; `selected` is drawn highlighted.
ContactMarkers MarkersOf(const CTamsorDoc& doc, const std::vector<Contact>& contacts, int selected);

/// How the picture lies on the screen (Head Up).
PictureFrame FrameOf(const CTamsorDoc& doc, const CPictureModel& model);

/// "Go to" in playback: shows the contact's record, held (opening its recording first when another
/// is played). False when it has none or it cannot be shown.
bool ShowContactRecord(CTamsorDoc& doc, const Contact& contact);

} // namespace contact_doc
} // namespace vexar
