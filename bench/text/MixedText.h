#ifndef MIXEDTEXT_H
#define MIXEDTEXT_H

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QString>
#include <QStringList>

#include "BenchStats.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

// Mixed European text for the text benchmarks: words of several languages, with punctuation
// and line breaks, drawn with a fixed seed until the UTF-8 size reaches bytes.
inline QString mixedEuropeanText(int bytes)
{
    const QStringList words = QString::fromUtf8(
        "Le cœur a ses raisons que la raison ne connaît point. Élan façade crème brûlée déjà "
        "Übergrößenträger Straße Äpfel Öl grün schön Mädchen "
        "El niño comió jalapeños mañana señor corazón acción "
        "Zażółć gęślą jaźń źdźbło Łódź "
        "Příliš žluťoučký kůň úpěl ďábelské ódy "
        "Smörgåsbord räksmörgås blåbærsyltetøy Æbleskiver "
        "Ψυχή καρδιά Москва привет "
        "the quick brown fox jumps over the lazy dog, \"quoted\" & <tagged> text 42 2026-12-10")
        .split(QLatin1Char(' '));
    QRandomGenerator random(20261210);
    QString text;
    int size = 0;
    while (size < bytes) {
        const QString& word = words.at(random.bounded(words.size()));
        text += word;
        size += word.toUtf8().size() + 1;
        text += random.bounded(12) == 0 ? QLatin1Char('\n') : QLatin1Char(' ');
    }
    return text;
}

inline double secondsOf(const std::function<void()>& job)
{
    QElapsedTimer timer;
    timer.start();
    job();
    return double(timer.nsecsElapsed()) / 1e9;
}

// Times the peer and each candidate in turn, repetitions times, so that a busy machine slows
// them alike; prints the median throughput of each and the median of the per-round time ratios.
inline void compareWithPeer(double megabytes, int repetitions, const char* peerName, const std::function<void()>& peer,
                            const std::vector<std::pair<const char*, std::function<void()>>>& candidates)
{
    std::vector<double> peerTimes;
    std::vector<std::vector<double>> times(candidates.size());
    std::vector<std::vector<double>> ratios(candidates.size());
    for (int r = 0; r < repetitions; ++r) {
        const double p = secondsOf(peer);
        peerTimes.push_back(p);
        for (size_t c = 0; c < candidates.size(); ++c) {
            const double t = secondsOf(candidates[c].second);
            times[c].push_back(t);
            ratios[c].push_back(t / p);
        }
    }
    std::printf("text: %.1f MB (UTF-8), %d rounds, medians\n", megabytes, repetitions);
    std::printf("%-44s %9.1f MB/s\n", peerName, megabytes / Bench::median(peerTimes));
    for (size_t c = 0; c < candidates.size(); ++c)
        std::printf("%-44s %9.1f MB/s  time ratio %.2f\n", candidates[c].first, megabytes / Bench::median(times[c]),
                    Bench::median(ratios[c]));
}

#endif // MIXEDTEXT_H
