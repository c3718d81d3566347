#include "serve/ServeRawPlayback.h"

#include "HeadlessDocument.h"

#include "files/CPlayer.h"
#include "files/CRecorder.h"

namespace vexar::cli {

/// Takes the document's point and beam records on the document's own thread.
class CServeRawPlayback::CProductTaker : public IProductSink {
public:
    explicit CProductTaker(RecordHandler onRecord) : m_onRecord(std::move(onRecord)) {}
    bool Wants(RecordKind kind) const override {
        return kind == RecordKind::Beam || kind == RecordKind::Point;
    }
    void Take(RecordKind, std::span<const std::uint8_t> record) override {
        ScannedRecord scanned;
        std::string reason;
        if (CheckRecordBytes(record, scanned, reason)) {
            m_onRecord(scanned, record);
        }
    }

private:
    RecordHandler m_onRecord;
};

CServeRawPlayback::CServeRawPlayback(const CommonOptions& common, RecordHandler onRecord)
    : m_taker(std::make_unique<CProductTaker>(std::move(onRecord))),
      m_headless(std::make_unique<HeadlessDocument>(common, false, false)) {
    CTamsorDoc& doc = *m_headless->doc;
    // Records reach the taker before the next ping is processed, on this thread.
    doc.Recording().Recorder().SetProductThread(false);
    doc.Recording().Recorder().SetProductSink(m_taker.get());
}

CServeRawPlayback::~CServeRawPlayback() {
    m_headless->doc->Recording().Recorder().SetProductSink(nullptr);
}

void CServeRawPlayback::Open(const std::string& path) {
    CTamsorDoc& doc = *m_headless->doc;
    PlayRecordingOnce(doc, path);
    // Observers are served from here: the settings' UDP output (and its address) play no part.
    doc.EditSettings([](Settings& s) {
        s.system.udpOutputBeam = 0;
        s.system.udpOutputPoint = 0;
    });
    m_open = true;
}

bool CServeRawPlayback::Step() {
    if (!m_open) {
        return false;
    }
    for (;;) {
        switch (m_headless->doc->Playback().Step()) {
        case StepResult::Ping:
            return true;
        case StepResult::Damaged:
        case StepResult::NoRecord:
        case StepResult::Waiting:
            continue; // damaged stretches are skipped up to the next whole record
        case StepResult::Idle:
        case StepResult::AtEnd:
            m_open = false;
            return false;
        }
    }
}

} // namespace vexar::cli
