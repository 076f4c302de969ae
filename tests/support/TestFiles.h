#ifndef TESTFILES_H
#define TESTFILES_H

// Whole-file reads and writes for the tests' fixtures.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

// The file's bytes; empty when it cannot be read.
inline QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Replaces the file's content (creating its folders when asked); false when not all was written.
inline bool writeFile(const QString& path, const QByteArray& bytes, bool makeFolders = false)
{
    if (makeFolders)
        QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

#endif // TESTFILES_H
