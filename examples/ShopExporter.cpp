#include "ShopExporter.h"

#include <CurrencyUtils.h>
#include <FileUtils.h>
#include <GenericThread.h>
#include <GoogleFontItem.h>
#include <GoogleFontLoader.h>
#include <HTMLUtils.h>
#include <ImageUtils.h>
#include <JsCodeHelpers.h>
#include <Logwell.h>
#include <PhpCodeHelpers.h>
#include <PhpUtil.h>
#include <QExifImageHeader.h>
#include <TaxeRatesUtils.h>
#include <TextStreamUTF8.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLinearGradient>
#include <QPainter>
#include <QRandomGenerator>
#include <QPointer>
#include <QTemporaryDir>
#include <QThread>
#include <QTextStream>
#include <QTimer>

#include <cstdio>

namespace {

// The member states of the European Union, by the codes of the VAT table.
const QStringList EU_COUNTRIES{"AT", "BE", "BG", "CY", "CZ", "DE", "DK", "EE", "EL", "ES", "FI", "FR", "HR", "HU",
                               "IE", "IT", "LT", "LU", "LV", "MT", "NL", "PL", "PT", "RO", "SE", "SI", "SK"};
const QSize PHOTO_LIMIT(1024, 1024);
const QSize THUMBNAIL_SIZE(256, 256);

#define DEMO_LOG(type) Logwell(type, __FILE__, "ShopExporter", __LINE__)

// How long the export waits for its image worker, in milliseconds. For the checks of the time-out
// path, LARKUTILS_DEMO_IMAGE_TIMEOUT_MS shortens it and LARKUTILS_DEMO_IMAGE_DELAY_MS makes the
// worker slow (not documented in --help: they are not for users).
int imageTimeout()
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue("LARKUTILS_DEMO_IMAGE_TIMEOUT_MS", &ok);
    return ok && value > 0 ? value : 60000;
}

// The worker's artificial delay; false when the worker was asked to stop meanwhile.
bool slowWorkerDown()
{
    const int delay = qEnvironmentVariableIntValue("LARKUTILS_DEMO_IMAGE_DELAY_MS");
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < delay) {
        if (QThread::currentThread()->isInterruptionRequested())
            return false;
        QThread::msleep(10);
    }
    return !QThread::currentThread()->isInterruptionRequested();
}

// Free text as a raw PHP expression: a double-quoted literal that reads back exactly.
QVariant phpText(const QString& text)
{
    return QVariant(PhpUtil::formatPhpString(text).toUtf8());
}

// Free text as a raw JavaScript expression.
QVariant jsText(const QString& text)
{
    return QVariant((QStringLiteral("'") + HTMLUtils::encodeToJavascriptText(text) + QStringLiteral("'")).toUtf8());
}

// HTML content: each line escaped, lines joined by <br/>.
QString htmlLines(const QString& text)
{
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString& line : lines)
        line = HTMLUtils::textWithoutHtmlTags(line);
    return lines.join(QStringLiteral("<br/>"));
}

// A photo-like picture: sky, sun, hills and some grain, so that JPEG has real work to do.
QImage makeDemoPhoto()
{
    QImage image(1600, 1200, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient sky(0, 0, 0, 800);
    sky.setColorAt(0, QColor(40, 90, 170));
    sky.setColorAt(1, QColor(240, 190, 140));
    painter.fillRect(image.rect(), sky);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 230, 150));
    painter.drawEllipse(QPoint(1200, 300), 120, 120);
    painter.setBrush(QColor(60, 110, 60));
    painter.drawEllipse(QRect(-300, 700, 1400, 900));
    painter.setBrush(QColor(90, 140, 70));
    painter.drawEllipse(QRect(600, 800, 1400, 800));
    // The "up" marker: a red bar along the top edge.
    painter.setBrush(QColor(200, 30, 30));
    painter.drawRect(0, 0, 1600, 40);
    painter.end();
    QRandomGenerator random(42);
    for (int y = 40; y < image.height(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int grain = int(random.bounded(17)) - 8;
            line[x] = qRgb(qBound(0, qRed(line[x]) + grain, 255), qBound(0, qGreen(line[x]) + grain, 255),
                           qBound(0, qBlue(line[x]) + grain, 255));
        }
    }
    return image;
}

} // namespace

