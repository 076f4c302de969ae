#include "GoogleFontItem.h"

#include <QJsonArray>
#include <QJsonValue>

namespace {
const QString REGULAR = QStringLiteral("regular");
const QString ITALIC = QStringLiteral("italic");

bool containsVariant(const QStringList& variants, const QString& variant)
{
    return variants.contains(variant, Qt::CaseInsensitive);
}
}

GoogleFontItem::GoogleFontItem() = default;

GoogleFontItem::GoogleFontItem(const QJsonObject& entry)
    : mEntry(entry)
{
    analyze1();
}

const QJsonObject& GoogleFontItem::object() const
{
    return mEntry;
}

QString GoogleFontItem::family() const
{
    return mEntry.value(QLatin1String("family")).toString();
}

QString GoogleFontItem::compressedFamily() const
{
    return family().remove(QLatin1Char(' '));
}

QStringList GoogleFontItem::allVariants() const
{
    QStringList variants;
    const QJsonArray array = mEntry.value(QLatin1String("variants")).toArray();
    variants.reserve(array.size());
    for (const QJsonValue& value : array)
        variants << value.toString();
    return variants;
}

QStringList GoogleFontItem::commonVariants() const
{
    const QStringList variants = allVariants();
    QStringList common;
    for (const QString& candidate : {REGULAR, ITALIC, QStringLiteral("700"), QStringLiteral("700italic")}) {
        if (containsVariant(variants, candidate))
            common << candidate;
    }
    return common;
}

QList<int> GoogleFontItem::availableWeights() const
{
    return mWeights.keys();
}

const QMap<int, GoogleFontWeightDetail>& GoogleFontItem::weights() const
{
    return mWeights;
}

QString GoogleFontItem::labelWeight(int weight, bool italic)
{
    QString label;
    if (weight < 400)
        label = tr("Lighter weight (%1)").arg(weight);
    if (weight > 400)
        label = tr("Bolder weight (%1)").arg(weight);
    if (weight == 400)
        label = tr("Normal weight");
    if (weight == 700)
        label = tr("Bold weight");
    if (italic)
        label += QLatin1String(" (Italic)");
    return label;
}

QString GoogleFontItem::labelFromVariant(const QString& variant)
{
    QString name = variant.trimmed();
    if (name.compare(REGULAR, Qt::CaseInsensitive) == 0)
        return labelWeight(400, false);
    if (name.compare(ITALIC, Qt::CaseInsensitive) == 0)
        return labelWeight(400, true);
    bool italic = false;
    if (name.contains(ITALIC, Qt::CaseInsensitive)) {
        name.remove(ITALIC, Qt::CaseInsensitive);
        italic = true;
    }
    // Not a number (an empty text, "bold"): weight 0.
    return labelWeight(name.toInt(), italic);
}

void GoogleFontItem::analyze1()
{
    mWeights.clear();
    const QStringList variants = allVariants();
    QList<int> found;
    for (const QString& variant : variants) {
        QString number = variant.toLower();
        number.remove(ITALIC);
        number.remove(REGULAR);
        bool ok = false;
        const int weight = number.toInt(&ok);
        if (ok && !found.contains(weight))
            found << weight;
        if (variant.contains(REGULAR, Qt::CaseInsensitive) && !found.contains(400))
            found << 400;
    }
    for (int weight : qAsConst(found)) {
        GoogleFontWeightDetail detail;
        const QString number = QString::number(weight);
        detail.normal = containsVariant(variants, number);
        detail.italic = containsVariant(variants, number + ITALIC);
        // Weight 400 is named "regular" and "italic"; a numbered "400" counts as well, so that a
        // weight found in the variants is never left without any style.
        if (weight == 400) {
            detail.normal = detail.normal || containsVariant(variants, REGULAR);
            detail.italic = detail.italic || containsVariant(variants, ITALIC);
        }
        mWeights.insert(weight, detail);
    }
}
