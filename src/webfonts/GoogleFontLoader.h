#ifndef GOOGLEFONTLOADER_H
#define GOOGLEFONTLOADER_H

#include "larkutils_export.h"

#include "GoogleFontItem.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class GoogleFontLoaderPrivate;

/// The catalogue of Google Fonts families, read from "google.json" in the settings folder
/// (a fresh copy) or, failing that, in the data folder's "webfonts/" (the shipped copy).
class LARKUTILS_EXPORT GoogleFontLoader : public QObject
{
    Q_OBJECT
public:
    /// An empty catalogue, not loaded.
    explicit GoogleFontLoader(QObject* parent = nullptr);
    ~GoogleFontLoader() override;

    /// Reads one catalogue file into the list (emptied first). False, with a warning, when the
    /// file does not open or is not a catalogue; false without a log when it does not exist.
    bool loadJsonGFontFromFilePath(const QString& path);
    /// Parses catalogue JSON (emptied first). False, with a warning, when the data is not JSON or
    /// holds no "items" array.
    bool loadJsonGFontFromBynaryDatas(const QByteArray& data);

    /// Whether the last load() succeeded.
    bool isLoaded() const;
    /// The family names, in catalogue order.
    QStringList fontNames() const;
    /// Copies into item the first family whose name, with or without spaces, equals name ignoring
    /// letter case. False, item unchanged, when there is none.
    bool findItemByName(const QString& name, GoogleFontItem& item) const;
    /// The exact family name for a name given loosely (trimmed, any case, spaces optional);
    /// empty when the catalogue has no such family.
    QString validName(const QString& name) const;
    /// One line for the user: how many families are available.
    QString stringInformations() const;
    /// The folder of the shipped catalogue, ending with "/".
    QString defaultWebFontsPath() const;

public slots:
    /// Loads the fresh catalogue, else the shipped one. False, with an empty list, when neither loads.
    bool load();

protected:
    /// The full path of the fresh catalogue in the settings folder.
    static QString customFilepath_JsonGoogleFont();

    /// "google.json", the catalogue's file name in both folders.
    static const QString GOOGLE_DEFINITION_FILENAME;

private:
    std::unique_ptr<GoogleFontLoaderPrivate> d;
};

#endif // GOOGLEFONTLOADER_H