ShopExporter::ShopExporter(const DemoShopData& shop, const ExportOptions& options, QObject* parent)
    : QObject(parent)
    , mShop(shop)
    , mOptions(options)
    , mProbe(QStringLiteral("Export"))
{
}

double ShopExporter::vatRate(const DemoProduct& product) const
{
    const double rate = TaxeRatesUtils::europeanTax(mShop.country, product.vatCategory);
    return rate >= 0 ? rate : TaxeRatesUtils::europeanTax(mShop.country, 0);
}

QString ShopExporter::priceLabel(double price) const
{
    return CurrencyUtils::formatPrice(CurrencyUtils::roundPrice(price), mShop.currency);
}

bool ShopExporter::store(const QString& name, const QByteArray& content)
{
    const QString path = QDir(mOptions.output).filePath(name);
    QString error;
    if (!FileUtils::writeFileContent(path, content, &error)) {
        mError = error;
        return false;
    }
    mWritten << name;
    return true;
}

bool ShopExporter::run()
{
    GoogleFontLoader fonts;
    if (fonts.load()) {
        GoogleFontItem item;
        mFontFamily = fonts.findItemByName(QStringLiteral("Merriweather"), item) ? item.family()
                                                                          : fonts.fontNames().value(0);
    }
    if (mFontFamily.isEmpty())
        mFontFamily = QStringLiteral("serif");
    DEMO_LOG(Logwell::LogInfo) << "font family" << mFontFamily;
    mProbe << QStringLiteral("font catalogue");

    const QList<QPair<QString, bool (ShopExporter::*)()>> steps{
        {QStringLiteral("config.php"), &ShopExporter::writeConfigPhp},
        {QStringLiteral("data.js"), &ShopExporter::writeDataJs},
        {QStringLiteral("index.html"), &ShopExporter::writeIndexHtml},
        {QStringLiteral("images"), &ShopExporter::exportImages},
        {QStringLiteral("manifest.json"), &ShopExporter::writeManifest}};
    for (const auto& step : steps) {
        if (!(this->*step.second)()) {
            DEMO_LOG(Logwell::LogWarning) << "export stopped at" << step.first << ":" << mError;
            return false;
        }
        mProbe << step.first;
    }
    return true;
}

bool ShopExporter::writeConfigPhp()
{
    QString text;
    QTextStream out(&text);
    out << "<?php\n// Shop settings, written by the LarkUtils demo.\n";
    PhpCodeHelpers::writeConstant(&out, QStringLiteral("SHOP_NAME"), phpText(mShop.name), QString());
    PhpCodeHelpers::writeConstant(&out, QStringLiteral("SHOP_SLOGAN"), phpText(mShop.slogan), QString());
    PhpCodeHelpers::writeConstant(&out, QStringLiteral("SHOP_COUNTRY"), mShop.country, QStringLiteral("buyer country"));
    PhpCodeHelpers::writeConstant(&out, QStringLiteral("SHOP_CURRENCY"), mShop.currency, QString());
    PhpCodeHelpers::writeConstant(&out, QStringLiteral("SHOP_CURRENCY_SYMBOL"),
                                  CurrencyUtils::currencySymbol(mShop.currency, QLocale::CurrencySymbol), QString());
    PhpCodeHelpers::writeConstant(&out, QStringLiteral("SHOP_VAT_STANDARD"),
                                  TaxeRatesUtils::europeanTax(mShop.country, 0), QStringLiteral("percent"));

    QStringList ids;
    QMap<QString, QVariant> prices, labels, rates;
    for (const DemoProduct& product : qAsConst(mShop.products)) {
        ids << product.id;
        prices.insert(product.id, CurrencyUtils::roundPrice(product.price));
        labels.insert(product.id, priceLabel(product.price));
        rates.insert(product.id, vatRate(product));
    }
    PhpCodeHelpers::writePhpArray(&out, QStringLiteral("PRODUCT_IDS"), ids);
    PhpCodeHelpers::writePhpMap(&out, QStringLiteral("PRODUCT_PRICES"), prices);
    PhpCodeHelpers::writePhpMap(&out, QStringLiteral("PRODUCT_PRICE_LABELS"), labels);
    PhpCodeHelpers::writePhpMap(&out, QStringLiteral("PRODUCT_VAT_RATES"), rates);

    // Every EU country: all categories as a map constant, the standard rates as a class.
    QMap<QString, QVariant> allRates, standardRates;
    for (const QString& country : EU_COUNTRIES) {
        QMap<QString, QVariant> categories;
        for (int category : TaxeRatesUtils::europeanTaxCategories())
            categories.insert(QString::number(category), TaxeRatesUtils::europeanTax(country, category));
        allRates.insert(country, categories);
        standardRates.insert(country, TaxeRatesUtils::europeanTax(country, 0));
    }
    PhpCodeHelpers::writePhpMap(&out, QStringLiteral("EU_VAT_RATES"), allRates);
    PhpCodeHelpers::writePhpMapAsClassOfConstants(&out, QStringLiteral("EuropeanStandardVat"), standardRates);
    out.flush();
    return store(QStringLiteral("config.php"), text.toUtf8());
}

