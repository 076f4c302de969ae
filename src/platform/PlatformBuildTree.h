#ifndef PLATFORMBUILDTREE_H
#define PLATFORMBUILDTREE_H

// Whether the application runs from a build tree rather than from an installed copy.
// Header-only so that the rules of every platform can be checked on any of them.

#include <QString>
#include <QtGlobal>

namespace LarkPlatform {

// Windows: installed programs never live in a folder named "bin", so any "bin" marks a build tree.
inline bool isBuildTreeWindowsRule(const QString& applicationDirPath)
{
    return applicationDirPath.contains(QLatin1String("bin"));
}

// Elsewhere every installed program lives in a "bin" folder (/usr/bin, /opt/app/bin): only the
// configuration folders of a build tree count, the layouts that the data folder lookup strips.
inline bool isBuildTreeUnixRule(const QString& applicationDirPath)
{
    return applicationDirPath.contains(QLatin1String("bin/debug"))
        || applicationDirPath.contains(QLatin1String("bin/release"));
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

} // namespace LarkPlatform

#endif // PLATFORMBUILDTREE_H
