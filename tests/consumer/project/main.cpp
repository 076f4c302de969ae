// A tiny application built against the installed package.
#include <CoreApplicationUtils.h>
#include <Errorable.h>
#include <Logwell.h>

#include <QCoreApplication>
#include <QLibraryInfo>
#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    CoreApplicationUtils::setApplicationCode(CoreApplicationUtils::CodeFlare);
    CoreApplicationUtils::setApplicationName(QStringLiteral("Consumer"));
    CoreApplicationUtils::setApplicationCompanyName(QStringLiteral("Larkspire"));
    if (!CoreApplicationUtils::initStartupVars())
        return 1;

    QString received;
    Logwell::setHandler([&](const Logwell::Message& message) { received = message.text; });
    Logwell(Logwell::LogInfo, __FILE__, "main", __LINE__) << "consumer" << 1;
    Logwell::setHandler(Logwell::Handler());

    const ErrorableCode code(QStringLiteral("Consumer"), 3, QStringLiteral("E"));
    if (received != QLatin1String("consumer 1") || !code.isValid()
        || CoreApplicationUtils::applicationKey() != QLatin1String("flare")
        || QCoreApplication::organizationDomain() != QLatin1String("larkspire.com"))
        return 2;
    // The package brought the Qt it was built with, not another one.
    if (QLibraryInfo::version().majorVersion() != QT_VERSION_MAJOR)
        return 3;
    std::printf("consumer ok (Qt %s): %s\n", qVersion(), qPrintable(CoreApplicationUtils::applicationGuiName()));
    return 0;
}
