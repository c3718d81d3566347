// vexar-cli contacts FILE.contacts.gpkg [--to kml|geojson|csv OUT] [--report OUT.html]: hands the
// contacts marked in the console over to GIS (KML for Google Earth and QGIS, GeoJSON, CSV), or as
// one self-contained HTML page for a survey report.

#include "CliCommand.h"
#include "contacts/file/ContactFile.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace vexar::cli {
namespace {

struct ContactsOptions {
    std::string input;
    std::string format;
    std::string output;
    std::string report;
};

contacts::ContactFormat FormatOf(const std::string& name) {
    if (name == "kml") {
        return contacts::ContactFormat::Kml;
    }
    return name == "geojson" ? contacts::ContactFormat::GeoJson : contacts::ContactFormat::Csv;
}

void WriteReport(const std::vector<Contact>& contacts, const ContactsOptions& options) {
    const std::string title = "Contacts of " + std::filesystem::path(options.input).filename().string();
    const std::string page = contacts::ContactReportHtml(contacts, title);
    std::ofstream out(options.report, std::ios::binary | std::ios::trunc);
    out << page;
    out.close();
    if (!out) {
        std::error_code ignored;
        std::filesystem::remove(options.report, ignored);
        throw Failure("cannot write " + options.report);
    }
    std::printf("%zu contacts in the report %s\n", contacts.size(), options.report.c_str());
}

int RunContacts(const ContactsOptions& options) {
    if (options.format.empty() && options.report.empty()) {
        throw CLI::ValidationError("--to FORMAT OUT or --report OUT.html is needed");
    }
    const contacts::ContactFileRead read = contacts::ReadContactFile(options.input);
    if (!read.ok) {
        throw Failure(read.error);
    }
    if (!options.format.empty()) {
        const std::string error =
            contacts::ExportContactFile(options.input, options.output, FormatOf(options.format));
        if (!error.empty()) {
            throw Failure(error);
        }
        std::printf("%zu contacts written to %s\n", read.contacts.size(), options.output.c_str());
    }
    if (!options.report.empty()) {
        WriteReport(read.contacts, options);
    }
    return kExitOk;
}

const bool kRegistered = RegisterCommand(
    "contacts",
    "Hand over the contacts marked in the console (FILE.contacts.gpkg): as KML, GeoJSON or CSV, or as a "
    "self-contained HTML report with their pictures",
    [](CLI::App& command, const CommonOptions&) -> std::function<int()> {
        auto options = std::make_shared<ContactsOptions>();
        command.add_option("FILE", options->input, "contacts file (.contacts.gpkg)")
            ->required()
            ->check(CLI::ExistingFile);
        auto* to = command.add_option("--to", options->format, "format of OUT: kml, geojson or csv")
                       ->check(CLI::IsMember({"kml", "geojson", "csv"}));
        command.add_option("OUT", options->output, "the file --to writes")->needs(to);
        to->needs(command.get_option("OUT"));
        command.add_option("--report", options->report,
                           "write an HTML page of the contacts and their pictures");
        return [options] { return RunContacts(*options); };
    });

} // namespace
} // namespace vexar::cli
