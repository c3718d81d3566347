#include "video/CVideoDocument.h"

#include "acquisition/CTamsorDoc.h"
#include "display/CPictureModel.h"
#include "files/CPlayer.h"
#include "platform/qt/PictureRenderer.h"

#include <QPainter>

#include <vector>

namespace vexar {

namespace {

// Messages of the video's document are not shown to anyone: the job reports the last one.
class MessageKeeper : public IOperatorPort {
public:
    void ShowMessage(const std::string& text, MessageIcon icon) override {
        (void)icon;
        m_last = text;
    }
    std::string TakeLast() { return std::exchange(m_last, std::string()); }

private:
    std::string m_last;
};

std::string Trimmed(std::string text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '!')) {
        text.pop_back();
    }
    return text;
}

VideoLook LookOf(const CTamsorDoc& doc) {
    const COndrel& head = doc.Head(0);
    VideoLook look;
    look.colorTable = doc.m_colorTable;
    look.grid = doc.m_grid;
    look.rangeMark = doc.m_rangeMark;
    look.unit = doc.m_unit;
    look.profileDisplay = doc.m_profileDisplay;
    look.displayMode = head.m_displayMode;
    look.displayGain = head.m_displayGain;
    look.persistence = head.m_persistence;
    look.startGain = doc.m_startGain;
    look.average = head.m_average;
    look.beamWidth = head.m_beamWidth;
    look.detectProfilePoints = head.m_detectProfilePoints;
    look.profileFilterType = head.m_profileFilterType;
    look.useFileSlc = doc.m_useFileSlc;
    look.soundVelocity = doc.m_soundVelocity;
    look.azimuthOffsetDeg = doc.m_azimuthOffsetDeg;
    return look;
}

void ApplyLook(CTamsorDoc& doc, const VideoLook& look) {
    COndrel& head = doc.Head(0);
    doc.m_colorTable = look.colorTable;
    doc.m_grid = look.grid;
    doc.m_rangeMark = look.rangeMark;
    doc.m_unit = look.unit;
    doc.m_profileDisplay = look.profileDisplay;
    head.m_displayMode = look.displayMode;
    head.m_displayGain = look.displayGain;
    head.m_persistence = look.persistence;
    doc.m_startGain = look.startGain;
    head.m_average = look.average;
    head.m_beamWidth = look.beamWidth;
    head.m_detectProfilePoints = static_cast<std::uint8_t>(look.detectProfilePoints != 0 ? 1 : 0);
    head.m_profileFilterType = look.profileFilterType;
    doc.m_useFileSlc = look.useFileSlc;
    doc.m_soundVelocity = look.soundVelocity;
    doc.m_azimuthOffsetDeg = look.azimuthOffsetDeg;
}

} // namespace

VideoExportSource VideoExportSourceOf(const CTamsorDoc& doc) {
    VideoExportSource source;
    source.playing = doc.m_playback != 0 && doc.m_playbackFile.IsOpen();
    source.recording = doc.m_playbackFile.Path();
    source.writeFolder = doc.m_writeFolder;
    source.settings.programFolder = doc.m_programFolder;
    source.settings.settingsPath = doc.m_settingsPath;
    source.settings.look = LookOf(doc);
    // The console's own processing keeps the cores it has; the export works beside it.
    source.settings.workers = 0;
    return source;
}

struct CVideoDocument::Parts : IDocumentListener {
    explicit Parts(const VideoSettings& settings) {
        DocumentPorts ports; // no timers, link, datagrams or clock: played pings only
        ports.operatorPort = &messages;
        doc = CTamsorDoc::Create(ports, settings.workers);
        doc->OnNewDocument(settings.programFolder, settings.settingsPath);
        model = std::make_unique<CPictureModel>(doc->Workers());
    }
    ~Parts() override { doc->Unsubscribe(*this); }
    Parts(const Parts&) = delete;
    Parts& operator=(const Parts&) = delete;

    // Every played ping updates the picture, as the console's view does (persistence needs all).
    void OnPingProcessed() override { model->Update(*doc); }

    MessageKeeper messages;
    std::unique_ptr<CTamsorDoc> doc;
    std::unique_ptr<CPictureModel> model;
};

CVideoDocument::CVideoDocument(const VideoSettings& settings, QSize size)
    : m_parts(std::make_unique<Parts>(settings)), m_size(size) {
    CTamsorDoc& doc = *m_parts->doc;
    // Nothing leaves this document: no products, no output.
    doc.m_udpOutputPoint = 0;
    doc.m_udpOutputBeam = 0;
    if (settings.look) {
        ApplyLook(doc, *settings.look);
    } else {
        doc.Head(0).m_displayMode = kDisplayModePolar;
    }
    doc.m_zoomIndex = kZoomFillScreen;
    doc.CopyHeadSettings();
    doc.UpdateHeadAzimuths();
    doc.m_forceReconfigure = 1;
    doc.m_imageReset = 1;
    m_parts->model->InitialUpdate(doc);
    m_parts->model->Resize(doc, size.width(), size.height());
    doc.Subscribe(*m_parts);
}

CVideoDocument::~CVideoDocument() {
    CTamsorDoc& doc = *m_parts->doc;
    // Nothing is saved: the settings file is the console's.
    doc.CloseAllFiles();
    doc.CloseSockets();
}

bool CVideoDocument::Open(const std::string& path) {
    CPlayer& player = m_parts->doc->Player();
    player.SetLooping(false);
    player.SetSaveHeadSettings(false);
    m_parts->messages.TakeLast();
    if (!player.OpenPlayback(path)) {
        const std::string why = Trimmed(m_parts->messages.TakeLast());
        m_error = "cannot play " + path + (why.empty() ? std::string() : ": " + why);
        return false;
    }
    return true;
}

VideoStep CVideoDocument::Step() {
    CPlayer& player = m_parts->doc->Player();
    switch (player.PlaybackStep()) {
    case StepResult::Ping:
        return {VideoStep::Kind::Ping, player.RecordStart()};
    case StepResult::Damaged:
    case StepResult::NoRecord:
    case StepResult::Waiting:
        return {VideoStep::Kind::Skipped, player.Position()};
    case StepResult::AtEnd:
    case StepResult::Idle:
        break;
    }
    return {VideoStep::Kind::End, player.Position()};
}

void CVideoDocument::Render(QImage& image) {
    const CTamsorDoc& doc = *m_parts->doc;
    const CPictureModel& model = *m_parts->model;
    // As RenderDocumentPicture draws it, into a picture kept from ping to ping: the client area
    // is as wide as the frame rounded up to 4, and the frame is its left part.
    const QSize client(model.ClientWidth(), model.ClientHeight());
    if (image.size() != client || image.format() != QImage::Format_RGB32) {
        image = QImage(client, QImage::Format_RGB32);
    }
    image.fill(Qt::black);
    PaintSonarPicture(image, doc, model);
    QPainter painter(&image);
    PaintOverlays(painter, doc, model, nullptr);
}

VideoCaption CVideoDocument::Caption() const {
    const CTamsorDoc& doc = *m_parts->doc;
    VideoCaption caption;
    caption.date = doc.m_dateText;
    caption.time = doc.m_timeText + "." + doc.m_millisecondText;
    const CNavigation& nav = doc.m_navigationValues;
    if (!nav.m_latitudeText.empty() && !nav.m_longitudeText.empty()) {
        caption.position = std::make_pair(nav.m_latitude, nav.m_longitude);
    }
    if (!nav.m_headingText.empty()) {
        caption.headingDeg = nav.m_heading;
    }
    return caption;
}

} // namespace vexar