bool ShopExporter::writeDataJs()
{
    QList<QVariant> products;
    for (const DemoProduct& product : qAsConst(mShop.products)) {
        QMap<QString, QVariant> item;
        item.insert(QStringLiteral("id"), product.id);
        item.insert(QStringLiteral("name"), jsText(product.name));
        item.insert(QStringLiteral("description"), jsText(product.description));
        item.insert(QStringLiteral("price"), CurrencyUtils::roundPrice(product.price));
        item.insert(QStringLiteral("priceLabel"), priceLabel(product.price));
        item.insert(QStringLiteral("vatRate"), vatRate(product));
        products << item;
    }
    QMap<QString, QVariant> shop;
    shop.insert(QStringLiteral("name"), jsText(mShop.name));
    shop.insert(QStringLiteral("currency"), mShop.currency);
    shop.insert(QStringLiteral("products"), products);

    QString text;
    QTextStream out(&text);
    out << "// Products of the shop, written by the LarkUtils demo.\nvar SHOP=";
    JsCodeHelpers::formatJavascriptObject(&out, shop);
    out << ";\n";
    out.flush();
    return store(QStringLiteral("data.js"), text.toUtf8());
}

bool ShopExporter::writeIndexHtml()
{
    QString html;
    TextStreamUTF8 out(&html, QIODevice::WriteOnly);
    const QString language = mOptions.language.section(QLatin1Char('_'), 0, 0);
    out << QStringLiteral("<!DOCTYPE html>\n<html lang=\"%1\">\n").arg(HTMLUtils::textWithoutHtmlTags(language));
    out.incrementIndent();
    out << QStringLiteral("<head>\n");
    out.incrementIndent();
    out << QStringLiteral("<meta charset=\"utf-8\"/>\n");
    out << HTMLUtils::formatHtmlMetaName(QStringLiteral("description"), mShop.slogan) + QStringLiteral("\n");
    out << HTMLUtils::formatHtmlMetaName(QStringLiteral("viewport"), QStringLiteral("width=device-width, initial-scale=1")) + QStringLiteral("\n");
    out << QStringLiteral("<title>%1</title>\n").arg(HTMLUtils::textWithoutHtmlTags(mShop.name));
    out << QStringLiteral("<style>\n");
    out.incrementIndent();
    out << QStringLiteral("body { font-family: '%1', serif; margin: 2em; background: %2; }\n")
               .arg(mFontFamily, HTMLUtils::colorToCss(QColor(250, 247, 240)));
    out << QStringLiteral(".product { border-bottom: 1px solid %1; padding: 1em 0; }\n")
               .arg(HTMLUtils::colorToCss(QColor(0, 0, 0, 40)));
    out << QStringLiteral(".product img { max-width: 256px; display: block; }\n");
    out << QStringLiteral(".photo { max-width: 100%; height: auto; }\n");
    out.decrementIndent();
    out << QStringLiteral("</style>\n");
    out.decrementIndent();
    out << QStringLiteral("</head>\n<body>\n");
    out.incrementIndent();
    out << QStringLiteral("<header>\n");
    out.incrementIndent();
    out << QStringLiteral("<h1 class=\"shop-name\">%1</h1>\n").arg(HTMLUtils::textWithoutHtmlTags(mShop.name));
    out << QStringLiteral("<p class=\"slogan\">%1</p>\n").arg(HTMLUtils::textWithoutHtmlTags(mShop.slogan));
    out << QStringLiteral("<img class=\"photo\" src=\"%1\" alt=\"\"/>\n").arg(HTMLUtils::encodeSrcUrl(QStringLiteral("images/photo.jpg")));
    out.decrementIndent();
    out << QStringLiteral("</header>\n<main>\n");
    out.incrementIndent();
    for (const DemoProduct& product : qAsConst(mShop.products)) {
        const QString cssClass = HTMLUtils::formatCompliantcssClassName(QStringLiteral("product_") + product.id);
        out << QStringLiteral("<section class=\"product %1\" id=\"p_%2\">\n").arg(cssClass, HTMLUtils::generateUUID());
        out.incrementIndent();
        out << QStringLiteral("<img src=\"%1\" alt=\"\"/>\n").arg(HTMLUtils::encodeSrcUrl(QStringLiteral("images/thumbnail.jpg")));
        out << QStringLiteral("<h2 class=\"product-name\">%1</h2>\n").arg(HTMLUtils::textWithoutHtmlTags(product.name));
        out << QStringLiteral("<p class=\"product-description\">%1</p>\n").arg(htmlLines(product.description));
        out << QStringLiteral("<p class=\"product-price\">%1 <small>%2</small></p>\n")
                   .arg(HTMLUtils::textWithoutHtmlTags(priceLabel(product.price)),
                        HTMLUtils::textWithoutHtmlTags(tr("VAT included (%1 %)").arg(vatRate(product))));
        out << QStringLiteral("<button type=\"button\">%1</button>\n").arg(HTMLUtils::textWithoutHtmlTags(tr("Add to cart")));
        out.decrementIndent();
        out << QStringLiteral("</section>\n");
    }
    out.decrementIndent();
    out << QStringLiteral("</main>\n");
    out << QStringLiteral("<footer>%1</footer>\n")
               .arg(HTMLUtils::textWithoutHtmlTags(tr("Prices in %1, buyer country %2").arg(mShop.currency, mShop.country)));
    out << QStringLiteral("<script src=\"data.js\"></script>\n");
    out.decrementIndent();
    out << QStringLiteral("</body>\n");
    out.decrementIndent();
    out << QStringLiteral("</html>\n");
    out.flush();
    return store(QStringLiteral("index.html"), html.toUtf8());
}

