#include <ChildProcess.h>
#include <LogCapture.h>
#include <Logwell.h>
#include <TypeUtils.h>

#include "LarkLog.h"

#include <QtConcurrent/QtConcurrent>
#include <QtTest>

namespace {

struct Sample {
    static void member() { LARK_WARNING << "from a member"; }
    template <typename T>
    static QList<T> templated(const T& value) { LARK_INFO << "templated"; return {value}; }
};

void freeFunction()
{
    LARK_DEBUG << "free";
}

} // namespace

class tst_Logwell : public QObject
{
    Q_OBJECT
private slots:
    void streamsItemsWithSingleSpaces_data();
    void streamsItemsWithSingleSpaces();
    void carriesTypeFileFunctionAndLine();
    void qualifiedFunctionName_data();
    void qualifiedFunctionName();
    void macrosNameTheQualifiedFunction();
    void setHandlerReturnsPreviousAndEmptyRestoresDefault();
    void defaultSinkFormat();
    void concurrentEmission();
    void categoryRules_data();
    void categoryRules();
    void libraryMessagesCarryTheirSubsystem();
    void environmentRulesComeLast();
};

void tst_Logwell::streamsItemsWithSingleSpaces_data()
{
    QTest::addColumn<int>("which");
    QTest::addColumn<QString>("expected");
    QTest::newRow("texts") << 0 << "cannot open file /tmp/a b";
    QTest::newRow("numbers") << 1 << "count 42 -7 3000000000 2.5";
    QTest::newRow("list") << 2 << "files (a, b c, d) done";
    QTest::newRow("empty list") << 3 << "files ()";
    QTest::newRow("size") << 4 << "size QSize(640, 480) scaled";
    QTest::newRow("line break") << 5 << "first\nsecond";
    QTest::newRow("bool") << 6 << "flag true false";
    QTest::newRow("chars") << 7 << "chars x ; \t end";
    QTest::newRow("null pointer") << 8 << "target (nullptr) end";
    // Numbers, pointers and texts keep their forms beside the char and null pointer items.
    QTest::newRow("compatible") << 9 << "0 5 200 0x0 text";
}

void tst_Logwell::streamsItemsWithSingleSpaces()
{
    QFETCH(int, which);
    QFETCH(QString, expected);
    LogCapture logs;
    {
        Logwell log(Logwell::LogWarning, "f.cpp", "F::f", 1);
        switch (which) {
        case 0: log << "cannot open file" << QStringLiteral("/tmp/a b"); break;
        case 1: log << "count" << 42 << -7 << 3000000000LL << 2.5; break;
        case 2: log << "files" << QStringList{"a", "b c", "d"} << "done"; break;
        case 3: log << "files" << QStringList(); break;
        case 4: log << "size" << QSize(640, 480) << "scaled"; break;
        case 5: log << "first" << "\n" << "second"; break;
        case 6: log << "flag" << true << false; break;
        case 7: log << "chars" << 'x' << ';' << '\t' << "end"; break;
        case 8: log << "target" << nullptr << "end"; break;
        case 9: {
            const int* none = nullptr;
            log << 0 << static_cast<signed char>(5) << static_cast<unsigned char>(200) << none << "text";
            break;
        }
        }
    }
    QCOMPARE(logs.count(), 1);
    QCOMPARE(logs.messages().first().text, expected);
}

void tst_Logwell::carriesTypeFileFunctionAndLine()
{
    LogCapture logs;
    int pointee = 0;
    Logwell(Logwell::LogCritical, "sub\\File.cpp", "Errorable::_setError", 77) << "pointer" << static_cast<const void*>(&pointee);
    const Logwell::Message message = logs.messages().value(0);
    QCOMPARE(message.type, Logwell::LogCritical);
    QCOMPARE(message.file, QStringLiteral("sub\\File.cpp"));
    QCOMPARE(message.function, QStringLiteral("Errorable::_setError"));
    QCOMPARE(message.line, 77);
    QVERIFY(message.text.startsWith(QStringLiteral("pointer 0x")));
}

