#include "TruthFile.h"

#include "common/UtcTime.h"
#include "files/RecordHeader.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <span>

namespace vexar::test {

std::int64_t IsoMs(const std::string& text) {
    UtcDateTime t;
    if (std::sscanf(text.c_str(), "%d-%d-%dT%d:%d:%d.%d", &t.year, &t.month, &t.day, &t.hour, &t.minute,
                    &t.second, &t.millisecond) != 7) {
        return 0;
    }
    return MsFromUtc(t).value_or(0);
}

std::vector<std::string> Cells(const std::string& line) {
    std::vector<std::string> cells(1);
    for (const char c : line) {
        if (c == ',') {
            cells.emplace_back();
        } else if (c != '\r' && c != '\n') {
            cells.back() += c;
        }
    }
    return cells;
}

namespace {
bool Between(const std::map<std::int64_t, MapSpot>& track, std::int64_t ms, double& easting,
             double& northing) {
    // A moment beyond the first or the last row (the head draws a ping a little after the
    // request the record is stamped with) is taken on from the two rows nearest to it.
    auto after = track.lower_bound(ms);
    if (after == track.end() && track.size() >= 2 && ms - track.rbegin()->first <= 200) {
        after = std::prev(track.end());
    }
    if (after == track.begin() && track.size() >= 2 && after->first - ms <= 200) {
        after = std::next(after);
    }
    if (after == track.end() || after == track.begin()) {
        return false;
    }
    const auto before = std::prev(after);
    const double f =
        static_cast<double>(ms - before->first) / static_cast<double>(after->first - before->first);
    easting = before->second.easting + f * (after->second.easting - before->second.easting);
    northing = before->second.northing + f * (after->second.northing - before->second.northing);
    return true;
}
} // namespace

bool Truth::At(std::int64_t ms, double& easting, double& northing) const {
    return Between(track, ms, easting, northing);
}

bool Truth::HeadAt(std::int64_t ms, double& easting, double& northing) const {
    return Between(head, ms, easting, northing);
}

double Truth::FromQuay(double easting, double northing) const {
    MapSpot a;
    MapSpot b;
    bool first = true;
    for (const MapWall& wall : walls) {
        if (wall.name.starts_with("quay")) {
            if (first) {
                a = wall.from;
                first = false;
            }
            b = wall.to;
        }
    }
    const double dx = b.easting - a.easting;
    const double dy = b.northing - a.northing;
    return std::fabs(dx * (northing - a.northing) - dy * (easting - a.easting)) / std::hypot(dx, dy);
}

Truth ReadTruth(const std::string& path) {
    Truth truth;
    std::ifstream file(path);
    for (std::string line; std::getline(file, line);) {
        const std::vector<std::string> c = Cells(line);
        if (c.size() != 19) {
            continue;
        }
        const auto spot = [&c](std::size_t at) { return MapSpot{std::stod(c[at]), std::stod(c[at + 1])}; };
        if (c[0] == "origin") {
            std::sscanf(c[1].c_str(), "UTM zone %d", &truth.zone);
        } else if (c[0] == "fix" || c[0] == "ping") {
            truth.track[IsoMs(c[2])] = spot(6);
        } else if (c[0] == "head") {
            truth.head[IsoMs(c[2])] = spot(6);
        } else if (c[0] == "point") {
            truth.points[c[1]] = spot(6);
        } else if (c[0] == "wall") {
            truth.walls.push_back({c[1], spot(6), spot(10)});
        }
    }
    return truth;
}

std::vector<RecordedFix> ReadRecords(const std::string& path) {
    QFile file(QString::fromStdString(path));
    std::vector<RecordedFix> records;
    if (!file.open(QIODevice::ReadOnly)) {
        return records;
    }
    const QByteArray bytes = file.readAll();
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.constData());
    for (std::size_t at = 0; at + kRecordHeaderSize <= static_cast<std::size_t>(bytes.size());) {
        const RecordHeaderFields f =
            ReadRecordHeader(std::span<const std::uint8_t, kRecordHeaderSize>(data + at, kRecordHeaderSize));
        UtcDateTime t;
        std::sscanf(f.timeStamp.c_str(), "%2d%2d%4d%2d%2d%2d%3d", &t.day, &t.month, &t.year, &t.hour,
                    &t.minute, &t.second, &t.millisecond);
        const std::size_t sentence = at + kRecordDataOffset + f.dataLength + f.extensionLength;
        records.push_back({MsFromUtc(t).value_or(0),
                           std::string(reinterpret_cast<const char*>(data + sentence), f.sentenceLength)});
        if (f.totalLength == 0) {
            break;
        }
        at += f.totalLength;
    }
    return records;
}

int RunCli(QStringList arguments, const std::string& settingsPath, QString& output) {
    QProcess cli;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TZ"), QStringLiteral("UTC"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    cli.setProcessEnvironment(environment);
    arguments.insert(1, QStringLiteral("--settings"));
    arguments.insert(2, QString::fromStdString(settingsPath));
    cli.start(QStringLiteral(VEXAR_CLI_PATH), arguments);
    const bool finished = cli.waitForFinished(120000);
    output = cli.readAllStandardOutput() + cli.readAllStandardError();
    return finished && cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1;
}

} // namespace vexar::test