bool ShopExporter::exportImages()
{
    QTemporaryDir temp;
    QString source = mOptions.photo;
    if (source.isEmpty()) {
        // The default photo comes from a camera held sideways: EXIF says "turn 90° clockwise".
        source = temp.filePath(QStringLiteral("camera.jpg"));
        QImage sideways = makeDemoPhoto().transformed(QTransform().rotate(-90));
        if (!sideways.save(source, "JPEG", 92)) {
            mError = tr("cannot write the default photo");
            return false;
        }
        QExifImageHeader exif;
        exif.setValue(QExifImageHeader::Orientation, QExifValue(quint16(6)));
        if (!exif.writeIntoJpeg(source)) {
            mError = tr("cannot tag the default photo");
            return false;
        }
    }
    const QString images = QDir(mOptions.output).filePath(QStringLiteral("images"));
    const QString photo = images + QStringLiteral("/photo.jpg");
    const QString thumbnail = images + QStringLiteral("/thumbnail.jpg");

    QEventLoop loop;
    connect(this, &ShopExporter::imagesFinished, &loop, &QEventLoop::quit);
    // The worker uses this exporter and the temporary folder: it must have ended before either
    // goes, also when it is late. It ends itself (deleteLater), hence the tracked pointer.
    const QPointer<GenericThread> worker = GenericThread::runInGenericThread(
        [this, source, photo, thumbnail](QVariant& result) {
            const auto stopped = [&result]() {
                result = QVariantMap{{QStringLiteral("stopped"), true}};
                std::printf("  images: stopped\n");
                std::fflush(stdout);
            };
            QVariantMap outcome;
            QMetaObject::invokeMethod(this, "onImageProgress", Qt::QueuedConnection, Q_ARG(int, 10),
                                      Q_ARG(QString, QStringLiteral("photo")));
            if (!slowWorkerDown())
                return stopped();
            const bool photoOk = ImageUtils::copyImageFile(
                source, photo, true, PHOTO_LIMIT,
                ImageUtils::OptionApplyExifRotation | ImageUtils::OptionProgressive | ImageUtils::OptionHighQuality);
            if (QThread::currentThread()->isInterruptionRequested())
                return stopped();
            QMetaObject::invokeMethod(this, "onImageProgress", Qt::QueuedConnection, Q_ARG(int, 60),
                                      Q_ARG(QString, QStringLiteral("thumbnail")));
            bool thumbnailOk = false;
            QImage image(photo);
            if (photoOk && !image.isNull() && ImageUtils::resizeImageToSquare(image, THUMBNAIL_SIZE))
                thumbnailOk = ImageUtils::writeProgressiveImage(image, thumbnail, "jpg", ImageUtils::defaultJpegCompression());
            QMetaObject::invokeMethod(this, "onImageProgress", Qt::QueuedConnection, Q_ARG(int, 100),
                                      Q_ARG(QString, QStringLiteral("done")));
            outcome.insert(QStringLiteral("photo"), photoOk);
            outcome.insert(QStringLiteral("thumbnail"), thumbnailOk);
            result = outcome;
        },
        this, SLOT(onImagesDone(QVariant)));
    const int timeout = imageTimeout();
    QTimer::singleShot(timeout, &loop, &QEventLoop::quit);
    if (!mImagesDone)
        loop.exec();
    if (!mImagesDone && worker) {
        std::printf("  images: no result after %d ms, stopping the worker\n", timeout);
        std::fflush(stdout);
        worker->requestInterruption();
        worker->wait(); // a step under way (a photo being decoded) is finished first
    }

    const QVariantMap outcome = mImageResult.toMap();
    if (!mImagesDone || !outcome.value(QStringLiteral("photo")).toBool()
        || !outcome.value(QStringLiteral("thumbnail")).toBool()) {
        mError = tr("the images could not be written");
        return false;
    }
    mWritten << QStringLiteral("images/photo.jpg") << QStringLiteral("images/thumbnail.jpg");
    return true;
}

