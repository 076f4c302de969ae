<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr_FR">
<context><name>ShopExporter</name>
<message><source>VAT included (%1 %)</source><translation>TVA incluse (%1 %)</translation></message>
<message><source>Add to cart</source><translation>Ajouter au panier</translation></message>
<message><source>Prices in %1, buyer country %2</source><translation>Prix en %1, pays de l’acheteur %2</translation></message>
</context></TS>
