#include "GoogleFontItem.h"

#include <QJsonArray>
#include <QSharedData>
#include <QJsonValue>
#include <QVarLengthArray>

namespace {
const QString REGULAR = QStringLiteral("regular");
const QString ITALIC = QStringLiteral("italic");

bool containsVariant(const QStringList& variants, const QString& variant)
{
    return variants.contains(variant, Qt::CaseInsensitive);
}
}

class GoogleFontItemData : public QSharedData
{
public:
    QJsonObject mEntry;
    QMap<int, GoogleFontWeightDetail> mWeights;
};

GoogleFontItem::GoogleFontItem()
    : d(new GoogleFontItemData)
{
}

GoogleFontItem::GoogleFontItem(const QJsonObject& entry)
    : d(new GoogleFontItemData)
{
    d->mEntry = entry;
    analyze1();
}

GoogleFontItem::GoogleFontItem(const GoogleFontItem& other) = default;
GoogleFontItem& GoogleFontItem::operator=(const GoogleFontItem& other) = default;
GoogleFontItem::~GoogleFontItem() = default;

const QJsonObject& GoogleFontItem::object() const
{
    return d->mEntry;
}

QString GoogleFontItem::family() const
{
    return d->mEntry.value(QLatin1String("family")).toString();
}

QString GoogleFontItem::compressedFamily() const
{
    return family().remove(QLatin1Char(' '));
}

QStringList GoogleFontItem::allVariants() const
{
    QStringList variants;
    const QJsonArray array = d->mEntry.value(QLatin1String("variants")).toArray();
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
    return d->mWeights.keys();
}

const QMap<int, GoogleFontWeightDetail>& GoogleFontItem::weights() const
{
    return d->mWeights;
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
    // One pass over the variants. A weight is collected from what remains of a variant once
    // "italic" and "regular" are taken out; a flag is set only by a whole variant that is the
    // weight's own name ("700", "700italic", any letter case).
    d->mWeights.clear();
    QVarLengthArray<int, 24> found;
    QVarLengthArray<int, 24> upright;
    QVarLengthArray<int, 24> italics;
    bool regular = false;
    bool italic = false;
    const QJsonArray variants = d->mEntry.value(QLatin1String("variants")).toArray();
    for (const QJsonValue& value : variants) {
        // Lower-cased, a variant compares with the plain ASCII names as a case-insensitive test would.
        const QString variant = value.toString().toLower();
        QString number = variant;
        number.remove(ITALIC);
        number.remove(REGULAR);
        bool ok = false;
        const int weight = number.toInt(&ok);
        if (ok) {
            if (!found.contains(weight))
                found.append(weight);
            const QString name = QString::number(weight);
            if (variant == name)
                upright.append(weight);
            else if (variant.size() == name.size() + ITALIC.size() && variant.startsWith(name) && variant.endsWith(ITALIC))
                italics.append(weight);
        }
        if (variant.contains(REGULAR) && !found.contains(400))
            found.append(400);
        regular = regular || variant == REGULAR;
        italic = italic || variant == ITALIC;
    }
    for (int weight : found) {
        GoogleFontWeightDetail detail;
        detail.normal = upright.contains(weight);
        detail.italic = italics.contains(weight);
        // Weight 400 is named "regular" and "italic"; a numbered "400" counts as well, so that a
        // weight found in the variants is never left without any style.
        if (weight == 400) {
            detail.normal = detail.normal || regular;
            detail.italic = detail.italic || italic;
        }
        d->mWeights.insert(weight, detail);
    }
}
