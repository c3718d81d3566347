// vexar: the operator console of the 360-degree multibeam imaging sonar.

#include "acquisition/CTamsorDoc.h"
#include "app/CTamsorApp.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>

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
    parser.process(application);

    const QString folder = QDir(QCoreApplication::applicationDirPath()).absolutePath() + QLatin1Char('/');
    QString settingsPath;
    if (parser.isSet(settings)) {
        settingsPath = QDir::current().absoluteFilePath(parser.value(settings));
    }
    vexar::CTamsorApp app(folder, settingsPath);
    if (!app.Start()) {
        return 1;
    }
    const int result = QApplication::exec();
    app.Shutdown();
    return result;
}
