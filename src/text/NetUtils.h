#ifndef NETUTILS_H
#define NETUTILS_H

#include "larkutils_export.h"

#include <QHostAddress>
#include <QList>
#include <QRegularExpression>
#include <QString>

/// E-mail and web address checks with fixed expressions, and the machine's local address.
class LARKUTILS_EXPORT NetUtils
{
public:
    /// Longest accepted e-mail address, in UTF-16 code units.
    static const int MAX_EMAIL_LENTGH;

    /// The expression of one e-mail address (anchored, Unicode word characters).
    static QRegularExpression emailAddressRx();
    /// The expression of a list of addresses separated by "," or ";".
    static QRegularExpression emailAddressMultiRx();
    /// The expression of an http(s) address; the scheme is optional unless schemeRequired.
    static QRegularExpression webAddressRx(bool schemeRequired);

    /// Whether text is one e-mail address of at most MAX_EMAIL_LENTGH characters.
    static bool checkEmailAdress(const QString& text);
    /// Whether text is a web address with its http:// or https:// scheme.
    static bool checkInternetAdress(const QString& text);

    /// The first IPv4 address of the machine that begins with "192" (not loopback); empty if none.
    static QString mainIpAddress();
    /// The same choice made among the given addresses, in their order.
    static QString mainIpAddress(const QList<QHostAddress>& addresses);
};

#endif // NETUTILS_H
