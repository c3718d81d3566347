#include "app/ConsoleFolders.h"

#include "config/SettingsFile.h"

#include <QDir>
#include <QFile>

namespace vexar {

namespace {
QString WithSeparator(const QString& dir) {
    return QDir(dir).absolutePath() + QLatin1Char('/');
}
} // namespace

ConsoleFolders ChooseConsoleFolders(const QString& programDir, const QString& settingsOption,
                                    bool programDirWritable, const QString& userConfigDir,
                                    const QString& userDocumentsDir) {
    ConsoleFolders folders{WithSeparator(programDir), {}};
    if (!settingsOption.isEmpty()) {
        folders.settingsPath = QDir::current().absoluteFilePath(settingsOption);
        return folders;
    }
    if (programDirWritable) {
        return folders;
    }
    const QString name = QString::fromLatin1(kSettingsFileName);
    QDir().mkpath(userConfigDir);
    folders.settingsPath = WithSeparator(userConfigDir) + name;
    if (!QFile::exists(folders.settingsPath) && QFile::exists(folders.programFolder + name)) {
        QFile::copy(folders.programFolder + name, folders.settingsPath);
        QFile(folders.settingsPath).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    }
    folders.programFolder = WithSeparator(userDocumentsDir);
    return folders;
}

} // namespace vexar
