#include "TypeUtils.h"

#include "LarkLog.h"

QString TypeUtils::demangle(const char* typeName)
{
    return QString::fromUtf8(typeName);
}

QString TypeUtils::name(const char* typeName)
{
    if (!typeName) {
        LARK_CRITICAL << "null type name";
        return QString();
    }
    QString result = demangle(typeName);
    result.remove(QStringLiteral("class "));
    result.replace(QStringLiteral(" *"), QStringLiteral("*"));
    return result;
}
