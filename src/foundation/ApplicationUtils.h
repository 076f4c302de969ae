#ifndef APPLICATIONUTILS_H
#define APPLICATIONUTILS_H

#include "larkutils_export.h"

#include <QPoint>
#include <QStandardPaths>
#include <QString>

class QMimeData;
class QScreen;
class QWidget;

/// Where the application's folders are, in installed and build-tree layouts, and a few helpers for
/// screens, high-resolution scaling, dialogs and clipboard data. Every folder path ends with "/";
/// an empty one means that no such folder is known.
class LARKUTILS_EXPORT ApplicationUtils
{
public:
    /// The user's documents folder.
    static QString pathDocuments();
    /// The user's pictures folder.
    static QString pathImages();
    /// The temporary folder; in a build tree a per-application folder beside the documents.
    static QString tempPath();
    /// The settings folder shared by the applications; in a build tree beside the documents.
    static QString pathSettingsLarkspire();
    /// The settings folder of this application.
    static QString pathApplicationSettings();
    /// The shipped data folder: "data/" beside the program, or at the root of a build tree.
    static QString pathDatas();
    /// The translations folder inside the data folder.
    static QString pathLanguages();
    /// The version files folder inside the data folder.
    static QString pathVersion();

    /// True when the application runs from a build tree.
    static bool detectQualificationMode();
    /// True in a build tree on the developer's own machine.
    static bool detectDeveloperMode();
    /// True in either mode (developer mode implies a build tree).
    static bool detectDeveloperModeOrQualifMode();
    /// True on the developer's own machine in a build tree.
    static bool detectIsUlvo();
    /// "", "#qualif mode#" or "#dev mode# #qualif mode#".
    static QString labelDeveloperMode_QualifMode();

    /// Pixel ratio of the screen under the widget's centre; 1.0 (logged) when none is found.
    static double devicePixelRatio(const QWidget* widget);
    /// The screen whose geometry contains point, borders included; null when none does.
    static QScreen* screenAt(const QPoint& point);
    /// Switches on high-resolution scaling; only works before the application object exists.
    static void enableHightDPIMode();
    /// False while a modal window is open (an asynchronous dialog would then misbehave).
    static bool isDailogAsyncOpeningSafe();
    /// A new copy owned by the caller, Qt's platform formats stored under their native name.
    /// Null (logged) for a null source.
    static QMimeData* mimeDataCopy(const QMimeData* source);
};

#endif // APPLICATIONUTILS_H
