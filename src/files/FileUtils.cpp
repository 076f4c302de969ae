#include "FileUtils.h"

#include "ApplicationUtils.h"
#include "FileKindPrivate.h"
#include "LarkLog.h"
#include "StringUtils.h"
#include "platform/PlatformFiles.h"
#include "platform/PlatformWalk.h"

#include <QApplication>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLocale>
#include <QRegExp>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTemporaryFile>
#include <QThread>
#include <QVector>

#include <climits>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QRandomGenerator>
#endif

namespace {

void setErrorPrivate(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

const QRegularExpression& forbiddenCharactersPrivate()
{
    static const QRegularExpression re(QStringLiteral("[/\\\\|?<>\":*]"));
    return re;
}

// "/" or a drive root such as "C:/", also when reached through a link or "..".
bool isFilesystemRootPrivate(const QString& path)
{
    static const QRegularExpression drive(QStringLiteral("^[A-Za-z]:/?$"));
    const QString clean = QDir::cleanPath(path);
    if (clean == QLatin1String("/") || drive.match(clean).hasMatch())
        return true;
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical == QLatin1String("/") || (!canonical.isEmpty() && drive.match(canonical).hasMatch());
}

// Folders being walked on this thread, one stack per walking function: a folder reached again
// through a symbolic link (same canonical path) is a loop and is not walked a second time.
struct WalkedFolder
{
    QString path;       // as given, without trailing "/"
    QString canonical;  // links and ".." resolved
};
using WalkStack = QVector<WalkedFolder>;

class WalkScope
{
public:
    WalkScope(WalkStack& stack, const QString& folder)
        : mStack(stack)
    {
        QString path = folder;
        while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
            path.chop(1);
        mTop = mStack.isEmpty();
        const QString canonical = canonicalPrivate(path);
        mLoop = canonical.isEmpty();
        for (const WalkedFolder& walked : qAsConst(mStack))
            mLoop = mLoop || walked.canonical == canonical;
        if (!mLoop)
            mStack.append({path, canonical});
    }
    ~WalkScope()
    {
        if (!mLoop)
            mStack.removeLast();
    }
    WalkScope(const WalkScope&) = delete;
    WalkScope& operator=(const WalkScope&) = delete;

    bool isLoop() const { return mLoop; }
    bool isTop() const { return mTop; }

private:
    // A sub-folder of the folder walked last that is no link shares its canonical path: one
    // lstat instead of resolving the whole path again.
    QString canonicalPrivate(const QString& path) const
    {
        if (!mStack.isEmpty()) {
            const WalkedFolder& parent = mStack.last();
            const int length = parent.path.size();
            if (path.size() > length + 1 && path.startsWith(parent.path) && path.at(length) == QLatin1Char('/')
                && path.indexOf(QLatin1Char('/'), length + 1) < 0 && !QFileInfo(path).isSymLink()) {
                const QString name = path.mid(length + 1);
                if (name != QLatin1String(".") && name != QLatin1String("..")) {
                    return parent.canonical == QLatin1String("/") ? parent.canonical + name
                                                                   : parent.canonical + QLatin1Char('/') + name;
                }
            }
        }
        return QFileInfo(path).canonicalFilePath();
    }

    WalkStack& mStack;
    bool mLoop = false;
    bool mTop = false;
};

thread_local WalkStack tCopyDirStack;
// The source and destination of the copy being walked on this thread, resolved.
struct CopyDirBounds
{
    QString source;
    QString destination;
};
thread_local CopyDirBounds tCopyDirBounds;

const QDir::SortFlags NAME_ORDER = QDir::Name | QDir::IgnoreCase;

// Appends the files of a walked tree as prefix + their path below it.
class ListFilesVisitor : public LarkPlatform::WalkVisitor
{
public:
    ListFilesVisitor(QStringList& files, bool recursive, QRegExp* folderFilter, const QString& prefix)
        : mFiles(files)
        , mRecursive(recursive)
        , mFolderFilter(folderFilter)
    {
        mPrefixes.append(prefix);
    }
    bool visit(const LarkPlatform::WalkEntry& entry) override
    {
        const QString& prefix = mPrefixes.last();
        if (entry.isFolder) {
            if (!mRecursive)
                return false;
            const QString name = entry.name();
            if (mFolderFilter && !mFolderFilter->exactMatch(name))
                return false;
            QString folderPrefix;
            folderPrefix.reserve(prefix.size() + name.size() + 1);
            folderPrefix.append(prefix).append(name).append(QLatin1Char('/'));
            mPrefixes.append(folderPrefix);
            return true;
        }
        QString file;
        file.reserve(prefix.size() + entry.rawSize());
        file.append(prefix);
        entry.appendNameTo(file);
        mFiles.append(file);
        ++mCount;
        return false;
    }
    void leave() override { mPrefixes.removeLast(); }
    int count() const { return mCount; }

private:
    QStringList& mFiles;
    const bool mRecursive;
    QRegExp* const mFolderFilter;
    QVector<QString> mPrefixes;  // of the folders being walked
    int mCount = 0;
};

int listFilesPrivate(QString path, QStringList& files, bool recursive, QRegExp* folderFilter, QString prefix,
                     bool oldStyle)
{
    if (path.isEmpty()) {
        if (!oldStyle)
            return 0;
        path = QStringLiteral(".");
    }
    if ((oldStyle || !prefix.isEmpty()) && !prefix.endsWith(QLatin1Char('/')))
        prefix += QLatin1Char('/');
    ListFilesVisitor visitor(files, recursive, folderFilter, prefix);
    LarkPlatform::walkTree(path, LarkPlatform::WalkOptions(), visitor);
    return visitor.count();
}

// Appends the absolute path of every folder of a walked tree.
class ListFoldersVisitor : public LarkPlatform::WalkVisitor
{
public:
    ListFoldersVisitor(QStringList& folders, bool recursive, const QString& top)
        : mFolders(folders)
        , mRecursive(recursive)
    {
        mPaths.append(top == QLatin1String("/") ? QString() : top);
    }
    bool visit(const LarkPlatform::WalkEntry& entry) override
    {
        if (!entry.isFolder)
            return false;
        const QString& parent = mPaths.last();
        QString folder;
        folder.reserve(parent.size() + entry.rawSize() + 1);
        folder.append(parent).append(QLatin1Char('/'));
        entry.appendNameTo(folder);
        mFolders.append(folder);
        if (mRecursive)
            mPaths.append(folder);
        return mRecursive;
    }
    void leave() override { mPaths.removeLast(); }

private:
    QStringList& mFolders;
    const bool mRecursive;
    QVector<QString> mPaths;  // of the folders being walked
};

// Adds up the files of a walked tree.
class FolderSizeVisitor : public LarkPlatform::WalkVisitor
{
public:
    bool visit(const LarkPlatform::WalkEntry& entry) override
    {
        if (entry.isFolder)
            return true;
        if (entry.nameEqualsIgnoringCase(QStringLiteral(".DS_Store")))
            return false;
        mTotal += quint64(entry.size);
        ++mFiles;
        if (mFiles == 1 || entry.modifiedMs > mNewestMs)
            mNewestMs = entry.modifiedMs;
        return false;
    }
    quint64 total() const { return mTotal; }
    int files() const { return mFiles; }
    qint64 newestMs() const { return mNewestMs; }

private:
    quint64 mTotal = 0;
    int mFiles = 0;
    qint64 mNewestMs = 0;
};

// Feeds the whole file to hash in large pieces; false, with the hash back at empty input, when
// it cannot be opened or read to the end (the digest of part of a file is no digest of it).
bool hashFilePrivate(const QString& path, QCryptographicHash& hash, QString& reason)
{
    QFile file;
    if (!LarkFiles::openRegularFile(file, path, &reason))
        return false;
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    qint64 n = 0;
    while ((n = LarkFiles::readSome(file, buffer.data(), buffer.size())) > 0)
        hash.addData(QByteArray::fromRawData(buffer.constData(), int(n)));
    if (n < 0) {
        reason = LarkFiles::lastErrorText();
        hash.reset();
        return false;
    }
    return true;
}

// The hidden temporary name beside destination that a copy is written to: a short part of the
// name keeps it within the file system's name limit whatever the length of the name.
QString copyTemplatePrivate(const QFileInfo& destination)
{
    const int KEPT = 32;
    QString stem = destination.fileName();
    if (stem.size() > KEPT)
        stem.truncate(stem.at(KEPT - 1).isHighSurrogate() ? KEPT - 1 : KEPT);
    return destination.absolutePath() + QStringLiteral("/.") + stem + QStringLiteral(".XXXXXX");
}

// Longest name most file systems accept, in bytes.
const int NAME_LIMIT = 255;

// A new hidden file beside a destination (short name, see copyTemplatePrivate), renamed over the
// destination once complete; removed when it is not. In a folder that the caller has just made,
// nobody can see a half-written file nor lose an old one: there (inPlace) the destination itself
// is created, and removed unless complete, which spares a rename per file.
class TemporaryBesidePrivate
{
public:
    explicit TemporaryBesidePrivate(const QFileInfo& destination, bool inPlace = false)
        : mPattern(copyTemplatePrivate(destination))
#ifdef Q_OS_UNIX
        , mDestination(inPlace ? QFile::encodeName(destination.absoluteFilePath()) : QByteArray())
#else

        , mFile(mPattern)
#endif
    {
    }
    ~TemporaryBesidePrivate()
    {
#ifdef Q_OS_UNIX
        if (mFd >= 0)
            ::close(mFd);
        if (!mName.isEmpty() && !mRenamed)
            ::unlink(mName.constData());
#endif
    }
    TemporaryBesidePrivate(const TemporaryBesidePrivate&) = delete;
    TemporaryBesidePrivate& operator=(const TemporaryBesidePrivate&) = delete;

#ifdef Q_OS_UNIX
    // Created with O_EXCL under a random name: an unnamed O_TMPFILE linked in afterwards (what
    // QTemporaryFile does) costs several times more per file.
    bool open()
    {
        if (!mDestination.isEmpty()) {
            mFd = ::open(mDestination.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mCreateMode);
            if (mFd >= 0) {
                mName = mDestination;
                return true;
            }
            mDestination.clear(); // taken after all (a name differing only in case, say): beside it
        }
        static const char LETTERS[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
        for (int attempt = 0; attempt < 100; ++attempt) {
            QByteArray name = QFile::encodeName(mPattern);
            for (int i = name.size() - 6; i < name.size(); ++i)
                name[i] = LETTERS[QRandomGenerator::global()->bounded(int(sizeof LETTERS) - 1)];
            mFd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mCreateMode);
            if (mFd >= 0) {
                mName = name;
                return true;
            }
            if (errno != EEXIST)
                break;
        }
        mError = LarkFiles::lastErrorText();
        return false;
    }
    bool write(const char* data, qint64 size)
    {
        for (qint64 done = 0; done < size;) {
            const ssize_t n = ::write(mFd, data + done, size_t(size - done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                mError = n < 0 ? LarkFiles::lastErrorText() : QStringLiteral("nothing written");
                return false;
            }
            done += n;
        }
        return true;
    }
    // The permission bits of the file at path (no set-user-ID and the like).
    void copyPermissionsOf(const QString& path)
    {
        struct stat st;
        if (::stat(QFile::encodeName(path).constData(), &st) == 0)
            ::fchmod(mFd, st.st_mode & 0777);
    }
    // Before open(): the file is created with the permission bits of the open file, so that
    // copyPermissionsOf(file) rarely has anything left to change (only what the umask took).
    void createLike(const QFile& file)
    {
        struct stat st;
        if (::fstat(file.handle(), &st) == 0)
            mCreateMode = st.st_mode & 0777;
    }
    // The same for an open file.
    void copyPermissionsOf(const QFile& file)
    {
        struct stat st;
        struct stat own;
        if (::fstat(file.handle(), &st) == 0
            && (::fstat(mFd, &own) != 0 || (own.st_mode & 0777) != (st.st_mode & 0777)))
            ::fchmod(mFd, st.st_mode & 0777);
    }
    bool close()
    {
        const int fd = mFd;
        mFd = -1;
        if (::close(fd) == 0)
            return true;
        mError = LarkFiles::lastErrorText();
        return false;
    }
    bool renameOver(const QString& destination)
    {
        mRenamed = !mDestination.isEmpty()
            || ::rename(mName.constData(), QFile::encodeName(destination).constData()) == 0;
        return mRenamed;
    }
#else
    bool open() { return mFile.open() || (mError = mFile.errorString(), false); }
    bool write(const char* data, qint64 size)
    {
        return mFile.write(data, size) == size || (mError = mFile.errorString(), false);
    }
    void copyPermissionsOf(const QString& path) { mFile.setPermissions(QFile::permissions(path)); }
    void createLike(const QFile&) {}
    void copyPermissionsOf(const QFile& file) { mFile.setPermissions(file.permissions()); }
    bool close()
    {
        const bool ok = mFile.flush();
        mFile.close();
        return (ok && mFile.error() == QFileDevice::NoError) || (mError = mFile.errorString(), false);
    }
    bool renameOver(const QString& destination)
    {
        if (!LarkPlatform::renameReplacing(mFile.fileName(), destination))
            return false;
        mFile.setAutoRemove(false);
        return true;
    }
#endif
    QString errorText() const { return mError; }

private:
    QString mPattern;
    QString mError;
#ifdef Q_OS_UNIX
    QByteArray mDestination; // written in place
    mode_t mCreateMode = 0666; // as for any new file (the umask applies)
    int mFd = -1;
    QByteArray mName;
    bool mRenamed = false;
#else
    QTemporaryFile mFile;
#endif
};

// QSaveFile names its temporary file after the whole name plus 7 characters, which the file
// system refuses for names near its limit. Such files are written the same way, beside the file
// under a short hidden name, then renamed over it. opened tells whether writing could start.
bool saveUnderShortNamePrivate(const QString& target, const QByteArray& data, bool& opened)
{
    opened = false;
    const QFileInfo info(target);
    if (info.isDir() || (info.exists() && !info.isWritable()))
        return false;
    TemporaryBesidePrivate file(info);
    if (!file.open())
        return false;
    opened = true;
    if (info.exists())
        file.copyPermissionsOf(target);  // an existing file keeps its permissions
    return file.write(data.constData(), data.size()) && file.close() && file.renameOver(target);
}

} // namespace

QString FileUtils::tr(const char* sourceText, const char* disambiguation, int n)
{
    return QCoreApplication::translate("FileUtils", sourceText, disambiguation, n);
}

QString FileUtils::trUtf8(const char* sourceText, const char* disambiguation, int n)
{
    return tr(sourceText, disambiguation, n);
}

// ---------------------------------------------------------------------------------------------
// One file

QByteArray FileUtils::readFileContent(const QString& path, bool logError)
{
    if (path.isEmpty())
        return QByteArray();
    // Only regular files are opened: a FIFO or a device would block or never end.
    QFile file;
    QString reason;
    if (!LarkFiles::openRegularFile(file, path, &reason)) {
        if (logError)
            LARK_DEBUG << "FileUtils::readFileContent error : " << path << " ne peut etre ouvert !" << reason;
        return QByteArray();
    }
    QByteArray content;
    if (!LarkFiles::readAll(file, content, &reason)) {  // part of a file is no content
        if (logError)
            LARK_WARNING << "cannot read file " << path << reason;
        return QByteArray();
    }
    return content;
}

bool FileUtils::writeFileContent(const QString& path, const QByteArray& data, QString* error)
{
    if (path.isEmpty())
        return false;
    if (!fileMkPath(path, error))
        return false;

    // A link is written through, as a direct write would: the link stays, its target changes.
    QString target = path;
    const QFileInfo info(path);
    if (info.isSymLink()) {
        const QString canonical = info.canonicalFilePath();
        target = canonical.isEmpty() ? info.symLinkTarget() : canonical;
    }

    // Written beside the file and renamed over it only once complete: a failed write leaves the
    // previous content intact.
    if (QFile::encodeName(QFileInfo(target).fileName()).size() > NAME_LIMIT - 7) {
        bool opened = false;
        if (saveUnderShortNamePrivate(target, data, opened))
            return true;
        setErrorPrivate(error, opened ? tr("Cannot write datas (WriteOnly) in %1").arg(path)
                                      : tr("Cannot open (WriteOnly) %1").arg(path));
        LARK_WARNING << "cannot open file " << path;
        return false;
    }
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly)) {
        setErrorPrivate(error, tr("Cannot open (WriteOnly) %1").arg(path));
        LARK_WARNING << "cannot open file " << path;
        return false;
    }
    bool written = true;
    if (!data.isEmpty()) {
        // flush() before commit(): commit() does not report an error of its own final flush.
        written = file.write(data) == data.size() && file.flush() && file.error() == QFileDevice::NoError;
    }
    if (!written)
        file.cancelWriting();  // the temporary file is dropped, the old content stays
    if (!written || !file.commit()) {
        setErrorPrivate(error, tr("Cannot write datas (WriteOnly) in %1").arg(path));
        LARK_WARNING << "cannot open file " << path;
        return false;
    }
    return true;
}

