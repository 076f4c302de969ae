#include "MetaObjectUtils.h"

#include "LarkLog.h"

#include <QMetaMethod>
#include <QMetaObject>
#include <QObject>

namespace {

QString normalizedName(const QString& name)
{
    return name.simplified().remove(QLatin1Char(' '));
}

bool hasSignature(const QMetaObject* meta, const QByteArray& signature)
{
    for (int i = 0; i < meta->methodCount(); ++i) {
        if (meta->method(i).methodSignature() == signature)
            return true;
    }
    return false;
}

} // namespace

bool MetaObjectUtils::hasMethod(QObject* object, const char* signature)
{
    if (!object || !signature)
        return false;
    QString simplified = QString::fromLatin1(signature).simplified();
    if (simplified.startsWith(QLatin1Char('1')) || simplified.startsWith(QLatin1Char('2')))
        simplified.remove(0, 1);
    const QMetaObject* meta = object->metaObject();
    if (hasSignature(meta, normalizedName(simplified).toLatin1()))
        return true;
    // Removing every space breaks types such as "const QString &": try Qt's own normal form too.
    return hasSignature(meta, QMetaObject::normalizedSignature(simplified.toLatin1().constData()));
}

bool MetaObjectUtils::invokeSignalOrSlot(QObject* object, const QString& name)
{
    QString method = normalizedName(name);
    if (method.startsWith(QLatin1Char('1')) || method.startsWith(QLatin1Char('2'))) {
        method.remove(0, 1);
        method.remove(QStringLiteral("()"));
    }
    if (!object || !QMetaObject::invokeMethod(object, method.toLatin1().constData())) {
        LARK_CRITICAL << "Impossible dinvoquer " << method << " sur " << static_cast<const void*>(object);
        return false;
    }
    return true;
}

bool MetaObjectUtils::invokeSignalOrSlot(QObject* object, const char* name)
{
    if (!name) {
        LARK_CRITICAL << "null name";
        return false;
    }
    return invokeSignalOrSlot(object, QString::fromLatin1(name));
}

bool MetaObjectUtils::invokeSlotReturningBoolean(QObject* object, const QString& name, bool& result)
{
    QString method = normalizedName(name);
    if (method.startsWith(QLatin1Char('1'))) {
        method.remove(0, 1);
        method.remove(QStringLiteral("()"));
    }
    bool value = false;
    if (!object
        || !QMetaObject::invokeMethod(object, method.toLatin1().constData(), Qt::DirectConnection,
                                      Q_RETURN_ARG(bool, value))) {
        LARK_CRITICAL << "Impossible dinvoquer " << method << " sur " << static_cast<const void*>(object);
        return false;
    }
    result = value;
    return true;
}