void tst_Logwell::qualifiedFunctionName_data()
{
    QTest::addColumn<QString>("signature");
    QTest::addColumn<QString>("expected");
    QTest::newRow("static") << "static bool FileUtils::forceCopy(const QString&, const QString&, QString*)" << "FileUtils::forceCopy";
    QTest::newRow("void") << "void Errorable::_setError(const ErrorableCode&)" << "Errorable::_setError";
    QTest::newRow("nested") << "static bool FileUtils::old::removeDirectory(const QString&)" << "FileUtils::old::removeDirectory";
    QTest::newRow("template return") << "QMap<QString, QList<int> > A::b(int)" << "A::b";
    QTest::newRow("function return") << "std::function<void(int)> A::handler() const" << "A::handler";
    QTest::newRow("pointer return") << "QScreen* ApplicationUtils::screenAt(const QPoint&)" << "ApplicationUtils::screenAt";
    QTest::newRow("constructor") << "Thread::Thread(QObject*)" << "Thread::Thread";
    QTest::newRow("destructor") << "virtual Thread::~Thread()" << "Thread::~Thread";
    QTest::newRow("lambda") << "Thread::start()::<lambda()>" << "Thread::start";
    QTest::newRow("anonymous") << "void {anonymous}::helper(int)" << "helper";
    QTest::newRow("call operator") << "bool A::operator()(int) const" << "A::operator()";
    QTest::newRow("less operator") << "bool ErrorableCode::operator<(const ErrorableCode&) const" << "ErrorableCode::operator<";
    QTest::newRow("plain") << "main" << "main";
}

void tst_Logwell::qualifiedFunctionName()
{
    QFETCH(QString, signature);
    QFETCH(QString, expected);
    QCOMPARE(Logwell::qualifiedFunctionName(signature.toUtf8().constData()), expected);
}

void tst_Logwell::macrosNameTheQualifiedFunction()
{
    LogCapture logs;
    Sample::member();
    Sample::templated(3);
    freeFunction();
    const QList<Logwell::Message> messages = logs.messages();
    QCOMPARE(messages.size(), 3);
    QCOMPARE(messages.at(0).function, QStringLiteral("Sample::member"));
    QCOMPARE(messages.at(0).type, Logwell::LogWarning);
    QVERIFY(messages.at(0).file.endsWith(QStringLiteral("tst_logwell.cpp")));
    QCOMPARE(messages.at(1).function, QStringLiteral("Sample::templated"));
    QCOMPARE(messages.at(1).type, Logwell::LogInfo);
    QCOMPARE(messages.at(2).function, QStringLiteral("freeFunction"));
    QCOMPARE(messages.at(2).type, Logwell::LogDebug);
}

void tst_Logwell::setHandlerReturnsPreviousAndEmptyRestoresDefault()
{
    QStringList first, second;
    Logwell::Handler original = Logwell::setHandler([&](const Logwell::Message& m) { first << m.text; });
    QVERIFY(!original); // the default sink
    Logwell(Logwell::LogInfo, "f", "f", 1) << "one";
    Logwell::Handler previous = Logwell::setHandler([&](const Logwell::Message& m) { second << m.text; });
    QVERIFY(bool(previous));
    Logwell(Logwell::LogInfo, "f", "f", 1) << "two";
    previous(Logwell::Message{Logwell::LogInfo, {}, {}, 0, QStringLiteral("direct"), {}});
    QVERIFY(bool(Logwell::setHandler(Logwell::Handler())));
    Logwell(Logwell::LogInfo, "f", "f", 1) << "three (default sink)";
    QCOMPARE(first, (QStringList{"one", "direct"}));
    QCOMPARE(second, QStringList{"two"});
}

void tst_Logwell::defaultSinkFormat()
{
    const Logwell::Message message{Logwell::LogWarning, QStringLiteral("src\\files\\FileUtils.cpp"),
                                   QStringLiteral("FileUtils::forceCopy"), 87, QStringLiteral("cannot copy a"), {}};
    QCOMPARE(Logwell::formatMessage(message), QStringLiteral("W FileUtils::forceCopy (FileUtils.cpp:87) cannot copy a"));
}

void tst_Logwell::concurrentEmission()
{
    LogCapture logs;
    const int threads = 4, perThread = 500;
    QList<QFuture<void>> futures;
    for (int t = 0; t < threads; ++t) {
        futures << QtConcurrent::run([t] {
            for (int i = 0; i < perThread; ++i)
                Logwell(Logwell::LogDebug, "f", "f", i) << "thread" << t << "item" << i;
        });
    }
    for (QFuture<void>& future : futures)
        future.waitForFinished();
    QCOMPARE(logs.count(), threads * perThread);
    for (const Logwell::Message& message : logs.messages())
        QVERIFY2(message.text.contains(QRegularExpression(QStringLiteral("^thread \\d item \\d+$"))), qPrintable(message.text));
}