bool FileUtils::fileMkPath(const QString& filePath, QString* error)
{
    const QDir folder = QFileInfo(filePath).dir();
    // One look first: most folders exist already (a copy writes many files into each).
    if (folder.exists() || (folder.mkpath(QStringLiteral(".")) && folder.exists()))
        return true;
    setErrorPrivate(error, QStringLiteral("(fileMkPath) Cant create folder '%1' !").arg(folder.absolutePath()));
    return false;
}

bool FileUtils::old::forceDirectoryCreationForAFile(const QString& filePath, QString* error)
{
    const int last = filePath.lastIndexOf(QLatin1Char('/'));
    const QString folder = last >= 0 ? filePath.left(last + 1) : filePath;
    if (QDir(folder).exists())
        return true;

    bool ok = true;
    for (int slash = folder.indexOf(QLatin1Char('/')); slash >= 0;
         slash = folder.indexOf(QLatin1Char('/'), slash + 1)) {
        const QString prefix = folder.left(slash);
        if (prefix.isEmpty() || QDir(prefix).exists())
            continue;
        if (!QDir().mkdir(prefix)) {
            ok = false;
            const QString text = QStringLiteral("Mkdir fail on \"%1\"").arg(prefix);
            setErrorPrivate(error, text);
            LARK_WARNING << text;
        }
    }
    if (!ok) {
        const QString text = QStringLiteral("The folder '") + folder + QStringLiteral("' cannot be created!");
        setErrorPrivate(error, text);
        LARK_WARNING << text;
    }
    return ok;
}

