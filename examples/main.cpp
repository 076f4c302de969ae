// The demo application: exports a small web shop with the library, as the shop application does.
//   larkutils_demo [--output folder] [--country FR] [--currency EUR] [--language en] [--photo file]
#include "DemoShop.h"
#include "ShopExporter.h"

#include <CoreApplicationUtils.h>
#include <CurrencyUtils.h>
#include <LocalisationTools.h>
#include <ProjectFileLocker.h>
#include <TaxeRatesUtils.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QImageReader>

#include <cstdio>

namespace {

int fail(const QString& message, int code)
{
    std::fprintf(stderr, "larkutils_demo: %s\n", qPrintable(message));
    return code;
}

} // namespace

int main(int argc, char* argv[])
{
    // Headless machines (CI, servers) have no display: run on the offscreen platform there.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QElapsedTimer clock;
    clock.start();

    CoreApplicationUtils::setApplicationCode(CoreApplicationUtils::CodeBazaro);
    CoreApplicationUtils::setApplicationCompanyName(QStringLiteral("Larkspire"));
    CoreApplicationUtils::setApplicationName(QStringLiteral("Bazaro Demo"));
    CoreApplicationUtils::setApplicationVersion(QStringLiteral("1.0.0"));
    CoreApplicationUtils::setApplicationRevision(QStringLiteral("demo"));
    if (!CoreApplicationUtils::initStartupVars())
        return fail(QStringLiteral("the application identity is not set"), 1);

    DemoShopData shop = defaultDemoShop();
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Exports a small web shop (PHP settings, JavaScript data, an HTML page "
                                                    "and images) with the LarkUtils library."));
    parser.addHelpOption();
    const QCommandLineOption outputOption({"o", "output"}, QStringLiteral("Export folder (default: ./shop-export)."), "folder",
                                          QStringLiteral("shop-export"));
    const QCommandLineOption countryOption("country", QStringLiteral("Buyer country, an EU code such as FR or DE (default: %1).").arg(shop.country),
                                           "code", shop.country);
    const QCommandLineOption currencyOption("currency", QStringLiteral("ISO 4217 currency code (default: %1).").arg(shop.currency),
                                            "code", shop.currency);
    const QCommandLineOption languageOption("language", QStringLiteral("Language of the page: en or fr (default: en)."),
                                            "code", QStringLiteral("en"));
    const QCommandLineOption photoOption("photo", QStringLiteral("A photo of your own (JPEG or PNG) instead of the generated one."),
                                         "file");
    parser.addOptions({outputOption, countryOption, currencyOption, languageOption, photoOption});
    if (!parser.parse(QCoreApplication::arguments()))
        return fail(parser.errorText() + QStringLiteral(" (see --help)"), 2);
    if (parser.isSet(QStringLiteral("help"))) {
        std::printf("%s", qPrintable(parser.helpText()));
        return 0;
    }
    if (!parser.positionalArguments().isEmpty())
        return fail(QStringLiteral("unexpected argument '%1' (see --help)").arg(parser.positionalArguments().first()), 2);

    shop.country = parser.value(countryOption).toUpper();
    if (TaxeRatesUtils::europeanTax(shop.country, 0) < 0)
        return fail(QStringLiteral("'%1' is not a country of the European Union VAT table").arg(shop.country), 2);
    shop.currency = parser.value(currencyOption).toUpper();
    if (!CurrencyUtils::listIsoCodes().contains(shop.currency))
        return fail(QStringLiteral("'%1' is not a known ISO 4217 currency code").arg(shop.currency), 2);

    ExportOptions options;
    options.output = QDir(parser.value(outputOption)).absolutePath();
    options.language = parser.value(languageOption);
    options.photo = parser.value(photoOption);
    if (!options.photo.isEmpty() && QImageReader(options.photo).size().isEmpty())
        return fail(QStringLiteral("'%1' is not a readable image").arg(options.photo), 2);

    QStringList languages{QStringLiteral("en")};
    for (const QLocale& locale : LocalisationTools::applicationLanguages())
        languages << locale.name().section(QLatin1Char('_'), 0, 0);
    if (!languages.contains(options.language))
        return fail(QStringLiteral("no translation for '%1' (available: %2)").arg(options.language, languages.join(", ")), 2);
    // English is the language of Qt's own texts: as "en_US" no Qt file is looked for.
    LocalisationTools::changeApplicationLanguage(options.language == QLatin1String("en") ? QStringLiteral("en_US")
                                                                                         : options.language);

    // One export at a time per folder, across processes.
    ProjectFileLocker locker;
    QString lockError;
    if (!locker.openNewProjectFolder(options.output, shop.name, &lockError))
        return fail(QStringLiteral("export refused: ") + lockError, 3);

    std::printf("Exporting \"%s\" (%s, %s, %s) into %s\n", qPrintable(shop.name), qPrintable(shop.country),
                qPrintable(shop.currency), qPrintable(options.language), qPrintable(options.output));
    std::fflush(stdout);
    ShopExporter exporter(shop, options);
    const bool done = exporter.run();
    locker.unlock();
    if (!done)
        return fail(QStringLiteral("export failed: ") + exporter.error(), 4);

    std::printf("Written:\n%s", qPrintable(exporter.summary()));
    std::printf("Done in %lld ms. Open %s in a browser.\n", clock.elapsed(),
                qPrintable(QDir(options.output).filePath(QStringLiteral("index.html"))));
    return 0;
}
