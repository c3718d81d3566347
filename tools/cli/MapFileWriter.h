#pragma once
// MapFileWriter: a file of the points of a conversion in a map layout. The file is created at the
// first point, in that point's projection; a conversion whose track had a usable fix but gave no
// point still gets its (empty) file at the end.

#include "CliCommand.h"
#include "navigation/XyzExport.h"

#include <cstdint>
#include <string>

namespace vexar::cli {

class MapFileWriter : public IMapPointSink {
public:
    explicit MapFileWriter(std::string path) : m_path(std::move(path)) {}

    void TakePoint(const MapPoint& point) final {
        if (!m_created) {
            StartFile(point.projection);
        }
        Write(point);
        ++m_points;
    }
    /// Closes the file, creating it in `projection` if no point came; throws Failure when
    /// anything was lost.
    void Finish(const MapProjection& projection) {
        if (!m_created) {
            StartFile(projection);
        }
        Close();
        if (!m_error.empty()) {
            throw Failure("write error: " + m_path + ": " + m_error);
        }
    }
    std::uint64_t Points() const { return m_points; }
    /// The projection of the points' easting and northing.
    const MapProjection& Projection() const { return m_projection; }

protected:
    /// Creates the file; throws Failure when it cannot.
    virtual void Create(const MapProjection& projection) = 0;
    virtual void Write(const MapPoint& point) = 0;
    virtual void Close() = 0;
    /// Keeps the first thing that went wrong.
    void Fail(const std::string& what) {
        if (m_error.empty()) {
            m_error = what;
        }
    }
    const std::string& Path() const { return m_path; }

private:
    void StartFile(const MapProjection& projection) {
        m_projection = projection;
        m_created = true;
        Create(projection);
    }

    std::string m_path;
    MapProjection m_projection;
    std::uint64_t m_points = 0;
    bool m_created = false;
    std::string m_error;
};

} // namespace vexar::cli