bool FileUtils::folderExists(const QString& path)
{
    if (path.trimmed().isEmpty())
        return false;
    return QFileInfo(QDir::cleanPath(path)).isDir();
}

bool FileUtils::checkWritingRightInFolder(const QString& folder, const QString& folderLabel, QString* error)
{
    QString p = QDir::cleanPath(folder);
    if (p.isEmpty()) {
        setErrorPrivate(error, QStringLiteral("Folder is not valid ! (empty)"));
        return false;
    }
    if (!p.endsWith(QLatin1Char('/')))
        p += QLatin1Char('/');
    const QString testFile = p + QStringLiteral("check_write");
    QString writeError;
    if (writeFileContent(testFile, QByteArrayLiteral("data_test"), &writeError)) {
        QFile::remove(testFile);
        return true;
    }
    if (error) {
        *error = folderLabel.isEmpty() ? writeError : tr("Cant write in %1 error=%2").arg(folderLabel, writeError);
        *error += QLatin1Char('\n') + tr("Win10 : ransomware blocking alert");
    }
    return false;
}

QString FileUtils::labelWorkingFolderBlocked(const QString& folder, const QString& documentationUrl)
{
    const QString link = QStringLiteral("<a href='%1'>%2</a>").arg(documentationUrl, tr("Documentation"));
    QString text = tr("Your working folder %1 seem not accessible en write, change it or consult %2").arg(folder, link);
    text.replace(QLatin1String("\n"), QLatin1String("<br>"));
    return text;
}

