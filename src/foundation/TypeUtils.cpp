#include "TypeUtils.h"

#include "LarkLog.h"

namespace {
// Type names as the compiler gives them (already readable with this compiler).
QString demangle(const char* typeName)
{
    return QString::fromUtf8(typeName);
}
} // namespace

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
