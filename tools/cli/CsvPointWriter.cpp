#include "CsvPointWriter.h"

#include "CliCommand.h"

#include <proj.h>

#include <cerrno>
#include <cstring>

namespace vexar::cli {

CsvPointWriter::~CsvPointWriter() {
    if (m_file != nullptr) {
        std::fclose(m_file);
    }
    if (m_inverse != nullptr) {
        proj_destroy(m_inverse);
    }
    if (m_context != nullptr) {
        proj_context_destroy(m_context);
    }
}

void CsvPointWriter::Create(const MapProjection& projection) {
    m_context = proj_context_create();
    // A pipeline of its own needs no projection database: the inverse of the zone's transverse
    // Mercator on WGS 84, in degrees.
    const std::string pipeline =
        "+proj=pipeline +step +inv +proj=utm +zone=" + std::to_string(projection.zone) +
        (projection.south ? " +south" : "") + " +ellps=WGS84 +step +proj=unitconvert +xy_in=rad +xy_out=deg";
    m_inverse = proj_create(m_context, pipeline.c_str());
    if (m_inverse == nullptr) {
        throw Failure("cannot set up the projection of UTM zone " + std::to_string(projection.zone));
    }
    m_file = std::fopen(Path().c_str(), "wb");
    std::FILE* types = std::fopen((Path() + "t").c_str(), "wb");
    const bool typed = types != nullptr && std::fputs(kCsvColumnTypes, types) >= 0;
    if (types != nullptr && std::fclose(types) != 0) {
        Fail(std::strerror(errno));
    }
    if (m_file == nullptr || !typed) {
        throw Failure("cannot create " + Path() + ": " + std::strerror(errno));
    }
    if (std::fputs(kCsvHeader, m_file) < 0) {
        Fail(std::strerror(errno));
    }
}

void CsvPointWriter::Write(const MapPoint& point) {
    const PJ_COORD utm = proj_coord(point.easting, point.northing, 0.0, 0.0);
    const PJ_COORD degrees = proj_trans(m_inverse, PJ_FWD, utm);
    const std::string time = IsoTimeOfStamp(point.timeStamp);
    if (std::fprintf(m_file, "%s,%.3f,%.3f,%.3f,%d,%.3f,%.8f,%.8f\n", time.c_str(), point.easting,
                     point.northing, point.depth, point.beam, point.rangeM, degrees.lp.phi,
                     degrees.lp.lam) < 0) {
        Fail(std::strerror(errno));
    }
}

void CsvPointWriter::Close() {
    if (m_file != nullptr && std::fclose(m_file) != 0) {
        Fail(std::strerror(errno));
    }
    m_file = nullptr;
}

} // namespace vexar::cli