namespace {

// forceCopy; intoNewFolder when the destination's folder was made by the caller just now.
bool copyFilePrivate(const QString& source, const QString& destination, bool intoNewFolder)
{
    if (!QFile::exists(source)) {
        LARK_LOG_AS(Logwell::LogWarning, "FileUtils::forceCopy") << source << " est introuvable !! (forceCopy)";
        return false;
    }
    const QFileInfo destinationInfo(destination);
    if (destinationInfo.isDir() && !destinationInfo.isSymLink()) {
        LARK_LOG_AS(Logwell::LogWarning, "FileUtils::forceCopy") << "FileUtils::forceCopy can't remove " << destination;
        return false;
    }
    FileUtils::fileMkPath(destination, nullptr);

    // The copy goes to a hidden file beside the destination, which replaces the old one only
    // once complete: a failed copy (full disk, read error) leaves the destination as it was.
    QFile in;
    QString reason;
    auto failed = [&](QFileDevice::FileError code) {
        LARK_LOG_AS(Logwell::LogWarning, "FileUtils::forceCopy") << "FileUtils::forceCopy can't copy" << source << destination << " error=" << int(code)
                     << reason;
        return false;
    };
    // Only a regular file is read: a FIFO, a socket or a device is refused without being opened.
    if (!LarkFiles::openRegularFile(in, source, &reason))
        return failed(QFileDevice::OpenError);
    TemporaryBesidePrivate out(destinationInfo, intoNewFolder);
    out.createLike(in);
    if (!out.open()) {
        if (destinationInfo.exists()) {  // nothing can be created beside it: it cannot be replaced
            LARK_LOG_AS(Logwell::LogWarning, "FileUtils::forceCopy") << "FileUtils::forceCopy can't remove " << destination;
            return false;
        }
        reason = out.errorText();
        return failed(QFileDevice::OpenError);
    }
    QByteArray buffer(64 * 1024, Qt::Uninitialized);
    qint64 n = 0;
    while ((n = LarkFiles::readSome(in, buffer.data(), buffer.size())) > 0) {
        if (!out.write(buffer.constData(), n)) {
            reason = out.errorText();
            return failed(QFileDevice::WriteError);
        }
    }
    if (n < 0) {
        reason = LarkFiles::lastErrorText();
        return failed(QFileDevice::ReadError);
    }
    out.copyPermissionsOf(in);
    if (!out.close()) {
        reason = out.errorText();
        return failed(QFileDevice::WriteError);
    }
    if (!out.renameOver(destination)) {
        if (QFileInfo(destination).exists() || QFileInfo(destination).isSymLink()) {
            LARK_LOG_AS(Logwell::LogWarning, "FileUtils::forceCopy") << "FileUtils::forceCopy can't remove " << destination;
            return false;
        }
        return failed(QFileDevice::RenameError);
    }
    return true;
}

} // namespace

