#ifndef GOOGLEFONTITEM_H
#define GOOGLEFONTITEM_H

#include "larkutils_export.h"

#include <QCoreApplication>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QSharedDataPointer>
#include <QString>
#include <QStringList>

class GoogleFontItemData;

/// Whether one weight of a family exists upright and in italic.
class LARKUTILS_EXPORT GoogleFontWeightDetail
{
public:
    bool normal = false; ///< the weight exists upright
    bool italic = false; ///< the weight exists in italic
};

/// One family of the Google Fonts catalogue: the entry as read, its names, variants and weights.
class LARKUTILS_EXPORT GoogleFontItem
{
    Q_DECLARE_TR_FUNCTIONS(GoogleFontItem)
public:
    /// An empty entry without weights.
    GoogleFontItem();
    /// Keeps the entry whole and works out its weights once.
    explicit GoogleFontItem(const QJsonObject& entry);
    ///@{
    /// Implicitly shared: copies are cheap.
    GoogleFontItem(const GoogleFontItem& other);
    GoogleFontItem& operator=(const GoogleFontItem& other);
    ~GoogleFontItem();
    ///@}

    /// The entry as read, with the members not used here.
    const QJsonObject& object() const;
    /// The "family" member ('Open Sans'); empty when missing or not a string.
    QString family() const;
    /// The family without spaces ('OpenSans').
    QString compressedFamily() const;
    /// The "variants" array in file order; a non-string element gives an empty string.
    QStringList allVariants() const;
    /// Those of "regular", "italic", "700", "700italic" that the family offers, in that order.
    QStringList commonVariants() const;
    /// The weights that the variants name, ascending.
    QList<int> availableWeights() const;
    /// The upright/italic availability of each weight, ascending.
    const QMap<int, GoogleFontWeightDetail>& weights() const;

    /// A label for the user: "Normal weight", "Bold weight", "Lighter weight (300)"...,
    /// followed by " (Italic)" for italic.
    static QString labelWeight(int weight, bool italic);
    /// The label of a variant name such as "regular", "italic" or "700italic".
    static QString labelFromVariant(const QString& variant);

protected:
    /// Works out the weights from the variants.
    void analyze1();

private:
    QSharedDataPointer<GoogleFontItemData> d;
};

#endif // GOOGLEFONTITEM_H
