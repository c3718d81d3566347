// Fuzzes every reader of record bytes: the file walk behind `vexar-cli info`, playback through
// the document (header checks, resync, packet pairs, sentence), and the UDP receiver's joining
// of datagrams.

#include "acquisition/CTamsorDoc.h"
#include "files/CDataFile.h"
#include "files/CPlayer.h"
#include "files/RecordScanner.h"
#include "output/CRecordAssembler.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace {

// The document without ports: no link, no timers, no operator; settings from a file that does
// not exist (defaults), and nothing is ever saved.
vexar::CTamsorDoc& Document() {
    static std::unique_ptr<vexar::CTamsorDoc> doc = [] {
        auto d = vexar::CTamsorDoc::Create(vexar::DocumentPorts{});
        d->OnNewDocument("/nonexistent-vexar-fuzz/", "/nonexistent-vexar-fuzz/Vexar.INI");
        d->Player().SetLooping(false);
        d->Player().SetSaveHeadSettings(false);
        return d;
    }();
    return *doc;
}

// The input as a file the readers open by path.
std::string InputFile(const std::uint8_t* data, std::size_t size) {
    static const int fd = memfd_create("vexar-fuzz", 0);
    if (fd < 0 || ftruncate(fd, 0) != 0) {
        return {};
    }
    std::size_t written = 0;
    while (written < size) {
        const ssize_t n = pwrite(fd, data + written, size - written, static_cast<off_t>(written));
        if (n <= 0) {
            return {};
        }
        written += static_cast<std::size_t>(n);
    }
    return "/proc/self/fd/" + std::to_string(fd);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = InputFile(data, size);
    if (path.empty()) {
        return 0;
    }
    {
        vexar::CDataFile file;
        if (file.Open(path, vexar::CDataFile::Mode::Read)) {
            vexar::ScanRecordFile(file, nullptr, nullptr);
        }
    }

    vexar::CTamsorDoc& doc = Document();
    if (doc.Player().OpenPlayback(path)) {
        for (int step = 0; step < 64; ++step) {
            if (doc.Player().PlaybackStep() == vexar::StepResult::AtEnd) {
                break;
            }
        }
    }
    doc.CloseAllFiles();

    // The same bytes as datagrams of the sizes a beam record is sent in, and as one.
    vexar::CRecordAssembler assembler(nullptr, nullptr);
    const std::span<const std::uint8_t> bytes(data, size);
    for (std::size_t at = 0; at < size; at += vexar::kRecordChunkSize) {
        assembler.Take(bytes.subspan(at, std::min<std::size_t>(vexar::kRecordChunkSize, size - at)));
    }
    assembler.Finish();
    vexar::ScannedRecord record;
    std::string reason;
    vexar::CheckRecordBytes(bytes, record, reason);
    return 0;
}
