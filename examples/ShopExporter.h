#ifndef SHOPEXPORTER_H
#define SHOPEXPORTER_H

// Exports a small web shop with the library, as the shop application does.

#include "DemoShop.h"

#include <SpeedTestAnalyzer.h>

#include <QObject>
#include <QStringList>
#include <QVariant>

struct ExportOptions {
    QString output;   // the export folder
    QString language; // "en", "fr", ...
    QString photo;    // the user's photo; empty: a generated one
};

class ShopExporter : public QObject
{
    Q_OBJECT
public:
    ShopExporter(const DemoShopData& shop, const ExportOptions& options, QObject* parent = nullptr);

    // Writes the whole site; false with a message in error() when a step failed.
    bool run();
    QString error() const { return mError; }
    // What was written, one line per file, and the timing report.
    QString summary() const;

signals:
    void imagesFinished();

private slots:
    void onImageProgress(int percent, const QString& step);
    void onImagesDone(QVariant result);

private:
    bool writeConfigPhp();
    bool writeDataJs();
    bool writeIndexHtml();
    bool writeManifest();
    bool exportImages();
    bool store(const QString& name, const QByteArray& content);
    double vatRate(const DemoProduct& product) const;
    QString priceLabel(double price) const;

    DemoShopData mShop;
    ExportOptions mOptions;
    QString mFontFamily;
    QString mError;
    QStringList mWritten;
    SpeedTestAnalyzer mProbe;
    QVariant mImageResult;
    bool mImagesDone = false;
};

#endif // SHOPEXPORTER_H
