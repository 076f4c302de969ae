#include "DirectorySynchronizer.h"

#include "DirectoryWatcher.h"
#include "FileKindPrivate.h"
#include "FileUtils.h"
#include "LarkLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

// ---------------------------------------------------------------------------------------------
// What the mirror may copy: a regular file of the source, reached without leaving it and not
// through a link into the destination. FIFOs, sockets and devices are never opened (a reader
// of a FIFO waits for a writer for good).

enum class SourceCheck { Copy, Missing, Special, Outside, IntoDestination };

// source and destination canonical. A folder is not special: its copy fails plainly.
SourceCheck checkSource(const QString& file, const QString& source, const QString& destination)
{
    const QString canonical = QFileInfo(file).canonicalFilePath();
    if (canonical.isEmpty())
        return SourceCheck::Missing;
    if (LarkFiles::isInside(canonical, destination))
        return SourceCheck::IntoDestination;
    if (!LarkFiles::isInside(canonical, source))
        return SourceCheck::Outside;
    return LarkFiles::isSpecial(LarkFiles::entryInfo(canonical).kind) ? SourceCheck::Special : SourceCheck::Copy;
}

// ---------------------------------------------------------------------------------------------

} // namespace

class DirectorySynchronizerPrivate
{
public:
    QString destinationPath(const QString& file) const;
    bool sourceIsIntact() const;

    QString mSource;
    QString mDestination;
    // Both folders with their links resolved, and the identity of the source at startWatcher:
    // nothing from outside the source, nor from inside the destination, is copied, and nothing
    // is done for a source that moved away.
    QString mCanonicalSource;
    QString mCanonicalDestination;
    LarkFiles::FolderIdentity mSourceIdentity;
    DirectoryWatcher* mWatcher = nullptr;
};

// False when the source is no longer the folder mirrored at startWatcher (moved away, removed,
// or another one made in its place): what is reported then comes from the tree that moved.
bool DirectorySynchronizerPrivate::sourceIsIntact() const
{
    return !mCanonicalSource.isEmpty() && LarkFiles::folderIdentity(mSource) == mSourceIdentity;
}

QString DirectorySynchronizerPrivate::destinationPath(const QString& file) const
{
    if (!file.startsWith(mSource))
        return QString();
    return mDestination + file.mid(mSource.length());
}

DirectorySynchronizer::DirectorySynchronizer(QObject* parent)
    : QObject(parent)
    , d(new DirectorySynchronizerPrivate)
{
    d->mWatcher = new DirectoryWatcher(this);
    connect(d->mWatcher, SIGNAL(deletedFile(QString)), this, SLOT(onFileDeleted(QString)));
    connect(d->mWatcher, SIGNAL(addedFiles(QString)), this, SLOT(onFileAddedOrModified(QString)));
    connect(d->mWatcher, SIGNAL(modifiedFile(QString)), this, SLOT(onFileAddedOrModified(QString)));
}

DirectorySynchronizer::~DirectorySynchronizer() = default;

bool DirectorySynchronizer::fullSync(const QString& source, const QString& destination)
{
    if (QFileInfo(source).isDir()) { // a missing source is told by the copy
        // A destination inside the source would be copied into itself again and again; a source
        // inside the destination would be removed with the destination's old content.
        const QString from = LarkFiles::resolvedPath(source);
        const QString to = LarkFiles::resolvedPath(destination);
        if (LarkFiles::isInside(to, from) || LarkFiles::isInside(from, to)) {
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
    d->mSource = QDir::cleanPath(source);
    d->mDestination = QDir::cleanPath(destination);
    d->mCanonicalSource.clear();
    if (!checkDirs())
        return false;
    if (!d->mWatcher->setPath(d->mSource)) {
        emit error(QStringLiteral("Watcher fail"));
        LARK_CRITICAL << "Watcher fail";
        return false;
    }
    return true;
}

bool DirectorySynchronizer::checkDirs()
{
    if (!QFileInfo(d->mSource).isDir()) {
        const QString text = d->mSource + QStringLiteral(" doesn't exist");
        emit error(text);
        LARK_CRITICAL << text;
        return false;
    }
    const QString canonicalSource = LarkFiles::resolvedPath(d->mSource);
    const QString canonicalDestination = LarkFiles::resolvedPath(d->mDestination);
    if (LarkFiles::isInside(canonicalDestination, canonicalSource)) {
        // Every copy would be a new file of the source, mirrored again below itself.
        const QString text = d->mDestination + QStringLiteral(" is inside ") + d->mSource;
        emit error(text);
        LARK_CRITICAL << text;
        return false;
    }
    d->mCanonicalSource = canonicalSource;
    d->mCanonicalDestination = canonicalDestination;
    d->mSourceIdentity = LarkFiles::folderIdentity(d->mSource);
    return true;
}

void DirectorySynchronizer::onFileAddedOrModified(const QString& file)
{
    if (!d->sourceIsIntact()) {
        LARK_WARNING << "source folder moved or replaced, change not mirrored :" << file;
        return;
    }
    switch (checkSource(file, d->mCanonicalSource, d->mCanonicalDestination)) {
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
    const QString destination = d->destinationPath(file);
    if (destination.isEmpty() || !FileUtils::fileMkPath(destination, nullptr)
        || !FileUtils::forceCopy(file, destination)) {
        emit error(QStringLiteral("unable to copy ") + file);
        return;
    }
    emit log(QStringLiteral("[MOD] %1").arg(destination));
}

void DirectorySynchronizer::onFileDeleted(const QString& file)
{
    if (!d->sourceIsIntact()) {
        LARK_WARNING << "source folder moved or replaced, removal not mirrored :" << file;
        return;
    }
    const QString destination = d->destinationPath(file);
    if (destination.isEmpty() || !QFile::remove(destination)) {
        emit error(QStringLiteral("unable to remove ") + destination);
        return;
    }
    emit log(QStringLiteral("[DEL] %1").arg(destination));
}
