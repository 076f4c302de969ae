#include "DirectorySynchronizer.h"

#include "DirectoryWatcher.h"
#include "FileUtils.h"
#include "LarkLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {

// ---------------------------------------------------------------------------------------------
// What the mirror may copy: a regular file of the source, reached without leaving it and not
// through a link into the destination. FIFOs, sockets and devices are never opened (a reader
// of a FIFO waits for a writer for good).

enum class SourceCheck { Copy, Missing, Special, Outside, IntoDestination };

// Both paths canonical.
bool isInside(const QString& path, const QString& folder)
{
    if (folder == QLatin1String("/"))
        return path.startsWith(QLatin1Char('/'));
    return path.startsWith(folder) && (path.size() == folder.size() || path.at(folder.size()) == QLatin1Char('/'));
}

// The absolute path with every existing part resolved (links, ".."), also for a path that does
// not exist yet.
QString resolvedPath(const QString& path)
{
    QString existing = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    QString rest;
    while (true) {
        const QString canonical = QFileInfo(existing).canonicalFilePath();
        if (!canonical.isEmpty())
            return canonical == QLatin1String("/") && !rest.isEmpty() ? rest : canonical + rest;
        const int slash = existing.lastIndexOf(QLatin1Char('/'));
        if (slash <= 0)
            return existing + rest;
        rest = existing.mid(slash) + rest;
        existing = existing.left(slash);
    }
}

// Where the system tells it, the identity of a folder, which one made anew in its place does
// not share; 0 and 0 elsewhere.
bool folderIdentity(const QString& canonical, quint64& device, quint64& inode)
{
    device = inode = 0;
#ifdef Q_OS_UNIX
    struct stat st;
    if (::stat(QFile::encodeName(canonical).constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    device = quint64(st.st_dev);
    inode = quint64(st.st_ino);
    return true;
#else
    return QFileInfo(canonical).isDir();
#endif
}

// A FIFO, a socket or a device (links followed). A folder is none: its copy fails plainly.
bool isSpecialFile(const QString& canonical)
{
#ifdef Q_OS_UNIX
    struct stat st;
    return ::stat(QFile::encodeName(canonical).constData(), &st) == 0
        && (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode) || S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode));
#else
    const QFileInfo info(canonical);
    return info.exists() && !info.isFile() && !info.isDir();
#endif
}

SourceCheck checkSource(const QString& file, const QString& source, const QString& destination)
{
    const QString canonical = QFileInfo(file).canonicalFilePath();
    if (canonical.isEmpty())
        return SourceCheck::Missing;
    if (isInside(canonical, destination))
        return SourceCheck::IntoDestination;
    if (!isInside(canonical, source))
        return SourceCheck::Outside;
    return isSpecialFile(canonical) ? SourceCheck::Special : SourceCheck::Copy;
}

// ---------------------------------------------------------------------------------------------

} // namespace

DirectorySynchronizer::DirectorySynchronizer(QObject* parent)
    : QObject(parent)
    , mWatcher(new DirectoryWatcher(this))
{
    connect(mWatcher, SIGNAL(deletedFile(QString)), this, SLOT(onFileDeleted(QString)));
    connect(mWatcher, SIGNAL(addedFiles(QString)), this, SLOT(onFileAddedOrModified(QString)));
    connect(mWatcher, SIGNAL(modifiedFile(QString)), this, SLOT(onFileAddedOrModified(QString)));
}

DirectorySynchronizer::~DirectorySynchronizer() = default;

bool DirectorySynchronizer::fullSync(const QString& source, const QString& destination)
{
    if (QFileInfo(source).isDir()) { // a missing source is told by the copy
        // A destination inside the source would be copied into itself again and again; a source
        // inside the destination would be removed with the destination's old content.
        const QString from = resolvedPath(source);
        const QString to = resolvedPath(destination);
        if (isInside(to, from) || isInside(from, to)) {
            LARK_CRITICAL << "cannot mirror" << from << "into" << to << "(one folder holds the other)";
            LARK_CRITICAL << "FullSync fail";
            return false;
        }
    }
    if (!FileUtils::copyDir(source, destination, false)) {
        LARK_CRITICAL << "FullSync fail";
        return false;
    }
    return true;
}