void ShopExporter::onImageProgress(int percent, const QString& step)
{
    std::printf("  images: %3d %% %s\n", percent, qPrintable(step));
    std::fflush(stdout);
}

void ShopExporter::onImagesDone(QVariant result)
{
    mImageResult = result;
    mImagesDone = true;
    emit imagesFinished();
}

bool ShopExporter::writeManifest()
{
    // What the export meant to write, for the checks that read the files back.
    QJsonObject shop{{"name", mShop.name}, {"slogan", mShop.slogan}, {"country", mShop.country},
                     {"currency", mShop.currency},
                     {"vatStandard", TaxeRatesUtils::europeanTax(mShop.country, 0)}};
    QJsonArray products;
    for (const DemoProduct& product : qAsConst(mShop.products))
        products.append(QJsonObject{{"id", product.id}, {"name", product.name},
                                    {"description", product.description},
                                    {"price", CurrencyUtils::roundPrice(product.price)},
                                    {"priceLabel", priceLabel(product.price)}, {"vatRate", vatRate(product)}});
    QJsonObject vat;
    for (const QString& country : EU_COUNTRIES) {
        QJsonObject categories;
        for (int category : TaxeRatesUtils::europeanTaxCategories())
            categories.insert(QString::number(category), TaxeRatesUtils::europeanTax(country, category));
        vat.insert(country, categories);
    }
    const QJsonObject manifest{{"shop", shop}, {"products", products}, {"vat", vat},
                               {"photoLimit", QJsonArray{PHOTO_LIMIT.width(), PHOTO_LIMIT.height()}}};
    return store(QStringLiteral("manifest.json"), QJsonDocument(manifest).toJson());
}

QString ShopExporter::summary() const
{
    QString text;
    for (const QString& name : mWritten) {
        const QFileInfo info(QDir(mOptions.output).filePath(name));
        text += QStringLiteral("  %1  %2\n").arg(name, -24).arg(FileUtils::fileSizeToString(info.size()));
    }
    return text + SpeedTestAnalyzer(mProbe).toString();
}