void tst_Logwell::categoryRules_data()
{
    QTest::addColumn<QString>("rules");
    QTest::addColumn<QString>("category");
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("emitted");
    const int debug = Logwell::LogDebug, info = Logwell::LogInfo, warning = Logwell::LogWarning,
              critical = Logwell::LogCritical;
    QTest::newRow("no rules") << "" << "lark.files" << debug << true;
    QTest::newRow("below the level") << "lark.files=warning" << "lark.files" << info << false;
    QTest::newRow("at the level") << "lark.files=warning" << "lark.files" << warning << true;
    QTest::newRow("other category") << "lark.files=critical" << "lark.images" << debug << true;
    QTest::newRow("prefix") << "lark.*=critical" << "lark.images" << warning << false;
    QTest::newRow("prefix is not the name") << "lark.*=off" << "lark" << debug << true;
    QTest::newRow("later rule wins") << "lark.*=critical;lark.files=debug" << "lark.files" << debug << true;
    QTest::newRow("later prefix wins") << "lark.files=debug\nlark.*=critical" << "lark.files" << warning << false;
    QTest::newRow("off") << "lark.files=off" << "lark.files" << critical << false;
    QTest::newRow("star for all") << "*=critical" << "" << warning << false;
    QTest::newRow("no category, named rule") << "lark=off" << "" << critical << true;
    QTest::newRow("spaces and case") << " lark.files = Warning ; " << "lark.files" << info << false;
    QTest::newRow("unknown level ignored") << "lark.files=loud" << "lark.files" << debug << true;
    QTest::newRow("inner star ignored") << "lark.*.x=off;a*b=off" << "lark.a.x" << critical << true;
    QTest::newRow("no pattern ignored") << "=off" << "lark" << critical << true;
}

void tst_Logwell::categoryRules()
{
    QFETCH(QString, rules);
    QFETCH(QString, category);
    QFETCH(int, type);
    QFETCH(bool, emitted);
    LogCapture logs;
    Logwell::setFilterRules(rules);
    const QByteArray name = category.toUtf8();
    const Logwell::LogType logType = Logwell::LogType(type);
    QCOMPARE(Logwell::isEnabled(category.isEmpty() ? nullptr : name.constData(), logType), emitted);
    Logwell(category.isEmpty() ? nullptr : name.constData(), logType, "f", "f", 1) << "item";
    Logwell::setFilterRules(QString());
    QCOMPARE(logs.count(), emitted ? 1 : 0);
    if (emitted)
        QCOMPARE(logs.messages().first().category, category);
}

void tst_Logwell::libraryMessagesCarryTheirSubsystem()
{
    LogCapture logs;
    TypeUtils::name(nullptr);  // logs a critical message in the foundation
    QCOMPARE(logs.count(), 1);
    QCOMPARE(logs.messages().first().category, QStringLiteral("lark.foundation"));
    QCOMPARE(logs.messages().first().function, QStringLiteral("TypeUtils::name"));

    Logwell::setCategoryLevel(QStringLiteral("lark.foundation"), Logwell::LogCritical);
    TypeUtils::name(nullptr);
    QCOMPARE(logs.count(), 2);  // critical is still emitted
    Logwell::setFilterRules(QStringLiteral("lark.*=off"));
    TypeUtils::name(nullptr);
    Sample::member();  // the tests' own category "lark" is not under "lark.*"
    Logwell::setFilterRules(QString());
    QCOMPARE(logs.count(), 3);
    QCOMPARE(logs.messages().last().text, QStringLiteral("from a member"));
}

void tst_Logwell::environmentRulesComeLast()
{
    if (qEnvironmentVariableIsSet("LOGWELL_TEST_CHILD")) {
        // The child: its application rules lose against the environment's.
        Logwell::setFilterRules(QStringLiteral("demo.shown=off;demo.app=off"));
        Logwell("demo.hidden", Logwell::LogCritical, "f", "f", 1) << "hidden-by-environment";
        Logwell("demo.shown", Logwell::LogDebug, "f", "f", 2) << "shown-by-environment";
        Logwell("demo.app", Logwell::LogCritical, "f", "f", 3) << "hidden-by-application";
        Logwell("demo.other", Logwell::LogInfo, "f", "f", 4) << "shown-untouched";
        return;
    }
    const ChildProcess::Result child = ChildProcess::run(
        {QStringLiteral("environmentRulesComeLast")},
        {QStringLiteral("LOGWELL_TEST_CHILD=1"), QStringLiteral("LOGWELL_LEVEL=debug"),
         QStringLiteral("LOGWELL_RULES=demo.hidden=off;demo.shown=debug")},
        30000);
    QVERIFY(child.finished);
    QCOMPARE(child.exitCode, 0);
    const QString output = QString::fromUtf8(child.standardError);
    QVERIFY2(output.contains(QLatin1String("D f (f:2) shown-by-environment")), qPrintable(output));
    QVERIFY2(output.contains(QLatin1String("I f (f:4) shown-untouched")), qPrintable(output));
    QVERIFY2(!output.contains(QLatin1String("hidden-by")), qPrintable(output));
}

QTEST_GUILESS_MAIN(tst_Logwell)
#include "tst_logwell.moc"