bool FileUtils::forceCopy(const QString& source, const QString& destination)
{
    return copyFilePrivate(source, destination, false);
}

int FileUtils::segmentedCopy(QIODevice& source, QIODevice& destination, int chunkSize)
{
    if (chunkSize <= 0) {
        LARK_CRITICAL << "chunk size must be positive:" << chunkSize;
        return 0;
    }
    if (!source.isReadable() || !destination.isWritable()) {
        LARK_CRITICAL << "devices must be open, the source for reading, the destination for writing";
        return 0;
    }
    // Only what reached the destination counts: a read or write error ends the copy.
    qint64 total = 0;
    qint64 available = source.bytesAvailable();
    QByteArray piece;
    while (available > 0) {
        piece.resize(int(qMin<qint64>(available, chunkSize)));
        const qint64 got = source.read(piece.data(), piece.size());
        if (got < 0) {
            LARK_WARNING << "cannot read from the source:" << source.errorString();
            break;
        }
        if (got == 0)
            break;
        const qint64 written = destination.write(piece.constData(), got);
        if (written > 0)
            total += written;
        if (written != got) {
            LARK_WARNING << "cannot write to the destination:" << destination.errorString();
            break;
        }
        available = source.bytesAvailable();
    }
    return int(qMin<qint64>(total, INT_MAX));
}

bool FileUtils::replaceInFile(const QString& path, const QString& before, const QString& after)
{
    if (before.isEmpty()) {
        LARK_CRITICAL << "nothing to replace (empty text) in" << path;
        return false;
    }
    QString text = QString::fromUtf8(readFileContent(path, false));
    if (text.isEmpty())
        return false;
    text.replace(before, after, Qt::CaseSensitive);
    return writeFileContent(path, text.toUtf8(), nullptr);
}

