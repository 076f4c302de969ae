<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr_FR">
<context><name>Demo</name><message><source>Hello</source><translation>Bonjour</translation></message></context>
<context><name>LocalisationTools</name><message><source>Duplicate</source><translation>Dupliquer</translation></message></context>
<context><name>LocalisationTools</name><message><source>Unselect All</source><translation>Tout désélectionner</translation></message></context>
</TS>
