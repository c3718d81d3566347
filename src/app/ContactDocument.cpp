#include "app/ContactDocument.h"

#include "acquisition/CTamsorDoc.h"
#include "contacts/ContactMarking.h"
#include "contacts/file/ContactFile.h"
#include "display/CPictureModel.h"

#include <QDateTime>
#include <QDir>

#include <filesystem>

namespace vexar::contact_doc {

namespace {

/// The ping's time stamp (local time, "DDMMYYYYHHMMSSmmm") in UTC milliseconds.
std::optional<std::int64_t> UtcOfStamp(const std::string& stamp) {
    const QDateTime local =
        QDateTime::fromString(QString::fromStdString(stamp), QStringLiteral("ddMMyyyyHHmmsszzz"));
    if (!local.isValid()) {
        return std::nullopt;
    }
    return local.toMSecsSinceEpoch();
}

} // namespace

std::string RefusalToMark(const CTamsorDoc& doc) {
    if (doc.Mode() == DocMode::Conversion || doc.Conversion().Export().IsActive()) {
        return "A contact cannot be marked while a recording is being converted.";
    }
    if (doc.Shown().Settings().displayMode != kDisplayModePolar || doc.PingRoutine().Head(0).m_newData == 0) {
        return "There is no sonar picture to mark a contact on.";
    }
    return {};
}

Contact ContactAt(const CTamsorDoc& doc, float pictureBearingDeg, float rangeM,
                  std::optional<float> lengthM) {
    MarkingInput input;
    input.pictureBearingDeg = pictureBearingDeg;
    input.rangeM = rangeM;
    input.lengthM = lengthM;
    input.utcMs = UtcOfStamp(doc.Shown().Clock().timeStamp);
    if (doc.IsPlayback() && doc.Playback().Player().IsOpen()) {
        input.recording = doc.Playback().Player().Path();
        input.recordCounter = doc.Playback().Player().Record().fields.recordCounter;
        input.recordOffset = doc.Playback().Player().ShownRecordStart();
    } else if (const RecordingStatus recording = doc.Recording().Current(); recording.active) {
        input.recording = recording.path;
    }
    input.mounting = doc.GetSettings().mounting;
    return MakeContact(doc.Shown().Navigation(), PoseOfShownPing(doc), doc.Shown().Settings(), input);
}

std::string ContactsFileOf(const CTamsorDoc& doc, const QDate& today) {
    if (doc.IsPlayback() && doc.Playback().Player().IsOpen()) {
        return contacts::ContactsPathBeside(doc.Playback().Player().Path());
    }
    if (const RecordingStatus recording = doc.Recording().Current();
        recording.active && !recording.path.empty()) {
        return contacts::ContactsPathBeside(recording.path);
    }
    std::string folder = doc.GetSettings().system.writeFolder;
    if (folder.empty()) {
        folder = QDir::homePath().toStdString();
    }
    const std::string name = today.toString(QStringLiteral("yyyy-MM-dd")).toStdString() + ".contacts.gpkg";
    return (std::filesystem::path(folder) / name).string();
}

bool IsPlaying(const CTamsorDoc& doc) {
    return doc.Mode() == DocMode::Playback && doc.Playback().Player().IsOpen();
}

std::string PlayedFile(const CTamsorDoc& doc) {
    return IsPlaying(doc) ? doc.Playback().Player().Path() : std::string();
}

ContactMarkers MarkersOf(const CTamsorDoc& doc, const std::vector<Contact>& contacts, int selected) {
    ContactMarkers markers;
    markers.reserve(contacts.size());
    const std::optional<HeadPose> pose = PoseOfShownPing(doc);
    for (const Contact& contact : contacts) {
        markers.push_back(MarkerOnPicture{contact.number,
                                          ContactPicturePoint(contact, pose, doc.Shown().Settings()),
                                          contact.number == selected});
    }
    return markers;
}

PictureFrame FrameOf(const CTamsorDoc& doc, const CPictureModel& model) {
    return PictureFrameOf(doc, model);
}

bool ShowContactRecord(CTamsorDoc& doc, const Contact& contact) {
    if (!contact.recordOffset || contact.recording.empty()) {
        return false;
    }
    if (PlayedFile(doc) != contact.recording && !doc.OpenPlayback(contact.recording)) {
        return false;
    }
    return doc.Playback().PlayRecordAt(*contact.recordOffset);
}

} // namespace vexar::contact_doc