QString FileUtils::md5(const QString& path)
{
    QCryptographicHash hash(QCryptographicHash::Md5);
    QString reason;
    if (!hashFilePrivate(path, hash, reason))
        LARK_WARNING << "cannot read file " << path << reason;
    return StringUtils::byteArrayToString(hash.result(), 16);
}

QString FileUtils::sha1(const QString& path)
{
    QCryptographicHash hash(QCryptographicHash::Sha1);
    QString reason;
    if (!hashFilePrivate(path, hash, reason))
        LARK_WARNING << "cannot read file " << path << reason;
    return StringUtils::byteArrayToString(hash.result(), 16);
}

void FileUtils::setFileHiddenOnWindows(const QString& path)
{
    LarkPlatform::setFileHidden(path);
}

QIcon FileUtils::iconFromFilename(const QString& fileName)
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())
        || QThread::currentThread() != QCoreApplication::instance()->thread()) {
        LARK_CRITICAL << "needs the running QApplication and its thread";
        return QIcon();
    }
    const QString sample = ApplicationUtils::pathDatas() + QStringLiteral("suffix_icons/") + QStringLiteral("file.")
        + QFileInfo(fileName).suffix().toLower();
    QFileIconProvider provider;
    if (QFileInfo::exists(sample))
        return provider.icon(QFileInfo(sample));
    return provider.icon(QFileInfo(fileName));
}

// ---------------------------------------------------------------------------------------------
// Names

bool FileUtils::checkNameFileValidity(const QString& name)
{
    return !name.contains(forbiddenCharactersPrivate());
}

QString FileUtils::fixNameFileValidity(const QString& name)
{
    QString fixed = name;
    fixed.replace(forbiddenCharactersPrivate(), QStringLiteral("_"));
    return fixed;
}

QString FileUtils::normalizeFilename(const QString& name)
{
    QString normalized = name.normalized(QString::NormalizationForm_D).simplified().trimmed();
    // After simplified() every white space is " ", so \s needs no Unicode classes.
    static const QRegularExpression unwanted(QStringLiteral("[^a-zA-Z0-9()\\s\\-\\_\\.]"));
    normalized.remove(unwanted);
    return normalized;
}

QString FileUtils::regExpFilename()
{
    return QStringLiteral("[\\w()\\s\\-\\_]+");
}

QString FileUtils::fileSizeToString(qint64 size)
{
    const bool french = QLocale().name().left(2) == QLatin1String("fr");
    if (size <= 1024) {
        if (size == 0)
            return french ? QStringLiteral("0 Ko") : QStringLiteral("0 kB");
        return QString::number(size) + QLatin1Char(' ') + (french ? QStringLiteral("octets") : QStringLiteral("B"));
    }
    float value = float(double(size));
    QString unit;
    if (size <= 1048576) {
        value *= 1.0f / 1024.0f;
        unit = french ? QStringLiteral("Ko") : QStringLiteral("kB");
    } else if (size <= 1073741824) {
        value *= 1.0f / 1048576.0f;
        unit = french ? QStringLiteral("Mo") : QStringLiteral("MB");
    } else {
        value *= 1.0f / 1073741824.0f;
        unit = french ? QStringLiteral("Go") : QStringLiteral("GB");
    }
    return QString::number(double(value), 'f', 0) + QLatin1Char(' ') + unit;
}

QString FileUtils::elidedFolder(const QFontMetrics& metrics, QString& path, int width)
{
    const QString elided = metrics.elidedText(path, Qt::ElideLeft, width);
    QString result = elided;
    const int slash = result.indexOf(QLatin1Char('/'));
    if (!result.startsWith(QLatin1Char('/')) && slash >= 0)
        result = QStringLiteral("...") + result.mid(slash);
    return result == QLatin1String(".../") ? elided : result;
}

// ---------------------------------------------------------------------------------------------
// Folder trees

