#include "ApplicationUtils.h"

#include "CoreApplicationUtils.h"
#include "LarkLog.h"
#include "platform/PlatformBuildTree.h"

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QMimeData>
#include <QScreen>
#include <QVarLengthArray>
#include <QWidget>
#include <QWindow>

namespace {

bool isBuildTreePrivate()
{
    return LarkPlatform::isBuildTree(QCoreApplication::applicationDirPath());
}

bool homeIsDeveloperPrivate()
{
    return QDir::homePath().contains(QLatin1String("ulvomarke"));
}

// The first location of that kind that is not empty, with a "/" at the end.
QString noEmptyStandardLocations(QStandardPaths::StandardLocation location)
{
    const QStringList locations = QStandardPaths::standardLocations(location);
    for (const QString& entry : locations) {
        if (!entry.trimmed().isEmpty())
            return entry + QLatin1Char('/');
    }
    return QString();
}

} // namespace

QString ApplicationUtils::pathDocuments()
{
    return noEmptyStandardLocations(QStandardPaths::DocumentsLocation);
}

QString ApplicationUtils::pathImages()
{
    return noEmptyStandardLocations(QStandardPaths::PicturesLocation);
}

QString ApplicationUtils::tempPath()
{
    if (!isBuildTreePrivate())
        return noEmptyStandardLocations(QStandardPaths::TempLocation);
    return pathDocuments() + QLatin1String("Larkspire Temp developper/")
        + CoreApplicationUtils::applicationName() + QLatin1Char('/');
}

QString ApplicationUtils::pathSettingsLarkspire()
{
    if (!isBuildTreePrivate())
        return noEmptyStandardLocations(QStandardPaths::GenericDataLocation) + QLatin1String("Larkspire/");
    return pathDocuments() + QLatin1String("Larkspire Settings developper/");
}

QString ApplicationUtils::pathApplicationSettings()
{
    return pathSettingsLarkspire() + CoreApplicationUtils::applicationName() + QLatin1Char('/');
}

QString ApplicationUtils::pathDatas()
{
    static const QString DATA_FOLDER = QStringLiteral("data/");
    QString path = QCoreApplication::applicationDirPath();
    if (!detectDeveloperModeOrQualifMode())
        return path + QLatin1Char('/') + DATA_FOLDER;
    path = LarkPlatform::withoutBuildConfigFolders(path);
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return path + DATA_FOLDER;
}

QString ApplicationUtils::pathLanguages()
{
    return pathDatas() + QLatin1String("languages/");
}

QString ApplicationUtils::pathVersion()
{
    return pathDatas() + QLatin1String("version/");
}

bool ApplicationUtils::detectQualificationMode()
{
    return isBuildTreePrivate();
}

bool ApplicationUtils::detectDeveloperMode()
{
    return isBuildTreePrivate() && homeIsDeveloperPrivate();
}

bool ApplicationUtils::detectDeveloperModeOrQualifMode()
{
    return detectDeveloperMode() || detectQualificationMode();
}

bool ApplicationUtils::detectIsUlvo()
{
    return detectDeveloperMode() && homeIsDeveloperPrivate();
}

QString ApplicationUtils::labelDeveloperMode_QualifMode()
{
    QString label;
    if (detectDeveloperMode())
        label += QLatin1String("#dev mode#");
    if (isBuildTreePrivate()) {
        if (!label.isEmpty())
            label += QLatin1Char(' ');
        label += QLatin1String("#qualif mode#");
    }
    return label;
}

double ApplicationUtils::devicePixelRatio(const QWidget* widget)
{
    if (!widget) {
        LARK_CRITICAL << "null widget";
        return 1.0;
    }
    const QPoint centre = widget->mapToGlobal(widget->rect().center());
    QScreen* screen = screenAt(centre);
    if (!screen) {
        LARK_CRITICAL << "screenAt(pos) return null";
        return 1.0;
    }
    return screen->devicePixelRatio();
}

QScreen* ApplicationUtils::screenAt(const QPoint& point)
{
    QVarLengthArray<const QScreen*, 8> visited;
    const QList<QScreen*> screens = QGuiApplication::screens();
    for (QScreen* screen : screens) {
        if (std::find(visited.cbegin(), visited.cend(), screen) != visited.cend())
            continue;
        const QList<QScreen*> siblings = screen->virtualSiblings();
        for (QScreen* sibling : siblings) {
            if (sibling->geometry().contains(point))
                return sibling;
            visited.append(sibling);
        }
    }
    return nullptr;
}

void ApplicationUtils::enableHightDPIMode()
{
    if (QCoreApplication::instance()) {
        LARK_CRITICAL << "enableHightDPIMode() has to be called BEFORE QApplication";
        return;
    }
    // Qt 6 always scales and keeps the attributes only as flags: they are still set, as on Qt 5.
    QT_WARNING_PUSH
    QT_WARNING_DISABLE_DEPRECATED
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps, true);
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling, true);
    QT_WARNING_POP
}

bool ApplicationUtils::isDailogAsyncOpeningSafe()
{
    const QWindowList windows = QGuiApplication::allWindows();
    for (const QWindow* window : windows) {
        if (window->modality() != Qt::NonModal)
            return false;
    }
    return true;
}

QMimeData* ApplicationUtils::mimeDataCopy(const QMimeData* source)
{
    if (!source) {
        LARK_CRITICAL << "null source";
        return nullptr;
    }
    QMimeData* copy = new QMimeData();
    const QStringList formats = source->formats();
    for (const QString& format : formats) {
        const QByteArray data = source->data(format);
        QString name = format;
        if (name.startsWith(QLatin1String("application/x-qt"))) {
            const int first = name.indexOf(QLatin1Char('"'));
            if (first >= 0) {
                const int second = name.indexOf(QLatin1Char('"'), first + 1);
                name = second >= 0 ? name.mid(first + 1, second - first - 1) : name.mid(first + 1);
            }
        }
        copy->setData(name, data);
    }
    return copy;
}
