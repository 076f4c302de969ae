#include "DemoShop.h"

DemoShopData defaultDemoShop()
{
    DemoShopData shop;
    shop.name = QStringLiteral("L'Atelier d'Émilie & Fils");
    shop.slogan = QStringLiteral("Objets \"faits main\" < 100 km — depuis 1987");
    shop.country = QStringLiteral("FR");
    shop.currency = QStringLiteral("EUR");
    shop.products = {
        {QStringLiteral("mug_cafe"), QStringLiteral("Mug « Café & Crème » ☕"),
         QStringLiteral("Grès émaillé, 33 cl.\nLavable au lave-vaisselle."), 14.9, 0},
        {QStringLiteral("livre_recettes"), QStringLiteral("Livre \"Les 100 recettes\" d'Hélène"),
         QStringLiteral("Relié, 240 pages.\nPréface de l'auteure.\nÉdition 2026."), 29.0, 2},
        {QStringLiteral("affiche_lt"), QStringLiteral("Affiche <b>3 < 4</b> & plus 🦊"),
         QStringLiteral("Format 50 × 70 cm.\nPapier recyclé \\ encres végétales, $5 de port."), 19.5, 0},
        {QStringLiteral("the_vert"), QStringLiteral("Thé vert Sencha — boîte 100 g"),
         QStringLiteral("Récolte de printemps.\n</p><script>alert('x')</script>"), 8.25, 2},
    };
    return shop;
}
