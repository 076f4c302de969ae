// Demo application: sets an identity as an application's main() does and shows what follows.
#include <CoreApplicationUtils.h>
#include <Logwell.h>

#include <QApplication>
#include <QTextStream>

int main(int argc, char* argv[])
{
    // Headless machines (CI, servers) have no display: run on the offscreen platform there.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    CoreApplicationUtils::setApplicationCode(CoreApplicationUtils::CodeLattice);
    CoreApplicationUtils::setApplicationCompanyName(QStringLiteral("Larkspire"));
    CoreApplicationUtils::setApplicationName(QStringLiteral("Lattice"));
    CoreApplicationUtils::setApplicationVersion(QStringLiteral("1.0.0"));
    CoreApplicationUtils::setApplicationRevision(QStringLiteral("1"));
    if (!CoreApplicationUtils::initStartupVars())
        return 1;

    QTextStream out(stdout);
    out << "key:            " << CoreApplicationUtils::applicationKey() << '\n'
        << "short name:     " << CoreApplicationUtils::applicationShortName() << '\n'
        << "display name:   " << CoreApplicationUtils::applicationGuiName() << '\n'
        << "organisation:   " << QCoreApplication::organizationDomain() << '\n'
        << "documentation:  " << CoreApplicationUtils::urlDocumentation(false) << '\n'
        << "translated doc: " << CoreApplicationUtils::urlDocumentation(true) << '\n';
    out.flush();

    Logwell(Logwell::LogDebug, __FILE__, "main", __LINE__) << "a debug trace";
    Logwell(Logwell::LogInfo, __FILE__, "main", __LINE__) << "an information:" << 16;
    Logwell(Logwell::LogWarning, __FILE__, "main", __LINE__) << "a warning about" << QStringLiteral("a file");
    Logwell(Logwell::LogCritical, __FILE__, "main", __LINE__) << "a critical message, list" << QStringList{"a", "b"};
    return 0;
}
