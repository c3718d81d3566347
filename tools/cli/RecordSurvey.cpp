#include "RecordSurvey.h"

#include "CliCommand.h"
#include "files/CDataFile.h"
#include "navigation/PingPlacer.h"

#include <vector>

namespace vexar::cli {

RecordSurvey SurveyRecords(const std::string& path, bool findFix) {
    CDataFile file;
    if (!file.Open(path, CDataFile::Mode::Read)) {
        throw Failure("cannot open " + path + ": " + file.LastError());
    }
    // The sentences are read through a second handle: the walk keeps its own position.
    CDataFile sentences;
    if (findFix && !sentences.Open(path, CDataFile::Mode::Read)) {
        throw Failure("cannot open " + path + ": " + sentences.LastError());
    }
    RecordSurvey survey;
    survey.path = path;
    survey.bytes = file.Length();
    PingPlacer placer;
    std::vector<std::uint8_t> sentence;
    survey.totals = ScanRecordFile(
        file,
        [&](const ScannedRecord& record) {
            ++survey.records[static_cast<std::size_t>(record.kind)];
            if (!findFix || survey.firstFix || record.fields.sentenceLength == 0) {
                return;
            }
            sentence.resize(record.fields.sentenceLength);
            if (sentences.Seek(record.offset + record.fields.sentenceOffset) &&
                sentences.Read(sentence) == sentence.size() &&
                placer.FollowSentence({reinterpret_cast<const char*>(sentence.data()), sentence.size()})) {
                survey.firstFix = placer.Projection();
            }
        },
        nullptr);
    return survey;
}

std::string NoRecordsText(const std::string& path, const ScanTotals& totals) {
    return path + " holds no records (" + std::to_string(totals.damagedBytes) + " bytes unreadable)";
}

void RequireRecords(const RecordSurvey& survey) {
    if (survey.totals.records == 0) {
        throw Failure(NoRecordsText(survey.path, survey.totals));
    }
}

} // namespace vexar::cli
