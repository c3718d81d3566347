// vexar-cli info FILE: one line per record and per damaged stretch.

#include "CliCommand.h"
#include "RecordSurvey.h"

#include "files/CDataFile.h"
#include "files/RecordScanner.h"

#include <cstdio>

namespace vexar::cli {
namespace {

struct InfoOptions {
    std::string file;
};

std::string Printable(const std::string& text) {
    std::string out;
    for (const char c : text) {
        out.push_back(c >= 0x20 && c < 0x7F ? c : '?');
    }
    return out;
}

int RunInfo(const InfoOptions& options) {
    CDataFile file;
    if (!file.Open(options.file, CDataFile::Mode::Read)) {
        throw Failure("cannot open " + options.file + ": " + file.LastError());
    }
    std::printf("# index\toffset\tkind\tlength\ttime stamp\trange m\tsamples\tbeams\tpairs\tsentence\n");
    const ScanTotals totals = ScanRecordFile(
        file,
        [](const ScannedRecord& r) {
            const RecordHeaderFields& f = r.fields;
            std::printf("%llu\t%llu\t%s\t%u\t%s\t%.2f\t%d\t%u\t%d\t%u\n",
                        static_cast<unsigned long long>(r.index), static_cast<unsigned long long>(r.offset),
                        f.signature.c_str(), f.totalLength, Printable(f.timeStamp).c_str(),
                        static_cast<double>(f.rangeM), f.samples, f.beamCount, r.packets, f.sentenceLength);
        },
        [](const DamagedStretch& d) {
            std::printf("damaged\t%llu\t%llu bytes\t%s\n", static_cast<unsigned long long>(d.offset),
                        static_cast<unsigned long long>(d.length), d.reason.c_str());
        });
    std::printf("# %llu records, %llu damaged stretches (%llu bytes)\n",
                static_cast<unsigned long long>(totals.records),
                static_cast<unsigned long long>(totals.damagedStretches),
                static_cast<unsigned long long>(totals.damagedBytes));
    if (totals.records == 0) {
        throw Failure(NoRecordsText(options.file, totals));
    }
    return kExitOk;
}

const bool kRegistered = RegisterCommand(
    "info", "List the records of an R96, B96 or P96 file and its damaged stretches",
    [](CLI::App& command, const CommonOptions&) -> std::function<int()> {
        auto options = std::make_shared<InfoOptions>();
        command.add_option("FILE", options->file, "record file")->required()->check(CLI::ExistingFile);
        return [options] { return RunInfo(*options); };
    });

} // namespace
} // namespace vexar::cli
