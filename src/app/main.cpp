// vexar: the operator console of the 360-degree multibeam imaging sonar.

#include "acquisition/CTamsorDoc.h"
#include "app/CTamsorApp.h"
#include "app/ConsoleFolders.h"
#include "common/TextParse.h"
#include "navigation/NavigationSource.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <cstdio>

namespace {

// The console's command line: its options, and the overrides of one run they give.
struct ConsoleOptions {
    QCommandLineOption settings{
        QStringList{QStringLiteral("settings")},
        QStringLiteral("Settings file to use instead of Vexar.INI beside the program."),
        QStringLiteral("path")};
    QCommandLineOption sonar{QStringList{QStringLiteral("sonar")},
                             QStringLiteral("Sonar head to use for this run instead of the settings' address "
                                            "and port (never saved)."),
                             QStringLiteral("addr[:port]")};
    QCommandLineOption navigation{
        QStringList{QStringLiteral("nav")},
        QStringLiteral("Live navigation source for this run instead of the settings' (never saved): "
                       "serial:PATH[,BAUD], gpsd, gpsd:HOST[:PORT] or none."),
        QStringLiteral("source")};

    void AddTo(QCommandLineParser& parser) const {
        parser.setApplicationDescription(
            QStringLiteral("Operator console of the 360-degree multibeam imaging sonar."));
        parser.addHelpOption();
        parser.addVersionOption();
        parser.addOption(settings);
        parser.addOption(sonar);
        parser.addPositionalArgument(QStringLiteral("FILE.R96"),
                                     QStringLiteral("A recording to play, as \"Playback...\" would."),
                                     QStringLiteral("[FILE.R96]"));
        parser.addOption(navigation);
    }

    /// Hands the run's overrides to the application; false (said on stderr) when one is wrong.
    bool ApplyOverrides(const QCommandLineParser& parser, vexar::CTamsorApp& app) const {
        if (parser.isSet(sonar)) {
            std::string host;
            std::uint16_t port = 0;
            if (!vexar::ParseHostAndPort(parser.value(sonar).toStdString(), host, port)) {
                std::fprintf(stderr, "vexar: --sonar wants ADDR or ADDR:PORT (port 1..65535)\n");
                return false;
            }
            app.SetSonarOverride(host, port);
        }
        if (parser.isSet(navigation)) {
            std::string error;
            const auto choice = vexar::ParseNavSource(parser.value(navigation).toStdString(), &error);
            if (!choice) {
                std::fprintf(stderr, "vexar: --nav: %s\n", error.c_str());
                return false;
            }
            app.SetNavigationOverride(*choice);
        }
        return true;
    }
};

} // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vexar"));
    QApplication::setApplicationVersion(QStringLiteral(VEXAR_VERSION));
    // The desktop entry the package installs: the desktop shows its name and icon for the windows.
    QApplication::setDesktopFileName(QStringLiteral(VEXAR_APP_ID));

    QCommandLineParser parser;
    const ConsoleOptions options;
    options.AddTo(parser);
    parser.process(application);
    if (parser.positionalArguments().size() > 1) {
        std::fprintf(stderr, "vexar: one recording at a time\n");
        return 2;
    }

    const QString programDir = QCoreApplication::applicationDirPath();
    const vexar::ConsoleFolders folders = vexar::ChooseConsoleFolders(
        programDir, parser.value(options.settings), QFileInfo(programDir).isWritable(),
        QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation),
        QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
    vexar::CTamsorApp app(folders.programFolder, folders.settingsPath);
    if (!options.ApplyOverrides(parser, app)) {
        return 2;
    }
    if (!app.Start()) {
        return 1;
    }
    if (!parser.positionalArguments().isEmpty()) {
        // A recording that cannot be played is refused with the command's message, and the
        // console goes on in real time.
        app.Document().OpenPlayback(
            QDir::current().absoluteFilePath(parser.positionalArguments().first()).toStdString());
    }
    const int result = QApplication::exec();
    app.Shutdown();
    return result;
}
