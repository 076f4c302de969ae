#ifndef EXIFPEER_H
#define EXIFPEER_H

// exiftool as a reference reader in the tests.

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonArray>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

namespace ExifPeer {

inline QString exiftool()
{
    return QStandardPaths::findExecutable("exiftool");
}

inline QByteArray run(const QStringList& arguments)
{
    QProcess process;
    process.start(exiftool(), arguments);
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished(1000);
        return QByteArray();
    }
    return process.readAllStandardOutput();
}

// Every tag exiftool reads, as "Group:Name" -> numeric value (-n), duplicates included.
inline QJsonObject tags(const QString& path)
{
    const QJsonArray array = QJsonDocument::fromJson(run({"-j", "-n", "-G1", "-a", "-b", path})).array();
    return array.isEmpty() ? QJsonObject() : array.first().toObject();
}

// The warnings and errors of exiftool's validation, one text each.
inline QStringList validationIssues(const QString& path)
{
    QStringList issues;
    const QString out = QString::fromUtf8(run({"-validate", "-warning", "-error", "-a", "-G1", "-s", path}));
    for (const QString& line : out.split('\n')) {
        if (line.startsWith("[ExifTool]") && !line.contains(" Validate ")) {
            const int colon = line.indexOf(':');
            issues << line.mid(colon + 1).trimmed();
        }
    }
    return issues;
}

} // namespace ExifPeer

#endif // EXIFPEER_H
