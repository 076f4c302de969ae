#ifndef MIXEDTEXT_H
#define MIXEDTEXT_H

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QString>
#include <QStringList>

#include <algorithm>
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

// Median of several timed runs of job, in seconds.
template <typename Job>
double medianSeconds(int repetitions, Job job)
{
    std::vector<double> times;
    for (int i = 0; i < repetitions; ++i) {
        QElapsedTimer timer;
        timer.start();
        job();
        times.push_back(double(timer.nsecsElapsed()) / 1e9);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

#endif // MIXEDTEXT_H
