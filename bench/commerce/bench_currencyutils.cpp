// CurrencyUtils: the first call, which builds the currency table from the locale database, and
// the look-ups that follow. Absolute times on this machine; the first call is measured in fresh
// child processes, since it happens once per process.

#include "BenchStats.h"
#include <CurrencyUtils.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
// Nanoseconds per call of f, median of several rounds.
template <typename F>
double perCall(F f, int calls)
{
    std::vector<double> rounds;
    for (int round = 0; round < 9; ++round) {
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < calls; ++i)
            f(i);
        rounds.push_back(double(timer.nsecsElapsed()) / calls);
    }
    return Bench::median(rounds);
}

volatile int sink = 0;
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (app.arguments().contains(QStringLiteral("--first-call"))) {
        QElapsedTimer timer;
        timer.start();
        const int numeric = CurrencyUtils::currencyNumericCode(QStringLiteral("EUR"));
        const qint64 elapsed = timer.nsecsElapsed();
        std::printf("%lld %d\n", static_cast<long long>(elapsed), numeric);
        return 0;
    }

    std::vector<double> firstCalls;
    for (int run = 0; run < 15; ++run) {
        QProcess child;
        child.start(app.applicationFilePath(), {QStringLiteral("--first-call")});
        if (!child.waitForFinished(30000) || child.exitCode() != 0) {
            std::printf("child run failed\n");
            return 1;
        }
        firstCalls.push_back(QString::fromLatin1(child.readAllStandardOutput()).section(QLatin1Char(' '), 0, 0).toDouble());
    }

    const QStringList codes = CurrencyUtils::listIsoCodes();
    const QString eur = QStringLiteral("EUR");
    const double symbol = perCall([&](int) { sink += CurrencyUtils::currencySymbol(eur, QLocale::CurrencySymbol).size(); }, 200000);
    const double anySymbol = perCall([&](int i) {
        sink += CurrencyUtils::currencySymbol(codes.at(i % codes.size()), QLocale::CurrencySymbol).size(); }, 200000);
    const double name = perCall([&](int) { sink += CurrencyUtils::currencySymbol(eur, QLocale::CurrencyDisplayName).size(); }, 200000);
    const double numeric = perCall([&](int) { sink += CurrencyUtils::currencyNumericCode(eur); }, 1000000);
    const double price = perCall([&](int i) { sink += CurrencyUtils::formatPrice(i * 0.37, eur).size(); }, 200000);

    std::printf("currency table: %d codes\n", codes.size());
    std::printf("first call (table build), median of 15 processes: %.1f us\n", Bench::median(firstCalls) / 1000.0);
    std::printf("currencySymbol(EUR, symbol):      %.0f ns/call\n", symbol);
    std::printf("currencySymbol(any code, symbol): %.0f ns/call\n", anySymbol);
    std::printf("currencySymbol(EUR, name):        %.0f ns/call\n", name);
    std::printf("currencyNumericCode(EUR):         %.0f ns/call\n", numeric);
    std::printf("formatPrice(x, EUR):              %.0f ns/call\n", price);
    return 0;
}
