#include "app/ConsoleFolders.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace vexar {
namespace {

QString Read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()) : QString();
}

void Write(const QString& path, const char* text) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

// A console that may write beside itself keeps its settings there; an installed one keeps them in
// the user's folder, started once from the file beside the program and never overwritten by it,
// and puts its files in the user's documents; --settings wins over both.
TEST(ConsoleFolders, InstalledConsoleKeepsItsSettingsInTheUsersFolder) {
    QTemporaryDir root;
    const QString program = root.filePath(QStringLiteral("bin"));
    const QString config = root.filePath(QStringLiteral("config/vexar"));
    const QString documents = root.filePath(QStringLiteral("Documents"));
    QDir().mkpath(program);
    Write(program + QStringLiteral("/Vexar.INI"), "[System]\nIPAddress_Sonar1=127.0.0.1\n");

    const ConsoleFolders beside = ChooseConsoleFolders(program, {}, true, config, documents);
    EXPECT_EQ(beside.programFolder, program + QLatin1Char('/'));
    EXPECT_TRUE(beside.settingsPath.isEmpty());

    const ConsoleFolders installed = ChooseConsoleFolders(program, {}, false, config, documents);
    EXPECT_EQ(installed.settingsPath, config + QStringLiteral("/Vexar.INI"));
    EXPECT_EQ(installed.programFolder, documents + QLatin1Char('/'));
    EXPECT_EQ(Read(installed.settingsPath), QStringLiteral("[System]\nIPAddress_Sonar1=127.0.0.1\n"));
    Write(installed.settingsPath, "[System]\nIPAddress_Sonar1=127.0.0.1\nUnit=1\n");
    ChooseConsoleFolders(program, {}, false, config, documents);
    EXPECT_EQ(Read(installed.settingsPath), QStringLiteral("[System]\nIPAddress_Sonar1=127.0.0.1\nUnit=1\n"));

    const QString given = root.filePath(QStringLiteral("mine.INI"));
    EXPECT_EQ(ChooseConsoleFolders(program, given, false, config, documents).settingsPath, given);
}

} // namespace
} // namespace vexar
