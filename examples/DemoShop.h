#ifndef DEMOSHOP_H
#define DEMOSHOP_H

// The shop the demo exports when it is given no shop of its own.

#include <QList>
#include <QString>

struct DemoProduct {
    QString id;          // stable identifier, also the base of the CSS class
    QString name;        // free text: quotes, ampersands, "<", accents, emoji
    QString description; // free text with line breaks
    double price = 0.0;  // in the shop's currency, VAT included
    int vatCategory = 0; // the rate category of the buyer's country
};

struct DemoShopData {
    QString name;
    QString slogan;
    QString country;  // buyer country (EU code)
    QString currency; // ISO 4217 code
    QList<DemoProduct> products;
};

// The embedded default shop.
DemoShopData defaultDemoShop();

#endif // DEMOSHOP_H
