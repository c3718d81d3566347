#pragma once
// CContactsController: the contacts of the console. It marks contacts at the view's pointer or
// the measure tool's end point, keeps them in the list of the contacts file of the moment (beside
// the recording made or played, or the day's file live), has every change written at once by the
// contact writer, follows the document from file to file, and draws the markers in the view.

#include "acquisition/DocumentTypes.h"
#include "contacts/CContactList.h"
#include "contacts/file/CContactWriter.h"
#include "contacts/file/ContactFile.h"

#include <QImage>
#include <QObject>
#include <QThreadPool>
#include <QTimer>

#include <optional>
#include <string>

namespace vexar {

class CTamsorDoc;
class CMOndrelView;
class IOperatorPort;

class CContactsController : public QObject, public IDocumentListener {
    Q_OBJECT
public:
    CContactsController(CTamsorDoc& doc, CMOndrelView& view, IOperatorPort* op, QObject* parent = nullptr);
    ~CContactsController() override;

    /// "Mark Contact": the point under the pointer. Refused with a message during a conversion, with
    /// no picture, or off the picture. Returns the new contact's number.
    std::optional<int> MarkAtPointer();
    /// The point (x, y) of the view, with the length measured to it by the measure tool.
    std::optional<int> MarkAt(int x, int y, std::optional<float> lengthM);

    void SetNote(int number, const std::string& note);
    void SetStatus(int number, ContactStatus status);
    void Delete(int number);
    void UndoDelete();
    /// "Go to": in playback the contact's ping, held; live the pointer to its marker.
    void GoTo(int number);
    /// Highlights a contact's marker (0: none).
    void Select(int number);
    int Selected() const { return m_selected; }
    /// "Export Contacts...": asks for a file and writes the contacts as KML, GeoJSON, CSV or an
    /// HTML report, by its extension.
    void Export(QWidget* dialogParent);
    /// Writes the contacts to `path` in the format of its extension; an error text, empty on success.
    std::string ExportTo(const std::string& path);

    const CContactList& List() const { return m_list; }
    const std::string& FilePath() const { return m_path; }
    /// A line for the contacts window: where the contacts are kept and whether all are written.
    QString StateText() const;
    /// Waits until the changes so far are written (or failed once); true when all are written.
    bool FlushWrites();

    void OnPingProcessed() override;
    void OnRealTimeStarted() override;
    void OnPlaybackOpened(std::uint64_t fileLength) override;
    void OnRecordingChanged(const RecordingStatus& recording) override;

signals:
    /// The list, a contact or the file changed.
    void contactsChanged();
    /// What StateText says may have changed.
    void stateChanged();

private:
    /// Follows the document to the contacts file of the moment, reading it when it is another.
    void FollowFile();
    void Changed(int number);
    void EncodeChip(int number, QImage chip);
    void CheckWriter();
    void Tell(const std::string& text);

    CTamsorDoc& m_doc;
    CMOndrelView& m_view;
    IOperatorPort* m_operator;
    CContactList m_list;
    contacts::CContactWriter m_writer;
    QThreadPool m_encoders; ///< the chips are encoded here, off the window's thread
    QTimer m_watch;         ///< reads the writer's state for the operator
    std::string m_path;
    bool m_refused = false;      ///< the file is no contacts file: it is never written
    bool m_failureShown = false; ///< the operator was told that the writes fail
    int m_selected = 0;
};

} // namespace vexar