bool FileUtils::copyDir(const QString& source, const QString& destination, bool merge)
{
    const QDir sourceDir(source);
    if (!sourceDir.exists()) {
        LARK_CRITICAL << sourceDir.absolutePath() << "Doesnt exists";
        return false;
    }
    const WalkScope scope(tCopyDirStack, source);
    if (scope.isLoop()) {
        LARK_WARNING << "symbolic link loop not followed" << sourceDir.absolutePath();
        return true;
    }
    if (scope.isTop()) {
        // A destination inside the source would grow while it is copied; a source inside a
        // destination that is replaced would be removed before it is read.
        const QString from = LarkFiles::resolvedPath(source);
        QString to = LarkFiles::resolvedPath(destination);
        const QFileInfo destinationInfo(destination);
        if (!merge && destinationInfo.isSymLink()) {
            // The link is replaced by a folder of its own: the copy lands where the link is.
            to = LarkFiles::resolvedPath(destinationInfo.absolutePath()) + QLatin1Char('/') + destinationInfo.fileName();
        }
        if (LarkFiles::isInside(to, from) || (!merge && LarkFiles::isInside(from, to))) {
            LARK_CRITICAL << "cannot copy" << from << "into" << to << "(one holds the other)";
            return false;
        }
        tCopyDirBounds = {from, to};
    }
    const CopyDirBounds bounds = tCopyDirBounds;

    QDir destinationDir(destination);
    bool newFolder = !destinationDir.exists();
    if (!merge && !newFolder) {
        const QFileInfo info(destination);
        bool removed = false;
        if (info.isSymLink())
            removed = QFile::remove(destination);  // the link, never the folder it points to
        else if (!isFilesystemRootPrivate(destination))
            removed = LarkFiles::removeEntry(destination);  // every kind of entry, odd names included
        if (!removed) {
            LARK_WARNING << "unable to removeRecursively" << destinationDir.absolutePath();
            return false;
        }
        newFolder = true;
    }
    if (!destinationDir.exists() && !destinationDir.mkpath(QStringLiteral("."))) {
        LARK_WARNING << "unable to mkdir" << destinationDir.absolutePath();
        return false;
    }

    const QString sourcePath = sourceDir.absolutePath();
    const QString destinationPath = destinationDir.absolutePath();
    const LarkFiles::FolderListing listing = LarkFiles::listFolder(sourcePath, true);
    bool complete = listing.ok;
    if (!listing.ok)
        LARK_WARNING << "cannot read folder" << sourcePath;
    if (!listing.unrepresentable.isEmpty()) {
        // No path string reaches them: say so rather than leave them out unseen.
        LARK_WARNING << "names that cannot be represented, not copied, in" << sourcePath << "("
                     << listing.unrepresentable.size() << ")";
        complete = false;
    }
    for (const LarkFiles::FolderEntry& entry : listing.entries) {
        const QString from = sourcePath + QLatin1Char('/') + entry.name;
        const QString target = destinationPath + QLatin1Char('/') + entry.name;
        if (entry.info.isLink) {
            // What a link leads to is copied only when it lies inside the source, and never the
            // copy itself: nothing from elsewhere reaches the destination.
            const QString resolved = LarkFiles::linkTarget(from);
            if (resolved.isEmpty()) {
                LARK_WARNING << "dangling symbolic link skipped" << from;
                continue;
            }
            if (LarkFiles::isInside(resolved, bounds.destination)) {
                LARK_WARNING << "symbolic link into the destination skipped" << from << "->" << resolved;
                continue;
            }
            if (!LarkFiles::isInside(resolved, bounds.source)) {
                LARK_WARNING << "symbolic link out of the source skipped" << from << "->" << resolved;
                continue;
            }
        }
        if (LarkFiles::isSpecial(entry.info.kind)) {
            LARK_WARNING << "not a regular file, skipped" << from << "(" << LarkFiles::kindName(entry.info.kind)
                         << ")";
            continue;
        }
        if (entry.info.kind == LarkFiles::EntryKind::Folder) {
            if (!copyDir(from, target, true))
                return false;
        } else if (entry.info.kind == LarkFiles::EntryKind::File && !copyFilePrivate(from, target, newFolder)) {
            LARK_WARNING << "unable to copy" << from << "to" << target;
            return false;
        }
    }
    return complete;
}

bool FileUtils::removeContentDirectory(const QString& path, bool recursive)
{
    if (path.isEmpty() || !path.contains(QLatin1Char('/')) || path == QLatin1String("."))
        return false;
    if (isFilesystemRootPrivate(path)) {
        LARK_CRITICAL << "refusing to empty a filesystem root" << path;
        return false;
    }
    const QDir dir(path);
    if (!dir.exists())
        return false;
    const QString folder = dir.absolutePath();
    // Every kind of entry: FIFOs, sockets, dangling links and names without a text form too.
    const LarkFiles::FolderListing listing = LarkFiles::listFolder(folder, true);
    if (!listing.ok) {
        LARK_CRITICAL << "enable to removeRecursively" << folder;
        return false;
    }
    // A link to a folder is removed itself: its target is outside what is being emptied.
    auto isFolder = [](const LarkFiles::EntryInfo& info) {
        return info.kind == LarkFiles::EntryKind::Folder && !info.isLink;
    };
    for (const LarkFiles::FolderEntry& entry : listing.entries) {
        const QString entryPath = folder + QLatin1Char('/') + entry.name;
        if ((recursive || !isFolder(entry.info)) && !LarkFiles::removeEntry(entryPath)) {
            LARK_CRITICAL << "enable to removeRecursively" << entryPath;
            return false;
        }
    }
    for (const LarkFiles::RawEntry& entry : listing.unrepresentable) {
        if ((recursive || !isFolder(entry.info)) && !LarkFiles::removeRawEntry(folder, entry.rawName)) {
            LARK_CRITICAL << "enable to removeRecursively" << folder + QLatin1Char('/') + QFile::decodeName(entry.rawName);
            return false;
        }
    }
    return true;
}

