#ifndef MARKINGTRANSLATOR_H
#define MARKINGTRANSLATOR_H

#include <QString>
#include <QTranslator>

// Marks every text it is asked for with its context.
class MarkingTranslator : public QTranslator
{
public:
    QString translate(const char* context, const char* source, const char*, int) const override
    {
        return QStringLiteral("<%1>%2").arg(QLatin1String(context), QString::fromUtf8(source));
    }
    bool isEmpty() const override { return false; }
};

#endif // MARKINGTRANSLATOR_H