bool DirectorySynchronizer::startWatcher(const QString& source, const QString& destination)
{
    mSource = QDir::cleanPath(source);
    mDestination = QDir::cleanPath(destination);
    mCanonicalSource.clear();
    if (!checkDirs())
        return false;
    if (!mWatcher->setPath(mSource)) {
        emit error(QStringLiteral("Watcher fail"));
        LARK_CRITICAL << "Watcher fail";
        return false;
    }
    return true;
}

bool DirectorySynchronizer::checkDirs()
{
    if (!QFileInfo(mSource).isDir()) {
        const QString text = mSource + QStringLiteral(" doesn't exist");
        emit error(text);
        LARK_CRITICAL << text;
        return false;
    }
    const QString canonicalSource = resolvedPath(mSource);
    const QString canonicalDestination = resolvedPath(mDestination);
    if (isInside(canonicalDestination, canonicalSource)) {
        // Every copy would be a new file of the source, mirrored again below itself.
        const QString text = mDestination + QStringLiteral(" is inside ") + mSource;
        emit error(text);
        LARK_CRITICAL << text;
        return false;
    }
    mCanonicalSource = canonicalSource;
    mCanonicalDestination = canonicalDestination;
    folderIdentity(mCanonicalSource, mSourceDevice, mSourceInode);
    return true;
}

// False when the source is no longer the folder mirrored at startWatcher (moved away, removed,
// or another one made in its place): what is reported then comes from the tree that moved.
bool DirectorySynchronizer::sourceIsIntact() const
{
    if (mCanonicalSource.isEmpty() || QFileInfo(mSource).canonicalFilePath() != mCanonicalSource)
        return false;
    quint64 device = 0;
    quint64 inode = 0;
    folderIdentity(mCanonicalSource, device, inode);
    return device == mSourceDevice && inode == mSourceInode;
}

QString DirectorySynchronizer::destinationPath(const QString& file) const
{
    if (!file.startsWith(mSource))
        return QString();
    return mDestination + file.mid(mSource.length());
}

void DirectorySynchronizer::onFileAddedOrModified(const QString& file)
{
    if (!sourceIsIntact()) {
        LARK_WARNING << "source folder moved or replaced, change not mirrored :" << file;
        return;
    }
    switch (checkSource(file, mCanonicalSource, mCanonicalDestination)) {
    case SourceCheck::Special:
        LARK_WARNING << "special file (FIFO, socket or device) not mirrored :" << file;
        return;
    case SourceCheck::Outside:
        LARK_WARNING << "link leading out of the source not followed :" << file;
        return;
    case SourceCheck::IntoDestination:
        LARK_WARNING << "link into the destination not followed :" << file;
        return;
    case SourceCheck::Copy:
    case SourceCheck::Missing: // gone meanwhile: the copy says so
        break;
    }
    const QString destination = destinationPath(file);
    if (destination.isEmpty() || !FileUtils::fileMkPath(destination, nullptr)
        || !FileUtils::forceCopy(file, destination)) {
        emit error(QStringLiteral("unable to copy ") + file);
        return;
    }
    emit log(QStringLiteral("[MOD] %1").arg(destination));
}

void DirectorySynchronizer::onFileDeleted(const QString& file)
{
    if (!sourceIsIntact()) {
        LARK_WARNING << "source folder moved or replaced, removal not mirrored :" << file;
        return;
    }
    const QString destination = destinationPath(file);
    if (destination.isEmpty() || !QFile::remove(destination)) {
        emit error(QStringLiteral("unable to remove ") + destination);
        return;
    }
    emit log(QStringLiteral("[DEL] %1").arg(destination));
}
