#ifndef PLATFORMBUILDTREE_H
#define PLATFORMBUILDTREE_H

// Whether the application runs from a build tree rather than from an installed copy.
// Header-only so that the rules of every platform can be checked on any of them.

#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace LarkPlatform {

// The folder names of a path, "/" and "\" both taken as separators ("C:", "Users", "Robin", ...).
inline QStringList pathComponents(const QString& path)
{
    static const QRegularExpression separators(QStringLiteral("[/\\\\]"));
    return path.split(separators, Qt::SkipEmptyParts);
}

// Whether the path holds the folder "bin" directly followed by "debug" or "release".
inline bool hasBuildConfigFolder(const QStringList& components)
{
    for (int i = 0; i + 1 < components.size(); ++i) {
        if (components.at(i) == QLatin1String("bin")
            && (components.at(i + 1) == QLatin1String("debug") || components.at(i + 1) == QLatin1String("release")))
            return true;
    }
    return false;
}

// Windows: installed programs never live in a folder named "bin", so a "bin" folder (the
// program's own or one of its parents) marks a build tree; "C:/Users/Robin" or "D:/Cabinet" do not.
inline bool isBuildTreeWindowsRule(const QString& applicationDirPath)
{
    return pathComponents(applicationDirPath).contains(QLatin1String("bin"));
}

// Elsewhere every installed program lives in a "bin" folder (/usr/bin, /opt/app/bin): only the
// configuration folders of a build tree count ("bin/debug", "bin/release"), the layouts that the
// data folder lookup strips.
inline bool isBuildTreeUnixRule(const QString& applicationDirPath)
{
    return hasBuildConfigFolder(pathComponents(applicationDirPath));
}

// The rule of the platform the library was built for.
inline bool isBuildTree(const QString& applicationDirPath)
{
#ifdef Q_OS_WIN
    return isBuildTreeWindowsRule(applicationDirPath);
#else
    return isBuildTreeUnixRule(applicationDirPath);
#endif
}

// The path without its "bin/debug" and "bin/release" folder pairs, so that a program built
// into its configuration folder finds the root of its source tree; a folder that only ends in
// "bin" ("cabin/debug") stays. The separators and the rest of the path are kept as they are.
inline QString withoutBuildConfigFolders(const QString& path)
{
    static const QRegularExpression pair(
        QStringLiteral("(^|[/\\\\])bin[/\\\\](?:debug|release)(?:[/\\\\]|$)"));
    QString result = path;
    for (;;) { // every pass removes one pair
        const QRegularExpressionMatch match = pair.match(result);
        if (!match.hasMatch())
            return result;
        result.remove(match.capturedStart() + match.capturedLength(1), match.capturedLength() - match.capturedLength(1));
    }
}

} // namespace LarkPlatform

#endif // PLATFORMBUILDTREE_H
