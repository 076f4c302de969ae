<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context><name>ShopExporter</name>
<message><source>VAT included (%1 %)</source><translation>VAT included (%1 %)</translation></message>
<message><source>Add to cart</source><translation>Add to cart</translation></message>
<message><source>Prices in %1, buyer country %2</source><translation>Prices in %1, buyer country %2</translation></message>
</context></TS>
