#include "GoogleFontLoader.h"

#include "ApplicationUtils.h"
#include "LarkLog.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

const QString GoogleFontLoader::GOOGLE_DEFINITION_FILENAME = QStringLiteral("google.json");

class GoogleFontLoaderPrivate
{
public:
    QList<GoogleFontItem> mItems;
    bool mLoaded = false;
};

GoogleFontLoader::GoogleFontLoader(QObject* parent)
    : QObject(parent)
    , d(new GoogleFontLoaderPrivate)
{
}

GoogleFontLoader::~GoogleFontLoader() = default;

bool GoogleFontLoader::load()
{
    d->mLoaded = false;
    if (loadJsonGFontFromFilePath(customFilepath_JsonGoogleFont())) {
        d->mLoaded = true;
        return true;
    }
    LARK_INFO << GOOGLE_DEFINITION_FILENAME << " not retrieved from server... use local version (may osbsolete)";
    d->mLoaded = loadJsonGFontFromFilePath(defaultWebFontsPath() + GOOGLE_DEFINITION_FILENAME);
    return d->mLoaded;
}

bool GoogleFontLoader::loadJsonGFontFromFilePath(const QString& path)
{
    d->mItems.clear();
    if (!QFile::exists(path))
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        LARK_WARNING << "GFonts file opening error" << path << file.errorString();
        return false;
    }
    return loadJsonGFontFromBynaryDatas(file.readAll());
}

bool GoogleFontLoader::loadJsonGFontFromBynaryDatas(const QByteArray& data)
{
    d->mItems.clear();
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError) {
        LARK_WARNING << "GFonts file parsing error:" << error.errorString();
        return false;
    }
    // Anything but an object with an "items" array (an error reply saved in place of the
    // catalogue, say) is not a catalogue: failing lets load() fall back to the shipped copy.
    const QJsonValue items = document.object().value(QLatin1String("items"));
    if (!items.isArray()) {
        LARK_WARNING << "GFonts file without \"items\" array";
        return false;
    }
    const QJsonArray array = items.toArray();
    d->mItems.reserve(array.size());
    for (const QJsonValue& entry : array)
        d->mItems.append(GoogleFontItem(entry.toObject()));
    return true;
}

bool GoogleFontLoader::isLoaded() const
{
    return d->mLoaded;
}

QStringList GoogleFontLoader::fontNames() const
{
    QStringList names;
    names.reserve(d->mItems.size());
    for (const GoogleFontItem& item : d->mItems)
        names << item.family();
    return names;
}

bool GoogleFontLoader::findItemByName(const QString& name, GoogleFontItem& item) const
{
    for (const GoogleFontItem& candidate : d->mItems) {
        if (candidate.family().compare(name, Qt::CaseInsensitive) == 0
            || candidate.compressedFamily().compare(name, Qt::CaseInsensitive) == 0) {
            item = candidate;
            return true;
        }
    }
    return false;
}

QString GoogleFontLoader::validName(const QString& name) const
{
    GoogleFontItem item;
    if (findItemByName(name.trimmed(), item))
        return item.family();
    return QString();
}

QString GoogleFontLoader::stringInformations() const
{
    if (!d->mLoaded)
        return QStringLiteral("No google font available !");
    return tr("%1 google font available").arg(d->mItems.size());
}

QString GoogleFontLoader::defaultWebFontsPath() const
{
    return ApplicationUtils::pathDatas() + QLatin1String("webfonts/");
}

QString GoogleFontLoader::customFilepath_JsonGoogleFont()
{
    return ApplicationUtils::pathApplicationSettings() + GOOGLE_DEFINITION_FILENAME;
}