bool FileUtils::old::removeDirectory(const QString& path, bool recursive, QString* error, int maxDepth)
{
    if (path.isEmpty())
        return false;
    if (isFilesystemRootPrivate(path)) {
        setErrorPrivate(error, QStringLiteral("FileUtils::removeDirectory ") + path
                                   + QStringLiteral(" is a filesystem root"));
        LARK_CRITICAL << "refusing to remove a filesystem root" << path;
        return false;
    }
    if (maxDepth <= 0) {
        setErrorPrivate(error, QStringLiteral("FileUtils::removeDirectory ") + path
                                   + QStringLiteral(" profondeur max atteinte !"));
        return false;
    }
    --maxDepth;
    const QDir dir(path);
    if (!dir.exists()) {
        setErrorPrivate(error, QStringLiteral("FileUtils::removeDirectory: ") + path + QStringLiteral(" doesn't exist"));
        return false;
    }

    bool result = true;
    if (!QFileInfo(path).isSymLink()) {  // for a link, only the link goes (below)
        const QFileInfoList entries =
            dir.entryInfoList(QDir::Dirs | QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, NAME_ORDER);
        for (const QFileInfo& entry : entries) {
            if (entry.isDir() && !entry.isSymLink()) {
                if (!recursive) {
                    setErrorPrivate(error, QStringLiteral("Failed to remove file: %1 (%2)")
                                               .arg(entry.fileName(), QStringLiteral("non recursive operation")));
                    return false;
                }
                if (!removeDirectory(entry.absoluteFilePath(), true, error, maxDepth))
                    return false;
            } else if (entry.isFile() || entry.isSymLink()) {
                QFile file(entry.absoluteFilePath());
                if (!file.remove()) {
                    setErrorPrivate(error, QStringLiteral("Failed to remove file: %1 (%2)")
                                               .arg(entry.absoluteFilePath(), file.errorString()));
                    return false;
                }
            } else {
                result = false;
            }
        }
    }

    QFile self(path);
    if (!self.remove() && !QDir().rmdir(path)) {
        setErrorPrivate(error, QStringLiteral("Failed to remove directory: %1 (%2)").arg(path, self.errorString()));
        result = false;
    }
    return result;
}

int FileUtils::removeEmptyDirs(const QString& path, bool recursive)
{
    const QString clean = QDir::cleanPath(path);
    const QDir dir(clean);
    if (clean.isEmpty() || !dir.exists())
        return 0;
    int count = 0;
    if (recursive) {
        const QFileInfoList folders = dir.entryInfoList(QDir::Dirs, NAME_ORDER);
        for (const QFileInfo& folder : folders) {
            const QString name = folder.fileName();
            // Links are not walked: what they point to is not part of this tree.
            if (name == QLatin1String(".") || name == QLatin1String("..") || folder.isSymLink())
                continue;
            count += removeEmptyDirs(clean + QLatin1Char('/') + name, true);
        }
    }
    if (dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty() && !QFileInfo(clean).isSymLink()
        && QDir().rmdir(clean))
        ++count;
    return count;
}

int FileUtils::listFilesInFileSystem(const QString& path, QStringList& files, bool recursive, QRegExp* folderFilter,
                                     const QString& prefix)
{
    return listFilesPrivate(path, files, recursive, folderFilter, prefix, false);
}

int FileUtils::old::listFilesInFileSystem(const QString& path, QStringList& files, bool recursive,
                                          QRegExp* folderFilter, const QString& prefix)
{
    return listFilesPrivate(path, files, recursive, folderFilter, prefix, true);
}

bool FileUtils::listDirectoriesInFileSystem(const QString& path, QStringList& folders, bool recursive)
{
    const QString p = path.isEmpty() ? QStringLiteral(".") : path;
    ListFoldersVisitor visitor(folders, recursive, QDir(p).absolutePath());
    return LarkPlatform::walkTree(p, LarkPlatform::WalkOptions(), visitor);
}

quint64 FileUtils::folderSize(const QString& path, int* fileCount, QDateTime* lastModified)
{
    const QString p = QDir::cleanPath(path);
    if (p.isEmpty())
        return 0;
    LarkPlatform::WalkOptions options;
    options.includeHidden = true;
    options.sorted = false;  // the sum does not depend on the order
    options.fileStatus = true;
    FolderSizeVisitor visitor;
    if (!LarkPlatform::walkTree(p, options, visitor))
        return 0;
    if (fileCount)
        *fileCount += visitor.files();
    if (lastModified && visitor.files() > 0) {
        const QDateTime modified = QDateTime::fromMSecsSinceEpoch(visitor.newestMs());
        if (lastModified->isNull() || *lastModified < modified)
            *lastModified = modified;
    }
    return visitor.total();
}

bool FileUtils::directoryIsEmpty(const QString& path)
{
    return QDir(QDir::cleanPath(path)).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty();
}
