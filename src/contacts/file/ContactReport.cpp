// The survey report of a contacts file: one HTML page that needs nothing beside it.

#include "contacts/file/ContactFile.h"

#include <array>
#include <cstdio>
#include <string_view>

namespace vexar::contacts {

namespace {

std::string Escape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
            break;
        }
    }
    return out;
}

std::string Base64(const std::vector<std::uint8_t>& bytes) {
    constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::uint32_t a = bytes[i];
        const std::uint32_t b = i + 1 < bytes.size() ? bytes[i + 1] : 0u;
        const std::uint32_t c = i + 2 < bytes.size() ? bytes[i + 2] : 0u;
        const std::uint32_t n = (a << 16) | (b << 8) | c;
        out += kAlphabet[(n >> 18) & 63];
        out += kAlphabet[(n >> 12) & 63];
        out += i + 1 < bytes.size() ? kAlphabet[(n >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? kAlphabet[n & 63] : '=';
    }
    return out;
}

std::string Number(const char* format, double value) {
    std::array<char, 64> text{};
    std::snprintf(text.data(), text.size(), format, value);
    return text.data();
}

std::string PositionCells(const Contact& c) {
    if (!c.position) {
        return "<td colspan=\"3\" class=\"none\">no position (the ping had no fix)</td>";
    }
    const ContactPosition& p = *c.position;
    return "<td>" + Number("%.7f", p.latitudeDeg) + "<br>" + Number("%.7f", p.longitudeDeg) + "</td><td>" +
           Number("%.2f", p.easting) + "<br>" + Number("%.2f", p.northing) +
           "</td><td>EPSG:" + std::to_string(p.epsg) + "</td>";
}

std::string Row(const Contact& c) {
    std::string row = "<tr><td>" + std::to_string(c.number) + "</td><td>" +
                      (c.utcMs ? IsoUtcText(*c.utcMs) : std::string("unknown")) + "</td>";
    row += PositionCells(c);
    row += "<td>" + Number("%.1f&deg;", static_cast<double>(c.bearingDeg)) +
           (c.bearingFromNorth ? " from north" : " from the picture's top") + "<br>" +
           Number("%.2f m", static_cast<double>(c.rangeM)) + "</td>";
    row +=
        "<td>" + (c.vehicleDepthM ? Number("%.2f m", static_cast<double>(*c.vehicleDepthM)) : "") + "</td>";
    row += "<td>" + (c.lengthM ? Number("%.2f m", static_cast<double>(*c.lengthM)) : "") + "</td>";
    row += "<td>" + Escape(StatusName(c.status)) + "</td><td>" + Escape(c.note) + "</td><td>" +
           Escape(c.recording) + (c.recordCounter ? " #" + std::to_string(*c.recordCounter) : "") +
           "</td><td>";
    if (!c.chipPng.empty()) {
        row += "<img alt=\"contact " + std::to_string(c.number) + "\" src=\"data:image/png;base64," +
               Base64(c.chipPng) + "\">";
    }
    return row + "</td></tr>\n";
}

constexpr const char* kStyle =
    "body{font-family:sans-serif;margin:1.5em;color:#111}table{border-collapse:collapse}"
    "th,td{border:1px solid #999;padding:4px 6px;vertical-align:top;font-size:13px}"
    "th{background:#eee}td.none{color:#a00}img{width:192px;height:192px;image-rendering:pixelated}";

} // namespace

std::string ContactReportHtml(const std::vector<Contact>& contacts, const std::string& title) {
    std::string page = "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>" +
                       Escape(title) + "</title><style>" + kStyle + "</style></head><body>\n<h1>" +
                       Escape(title) + "</h1>\n<p>" + std::to_string(contacts.size()) +
                       " contacts. Positions in WGS 84 and in WGS 84 / UTM; times in UTC.</p>\n";
    page += "<table><thead><tr><th>No.</th><th>Time (UTC)</th><th>Latitude<br>Longitude</th>"
            "<th>Easting<br>Northing</th><th>Map</th><th>Bearing<br>Range</th><th>Vehicle depth</th>"
            "<th>Length</th><th>Status</th><th>Note</th><th>Recording</th><th>Picture</th></tr></thead>"
            "<tbody>\n";
    for (const Contact& contact : contacts) {
        page += Row(contact);
    }
    return page + "</tbody></table>\n</body></html>\n";
}

} // namespace vexar::contacts
