#include "acquisition/CRecording.h"

#include <cstdio>

namespace vexar {

namespace {
FileDialogRequest SaveRequest(RecordKind kind, const std::string& folder, const std::string& name) {
    FileDialogRequest request;
    request.title = "Save Sonar Data File:";
    request.folder = folder;
    request.proposedName = name;
    switch (kind) {
    case RecordKind::Raw:
        request.filterText = "Sonar Raw Data File: (*.R96)";
        request.filterPattern = "*.R96";
        break;
    case RecordKind::Beam:
        request.filterText = "Sonar Beam Data File: (*.B96)";
        request.filterPattern = "*.B96";
        break;
    case RecordKind::Point:
        request.filterText = "Sonar Profile Points Data File: (*.P96)";
        request.filterPattern = "*.P96";
        break;
    }
    return request;
}

OutputTarget OutputOf(const SystemSettings& system) {
    return OutputTarget{system.udpOutputPoint != 0, system.udpOutputBeam != 0, system.outputAddress,
                        system.outputPort};
}
} // namespace

CRecording::CRecording(IRecordingHost& host, const DocumentPorts& ports, const CDocumentEvents& events)
    : m_host(host), m_events(events), m_operator(ports.operatorPort), m_datagrams(ports.datagrams),
      m_recorder(ports.operatorPort, ports.datagrams, *this) {}

void CRecording::OpenOutput() {
    if (m_datagrams != nullptr && !m_datagrams->IsOpen()) {
        m_datagrams->Open(kOutputLocalPort);
    }
}

void CRecording::CloseOutput() {
    if (m_datagrams != nullptr && m_datagrams->IsOpen()) {
        m_datagrams->Close();
    }
}

bool CRecording::LinkRecords() const {
    return m_recorder.IsRecording(RecordKind::Raw) && !m_host.Playing() && m_host.RecordingLink() != nullptr;
}

RecordingStatus CRecording::Current() const {
    RecordingStatus status;
    if (m_recorder.AnyRecording() && m_recorder.FileIsOpen()) {
        status.path = m_recorder.FilePath();
        status.bytes = m_recorder.RecordFileBytes();
    } else if (LinkRecords()) {
        // A live raw recording is the link's.
        const RawRecordingState recording = m_host.RecordingLink()->Recording();
        if (recording.active) {
            status.path = recording.path;
            status.bytes = recording.bytes;
        }
    }
    status.active = !status.path.empty();
    return status;
}

std::string CRecording::Title() const {
    const RecordingStatus recording = Current();
    if (!recording.active) {
        return {};
    }
    char size[64];
    std::snprintf(size, sizeof size, "%.1f M Bytes", static_cast<double>(recording.bytes) / 1048576.0);
    return recording.path + "    ___" + size;
}

bool CRecording::WantsBeamRows() const {
    return m_recorder.WantsRecord(RecordKind::Beam, OutputOf(m_host.RecordingSettings()));
}

void CRecording::WriteProducts(CCombinedImage& combined, const RecordContext& context) {
    PingProducts products;
    products.context = context;
    products.combinedImage = combined.Image().data();
    products.combinedProfile = combined.Profile().data();
    products.convertedSamples = combined.ConvertedSamples();
    if (products.convertedSamples > 0) {
        products.convertedRows = combined.ConvertedRows();
    }
    products.output = OutputOf(m_host.RecordingSettings());
    m_recorder.BuildProducts(products);
}

void CRecording::Changed() {
    m_events.Notify(&IDocumentListener::OnRecordingChanged, Current());
}

void CRecording::OnRecordingChanged() {
    Changed();
}

void CRecording::OnRecordingStopped() {
    if (!m_host.Playing()) {
        m_host.SetTitle("Real Time");
    }
}

void CRecording::FollowLinkRecording(const RawRecordingState& state) {
    if (!LinkRecords() || state.active || !state.ended) {
        return;
    }
    m_host.RecordingLink()->StopRecording();
    m_recorder.StopAll();
    if (m_operator == nullptr || state.error.empty()) {
        return; // the record limit of a headless recording
    }
    if (state.error == kRollOverOpenFailed) {
        m_operator->ShowMessage(kRollOverOpenFailed, MessageIcon::Error);
        return;
    }
    m_operator->ShowMessage(state.error, MessageIcon::Error);
    m_operator->ShowMessage("Error Writing File!", MessageIcon::Error);
}

void CRecording::FollowSettings() {
    RollOverRule rule;
    rule.limitBytes = SizeLimitBytes(m_host.RecordingSettings().autoFileSize);
    rule.folder = m_host.RecordingSettings().writeFolder;
    rule.stem = [this] { return m_host.RollOverName(); };
    m_recorder.SetRollOver(std::move(rule));
}

std::string CRecording::ProposedName(RecordKind kind) {
    const std::string stem = m_host.FreshAutoName();
    // With "&Auto File Name" off the operator names every file.
    if (m_host.RecordingSettings().autoFileName == 0) {
        return {};
    }
    if (kind == RecordKind::Raw && m_host.Playing()) {
        return "Copy of " + m_host.PlayedFileName();
    }
    return stem + ExtensionOf(kind);
}

void CRecording::OnRecord(RecordKind kind) {
    if (m_recorder.IsRecording(kind)) {
        if (kind == RecordKind::Raw && LinkRecords()) {
            m_host.RecordingLink()->StopRecording();
        }
        m_recorder.StopKind(kind);
        if (!m_host.Playing()) {
            m_host.SetTitle("Real Time");
        }
        Changed();
        return;
    }
    const std::string proposed = ProposedName(kind);
    if (m_operator == nullptr) {
        return;
    }
    const auto chosen =
        m_operator->AskSaveFile(SaveRequest(kind, m_host.RecordingSettings().writeFolder, proposed));
    if (!chosen || chosen->empty()) {
        return;
    }
    Start(kind, *chosen);
}

bool CRecording::Start(RecordKind kind, const std::string& path, std::uint64_t maxRecords) {
    if (m_recorder.AnyRecording()) {
        if (m_operator != nullptr) {
            m_operator->ShowMessage("Data is already being saved to file.   ", MessageIcon::Warning);
        }
        return false;
    }
    const bool playing = m_host.Playing();
    if (playing && NameOf(path) == m_host.PlayedFileName()) {
        if (m_operator != nullptr) {
            m_operator->ShowMessage("Can't write in this file ...\nThis file is used as playback!   ",
                                    MessageIcon::Warning);
        }
        return false;
    }
    const std::string previousTitle = m_host.Title();
    if (!playing) {
        m_host.SetTitle("Real Time -- Recording to File: " + path);
    } else if (kind == RecordKind::Raw) {
        m_host.SetTitle("Playback -- Copying to File: " + path);
    } else {
        m_host.SetTitle("Playback -- Converting to File: " + path);
    }
    if (const std::string folder = FolderOf(path); !folder.empty()) {
        m_host.ChangeWriteFolder(folder);
    }
    if (!m_recorder.FileIsOpen() && !m_recorder.OpenFile(path)) {
        m_host.SetTitle(previousTitle);
        return false;
    }
    m_recorder.SetSwitch(kind, true);
    if (LinkRecords()) {
        // Live pings are recorded where they are exchanged: the link takes the open file and
        // writes each whole ping from the next one on.
        RawRecordingRequest request;
        request.path = path;
        request.folder = m_host.RecordingSettings().writeFolder;
        request.sizeLimitBytes = SizeLimitBytes(m_host.RecordingSettings().autoFileSize);
        request.maxRecords = maxRecords;
        m_host.RecordingLink()->StartRecording(m_recorder.TakeFile(), request);
    }
    Changed();
    return true;
}

void CRecording::Stop() {
    m_recorder.FinishProducts();
    if (LinkRecords()) {
        m_host.RecordingLink()->StopRecording();
    }
    m_recorder.StopAll();
}

void CRecording::CloseAll() {
    const bool recording = m_recorder.AnyRecording();
    if (m_recorder.FileIsOpen()) {
        m_recorder.FinishProducts();
    }
    if (m_recorder.IsRecording(RecordKind::Raw) && m_host.RecordingLink() != nullptr) {
        m_host.RecordingLink()->StopRecording();
    }
    m_recorder.Close();
    if (recording) {
        Changed();
    }
}

} // namespace vexar
