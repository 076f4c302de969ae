#include "NetUtils.h"

#include <QNetworkInterface>

const int NetUtils::MAX_EMAIL_LENTGH = 254;

namespace {

const char EMAIL_PATTERN[] =
    R"(^([\d\w]+([\d\w]*[-._+])*[\d\w]+@[\d\w]+([-.][\d\w]+)*([\d\w]*[.])[\w]{2,12})$)";
const char MULTI_TAIL[] = R"()(\s*[,;]\s*(%1))*)";
const char WEB_PATTERN[] =
    R"(^(https?:\/\/)%1(([\.\d\w-]+)|((\d{1,3}\.){3}\d{1,3}))(:\d{1,5})?(/[\~\/\w\.-]*)*\/?$)";

QRegularExpression unicodeRx(const QString& pattern)
{
    return QRegularExpression(pattern, QRegularExpression::UseUnicodePropertiesOption);
}

bool matches(const QRegularExpression& expression, const QString& text)
{
    return expression.match(text).hasMatch();
}

} // namespace

QRegularExpression NetUtils::emailAddressRx()
{
    static const QRegularExpression expression = unicodeRx(QString::fromLatin1(EMAIL_PATTERN));
    return expression;
}

QRegularExpression NetUtils::emailAddressMultiRx()
{
    static const QRegularExpression expression = [] {
        QString pattern = QString::fromLatin1(EMAIL_PATTERN);
        const QString inner = pattern.mid(1, pattern.size() - 2);
        pattern.insert(1, QLatin1Char('('));
        pattern.insert(pattern.size() - 1, QString::fromLatin1(MULTI_TAIL).arg(inner));
        return unicodeRx(pattern);
    }();
    return expression;
}

QRegularExpression NetUtils::webAddressRx(bool schemeRequired)
{
    static const QRegularExpression required = unicodeRx(QString::fromLatin1(WEB_PATTERN).arg(QString()));
    static const QRegularExpression optional = unicodeRx(QString::fromLatin1(WEB_PATTERN).arg(QLatin1String("?")));
    return schemeRequired ? required : optional;
}

bool NetUtils::checkEmailAdress(const QString& text)
{
    if (text.size() > MAX_EMAIL_LENTGH)
        return false;
    return matches(emailAddressRx(), text);
}

bool NetUtils::checkInternetAdress(const QString& text)
{
    return matches(webAddressRx(true), text);
}

QString NetUtils::mainIpAddress()
{
    return mainIpAddress(QNetworkInterface::allAddresses());
}

QString NetUtils::mainIpAddress(const QList<QHostAddress>& addresses)
{
    for (const QHostAddress& address : addresses) {
        if (address.protocol() != QAbstractSocket::IPv4Protocol || address == QHostAddress(QHostAddress::LocalHost))
            continue;
        const QString text = address.toString();
        if (text.startsWith(QLatin1String("192")))
            return text;
    }
    return QString();
}
