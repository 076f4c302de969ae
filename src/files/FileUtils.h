#ifndef FILEUTILS_H
#define FILEUTILS_H

#include "larkutils_export.h"

#include <QDateTime>
#include <QIcon>
#include <QString>
#include <QStringList>

class QFontMetrics;
class QIODevice;
class QRegExp;

/// File and folder operations. Fallible functions return true when done (or a count), fill the
/// optional error text on failure only and log failed file operations as warnings (a file that
/// readFileContent cannot open, at debug level only).
class LARKUTILS_EXPORT FileUtils
{
public:
    /// Translation of user texts in the "FileUtils" context.
    static QString tr(const char* sourceText, const char* disambiguation = nullptr, int n = -1);
    /// The same as tr.
    static QString trUtf8(const char* sourceText, const char* disambiguation = nullptr, int n = -1);

    /// --- One file or one name

    /// The whole content of a file, bytes as stored; empty when it cannot be read to the end or
    /// is no regular file (a FIFO or a device is never opened), logged when logError.
    static QByteArray readFileContent(const QString& path, bool logError = true);
    /// Replaces the file's content in one step, creating its folders; on failure the previous
    /// content stays and the result is false.
    static bool writeFileContent(const QString& path, const QByteArray& data, QString* error = nullptr);
    /// Creates the folder of filePath with its parents; true when it exists afterwards.
    static bool fileMkPath(const QString& filePath, QString* error = nullptr);
    /// True when a folder (not a file) exists at path.
    static bool folderExists(const QString& path);
    /// Proves by a real write that files can be created in folder (creating it if needed).
    static bool checkWritingRightInFolder(const QString& folder, const QString& folderLabel = QString(),
                                          QString* error = nullptr);
    /// Rich-text message for a working folder that cannot be written, with a documentation link.
    static QString labelWorkingFolderBlocked(const QString& folder, const QString& documentationUrl);
    /// Copies source over whatever file is at destination, creating its folders. The old
    /// destination is replaced only once the copy is complete. Only a regular file (or a link to
    /// one) is copied: a FIFO, a socket or a device is refused without being opened.
    static bool forceCopy(const QString& source, const QString& destination);
    /// Moves what source has available into destination in chunks; the bytes that reached the
    /// destination (a read or write error ends the copy with a warning).
    static int segmentedCopy(QIODevice& source, QIODevice& destination, int chunkSize);
    /// Replaces every occurrence of before (case-sensitive) in a UTF-8 file. False for an empty or
    /// unreadable file and when writing back fails.
    static bool replaceInFile(const QString& path, const QString& before, const QString& after);
    /// Lower-case hexadecimal MD5 of the file; the digest of empty input when it cannot be read
    /// to the end or is no regular file.
    static QString md5(const QString& path);
    /// Lower-case hexadecimal SHA-1 of the file; the digest of empty input when it cannot be read
    /// to the end or is no regular file.
    static QString sha1(const QString& path);
    /// Marks the file hidden on Windows (its other attributes are cleared). No-op elsewhere, where
    /// a leading dot in the name is what hides a file.
    static void setFileHiddenOnWindows(const QString& path);
    /// The icon of the file's type, from a sample "suffix_icons/file.<suffix>" of the data folder
    /// when there is one.
    static QIcon iconFromFilename(const QString& fileName);

    /// True when name holds none of / \ | ? < > " : *
    static bool checkNameFileValidity(const QString& name);
    /// name with each of / \ | ? < > " : * replaced by "_".
    static QString fixNameFileValidity(const QString& name);
    /// name reduced to ASCII letters, digits, white space and ( ) - _ . (accents dropped).
    static QString normalizeFilename(const QString& name);
    /// Pattern text for validating names: word characters, ( ), white space, - and _.
    static QString regExpFilename();
    /// A size with its unit, in French under a French default locale ("12 kB", "12 Ko").
    static QString fileSizeToString(qint64 size);
    /// The folder path shortened on the left for width, starting at a separator.
    static QString elidedFolder(const QFontMetrics& metrics, QString& path, int width);

    /// --- Folder trees

    /// Copies the tree source into destination (replaced first unless merge). False at the first
    /// failure; refuses a destination inside the source. Links leading out of the source or into
    /// the destination, FIFOs, sockets and devices are skipped with a warning; a name without a
    /// text form (bytes that are not valid UTF-8) makes the result false.
    static bool copyDir(const QString& source, const QString& destination, bool merge);
    /// Removes the files of a folder (every kind of entry: FIFOs, sockets, links, odd names), and
    /// its sub-folders when recursive; the folder stays. Refuses ".", paths without "/" and
    /// filesystem roots.
    static bool removeContentDirectory(const QString& path, bool recursive);
    /// Removes empty folders bottom-up (path itself included); the number removed.
    static int removeEmptyDirs(const QString& path, bool recursive = true);
    /// Appends the tree's files, relative to path and preceded by prefix; the number appended.
    /// Hidden entries are skipped; folderFilter, when given, must match a folder's name exactly.
    /// Links are followed (a loop back up only once); FIFOs, sockets and devices, also behind a
    /// link, are no files of the tree here nor in the two functions below.
    static int listFilesInFileSystem(const QString& path, QStringList& files, bool recursive = true,
                                     QRegExp* folderFilter = nullptr, const QString& prefix = QString());
    /// Appends the absolute path of every folder (depth first); false when path is no folder.
    static bool listDirectoriesInFileSystem(const QString& path, QStringList& folders, bool recursive = true);
    /// Total size in bytes of every file of the tree (".DS_Store" skipped); adds to *fileCount and
    /// moves *lastModified forward when given.
    static quint64 folderSize(const QString& path, int* fileCount = nullptr, QDateTime* lastModified = nullptr);
    /// True when the folder holds nothing but hidden entries, or does not exist.
    static bool directoryIsEmpty(const QString& path);

    /// Older variants, still in use.
    class LARKUTILS_EXPORT old
    {
    public:
        /// Creates the folders of filePath one level at a time, going on after a failed level.
        static bool forceDirectoryCreationForAFile(const QString& filePath, QString* error = nullptr);
        /// Removes a folder and its content, at most maxDepth levels deep; reports in error only.
        static bool removeDirectory(const QString& path, bool recursive = true, QString* error = nullptr,
                                    int maxDepth = 32);
        /// As FileUtils::listFilesInFileSystem, but an empty path means "." and the prefix always
        /// gets a trailing "/".
        static int listFilesInFileSystem(const QString& path, QStringList& files, bool recursive = true,
                                         QRegExp* folderFilter = nullptr, const QString& prefix = QString());
    };
};

#endif // FILEUTILS_H
