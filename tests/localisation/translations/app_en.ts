<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context><name>Demo</name><message><source>Hello</source><translation>Hello (en)</translation></message></context>
<context><name>Demo</name><message><source>Only in English</source><translation>English fallback</translation></message></context>
</TS>
