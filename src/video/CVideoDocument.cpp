#include "video/CVideoDocument.h"

#include "acquisition/CTamsorDoc.h"
#include "display/CPictureModel.h"
#include "files/CPlayer.h"
#include "painting/PictureRenderer.h"

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

} // namespace

VideoExportSource VideoExportSourceOf(const CTamsorDoc& doc) {
    VideoExportSource source;
    source.playing = doc.Mode() == DocMode::Playback && doc.Playback().Player().IsOpen();
    source.recording = doc.Playback().Player().Path();
    source.writeFolder = doc.GetSettings().system.writeFolder;
    source.settings.programFolder = doc.SettingsFile().programFolder;
    source.settings.settingsPath = doc.SettingsFile().path;
    source.settings.look = doc.GetSettings();
    // The console's own processing keeps the cores it has; the export works beside it.
    source.settings.workers = 0;
    return source;
}

struct CVideoDocument::Parts : IDocumentListener {
    explicit Parts(const VideoSettings& settings) {
        DocumentPorts ports; // no timers, link, datagrams or clock: played pings only
        ports.operatorPort = &messages;
        doc = std::make_unique<CTamsorDoc>(ports, settings.workers);
        doc->OnNewDocument(settings.programFolder, settings.settingsPath);
        model = std::make_unique<CPictureModel>(doc->PingRoutine().Workers());
    }
    ~Parts() override { doc->Unsubscribe(*this); }
    Parts(const Parts&) = delete;
    Parts& operator=(const Parts&) = delete;

    // Every played ping updates the picture, as the console's view does (persistence needs all).
    void OnPingProcessed() override { model->Update(PictureInputOf(*doc)); }

    MessageKeeper messages;
    std::unique_ptr<CTamsorDoc> doc;
    std::unique_ptr<CPictureModel> model;
};

CVideoDocument::CVideoDocument(const VideoSettings& settings, QSize size)
    : m_parts(std::make_unique<Parts>(settings)), m_size(size) {
    CTamsorDoc& doc = *m_parts->doc;
    const std::optional<Settings>& look = settings.look;
    doc.EditSettings([&look](Settings& s) {
        if (look) {
            s.sonar = look->sonar;
            s.view = look->view;
            s.system.useFileSlc = look->system.useFileSlc;
        } else {
            s.sonar.displayMode = kDisplayModePolar;
        }
        // Nothing leaves this document: no products, no output.
        s.system.udpOutputPoint = 0;
        s.system.udpOutputBeam = 0;
        s.view.zoomIndex = kZoomFillScreen;
    });
    m_parts->model->InitialUpdate(PictureInputOf(doc));
    m_parts->model->Resize(PictureInputOf(doc), size.width(), size.height());
    doc.Subscribe(*m_parts);
}

CVideoDocument::~CVideoDocument() {
    CTamsorDoc& doc = *m_parts->doc;
    // Nothing is saved: the settings file is the console's.
    doc.CloseAllFiles();
    doc.CloseSockets();
}

bool CVideoDocument::Open(const std::string& path) {
    m_parts->messages.TakeLast();
    if (!m_parts->doc->OpenPlayback(path, true)) {
        const std::string why = Trimmed(m_parts->messages.TakeLast());
        m_error = "cannot play " + path + (why.empty() ? std::string() : ": " + why);
        return false;
    }
    return true;
}

VideoStep CVideoDocument::Step() {
    CTamsorDoc& doc = *m_parts->doc;
    switch (doc.Playback().Step()) {
    case StepResult::Ping:
        return {VideoStep::Kind::Ping, doc.Playback().Player().RecordStart()};
    case StepResult::Damaged:
    case StepResult::NoRecord:
    case StepResult::Waiting:
        return {VideoStep::Kind::Skipped, doc.Playback().Player().Position()};
    case StepResult::AtEnd:
    case StepResult::Idle:
        break;
    }
    return {VideoStep::Kind::End, doc.Playback().Player().Position()};
}

void CVideoDocument::Render(QImage& image) {
    // As RenderDocumentPicture draws it, into a picture kept from ping to ping: the client area
    // is as wide as the frame rounded up to 4, and the frame is its left part.
    RenderDocumentPictureInto(image, *m_parts->doc, *m_parts->model);
}

VideoCaption CVideoDocument::Caption() const {
    const CTamsorDoc& doc = *m_parts->doc;
    VideoCaption caption;
    caption.date = doc.Shown().Clock().date;
    caption.time = doc.Shown().Clock().time + "." + doc.Shown().Clock().millisecond;
    const CNavigation& nav = doc.Shown().Navigation();
    if (!nav.m_latitudeText.empty() && !nav.m_longitudeText.empty()) {
        caption.position = std::make_pair(nav.m_latitude, nav.m_longitude);
    }
    if (!nav.m_headingText.empty()) {
        caption.headingDeg = nav.m_heading;
    }
    return caption;
}

} // namespace vexar
