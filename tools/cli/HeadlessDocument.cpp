#include "HeadlessDocument.h"

#include <filesystem>

namespace vexar::cli {

HeadlessDocument::HeadlessDocument(const CommonOptions& common, bool withLink, bool withTimers,
                                   const std::string& sonarHost, std::uint16_t sonarPort, int workers) {
    if (!common.settingsPath.empty() && !std::filesystem::exists(common.settingsPath)) {
        throw Failure("settings file " + common.settingsPath + " does not exist");
    }
    DocumentPorts ports;
    ports.clock = &clock;
    ports.datagrams = &pacedDatagrams;
    ports.operatorPort = &op;
    if (withLink) {
        socket = std::make_unique<CSSocket>();
        link = std::make_unique<GatedLink>(*socket);
        linkThread = std::make_unique<CLinkThread>(
            [this](std::function<void()> news) { poster.Post(std::move(news)); });
        ports.link = link.get();
        ports.linkRunner = linkThread.get();
    }
    if (withTimers) {
        timers = std::make_unique<QtTimers>([this](int id) {
            if (doc) {
                doc->OnTimer(id);
            }
        });
        ports.timers = timers.get();
    }
    doc = std::make_unique<CTamsorDoc>(ports, workers);
    doc->Recording().Recorder().SetProductThread(true);
    if (link && !sonarHost.empty()) {
        doc->Live().SetAddressOverride(sonarHost, sonarPort);
        link->Open();
    }
    doc->OnNewDocument(ProgramFolder(), common.settingsPath);
}

HeadlessDocument::~HeadlessDocument() {
    // The settings file is left as it was: a headless run saves nothing.
    if (doc) {
        doc->CloseAllFiles();
        doc->CloseSockets();
    }
}

const CPlayer& PlayRecordingOnce(CTamsorDoc& doc, const std::string& path) {
    if (!doc.OpenPlayback(path, true)) {
        throw Failure("cannot play " + path);
    }
    return doc.Playback().Player();
}

} // namespace vexar::cli
