#ifndef LOGCAPTURE_H
#define LOGCAPTURE_H

#include <Logwell.h>

#include <QList>
#include <QMutex>
#include <QStringList>

// Whether messages hold one of this type from this function (any, when empty) whose text contains
// every fragment.
bool hasMessage(const QList<Logwell::Message>& messages, Logwell::LogType type, const QString& function,
                const QStringList& fragments);

// Collects every Logwell message while it lives; restores the previous sink afterwards.
//   LogCapture logs;
//   FileUtils::readFileContent("/missing");
//   QVERIFY(logs.has(Logwell::LogDebug, "FileUtils::readFileContent", "/missing"));
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();

    QList<Logwell::Message> messages() const;
    QList<Logwell::Message> messages(Logwell::LogType type) const;
    int count() const;
    int count(Logwell::LogType type) const;
    void clear();

    // A message of this type from this function whose text contains every fragment.
    bool has(Logwell::LogType type, const QString& function, const QStringList& fragments) const;
    bool has(Logwell::LogType type, const QString& function, const QString& fragment = QString()) const;

    // Every message as one line each, for failure output.
    QString dump() const;

private:
    mutable QMutex mMutex;
    QList<Logwell::Message> mMessages;
    Logwell::Handler mPrevious;
};

#endif // LOGCAPTURE_H
