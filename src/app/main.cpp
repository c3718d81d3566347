// vexar: the operator console of the 360-degree multibeam imaging sonar.

#include "acquisition/CTamsorDoc.h"
#include "app/CTamsorApp.h"
#include "common/TextParse.h"
#include "navigation/NavigationSource.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>

#include <cstdio>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vexar"));
    QApplication::setApplicationVersion(QString::fromLatin1(vexar::kVersionText));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Operator console of the 360-degree multibeam imaging sonar."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption settings(
        QStringList{QStringLiteral("settings")},
        QStringLiteral("Settings file to use instead of Vexar.INI beside the program."),
        QStringLiteral("path"));
    parser.addOption(settings);
    const QCommandLineOption sonar(
        QStringList{QStringLiteral("sonar")},
        QStringLiteral("Sonar head to use for this run instead of the settings' address and port "
                       "(never saved)."),
        QStringLiteral("addr[:port]"));
    parser.addOption(sonar);
    parser.addPositionalArgument(QStringLiteral("FILE.R96"),
                                 QStringLiteral("A recording to play, as \"Playback...\" would."),
                                 QStringLiteral("[FILE.R96]"));
    const QCommandLineOption navigation(
        QStringList{QStringLiteral("nav")},
        QStringLiteral("Live navigation source for this run instead of the settings' (never saved): "
                       "serial:PATH[,BAUD], gpsd, gpsd:HOST[:PORT] or none."),
        QStringLiteral("spec"));
    parser.addOption(navigation);
    parser.process(application);
    if (parser.positionalArguments().size() > 1) {
        std::fprintf(stderr, "vexar: one recording at a time\n");
        return 2;
    }

    const QString folder = QDir(QCoreApplication::applicationDirPath()).absolutePath() + QLatin1Char('/');
    QString settingsPath;
    if (parser.isSet(settings)) {
        settingsPath = QDir::current().absoluteFilePath(parser.value(settings));
    }
    vexar::CTamsorApp app(folder, settingsPath);
    if (parser.isSet(sonar)) {
        std::string host;
        std::uint16_t port = 0;
        if (!vexar::ParseHostAndPort(parser.value(sonar).toStdString(), host, port)) {
            std::fprintf(stderr, "vexar: --sonar wants ADDR or ADDR:PORT (port 1..65535)\n");
            return 2;
        }
        app.SetSonarOverride(host, port);
    }
    if (parser.isSet(navigation)) {
        std::string error;
        const auto spec = vexar::ParseNavSpec(parser.value(navigation).toStdString(), &error);
        if (!spec) {
            std::fprintf(stderr, "vexar: --nav: %s\n", error.c_str());
            return 2;
        }
        app.SetNavigationOverride(*spec);
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
