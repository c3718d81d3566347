#include "ProductPlayback.h"

#include "HeadlessDocument.h"
#include "files/CPlayer.h"
#include "files/CProductWriter.h"
#include "files/CRecorder.h"

#include <exception>
#include <mutex>

namespace vexar::cli {

namespace {

/// Passes the records of one kind on; the first exception of the taker is kept for the caller,
/// and no record is taken after it.
class TakerSink : public IProductSink {
public:
    TakerSink(RecordKind kind, const RecordTaker& take) : m_kind(kind), m_take(take) {}
    bool Wants(RecordKind kind) const override { return kind == m_kind; }
    void Take(RecordKind kind, std::span<const std::uint8_t> record) override {
        if (kind != m_kind || Failed()) {
            return;
        }
        try {
            m_take(record);
        } catch (...) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_error = std::current_exception();
        }
    }
    bool Failed() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_error != nullptr;
    }
    void RethrowFailure() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_error) {
            std::rethrow_exception(m_error);
        }
    }

private:
    RecordKind m_kind;
    const RecordTaker& m_take;
    mutable std::mutex m_mutex;
    std::exception_ptr m_error;
};

} // namespace

std::uint64_t PlayIntoProducts(const CommonOptions& common, const std::string& path, RecordKind kind,
                               int cores, const RecordTaker& take,
                               const std::function<void(double)>& progress) {
    HeadlessDocument headless(common, false, false, {}, 0, cores > 0 ? cores - 1 : -1);
    CTamsorDoc& doc = *headless.doc;
    // Rasters are made from the records alone: nothing goes out on the network for them.
    doc.EditSettings([](Settings& s) {
        s.system.udpOutputBeam = 0;
        s.system.udpOutputPoint = 0;
    });
    doc.Recording().Recorder().SetProductThread(cores != 1);
    const CPlayer& player = PlayRecordingOnce(doc, path);
    TakerSink sink(kind, take);
    doc.Recording().Recorder().SetProductSink(&sink);
    std::uint64_t pings = 0;
    for (StepResult result = doc.Playback().Step(); result != StepResult::AtEnd && result != StepResult::Idle;
         result = doc.Playback().Step()) {
        pings += result == StepResult::Ping ? 1 : 0;
        if (pings % 8 == 0 || result != StepResult::Ping) {
            if (progress && player.FileLength() > 0) {
                progress(static_cast<double>(player.Position()) / static_cast<double>(player.FileLength()));
            }
            if (sink.Failed()) {
                break;
            }
        }
    }
    doc.Recording().Recorder().FinishProducts();
    doc.Recording().Recorder().SetProductSink(nullptr);
    sink.RethrowFailure();
    return pings;
}

} // namespace vexar::cli
