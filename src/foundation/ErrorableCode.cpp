#include "ErrorableCode.h"

#include "Errorable.h"

namespace {
const char* const DEFAULT_DOMAIN = "ErrorableCode : N0 ERROR";
}

ErrorableCode::ErrorableCode()
    : mDomain(QString::fromLatin1(DEFAULT_DOMAIN))
    , mCode(-1)
{
}

ErrorableCode::ErrorableCode(const QString& domain, int code, const QString& enumText, const QString& detail)
    : mDomain(domain)
    , mCode(code)
    , mDetail(detail)
    , mEnumText(enumText)
{
}

bool ErrorableCode::operator==(const ErrorableCode& other) const
{
    return mCode == other.mCode && mDomain == other.mDomain;
}

bool ErrorableCode::operator<(const ErrorableCode& other) const
{
    return (mDomain + QString::number(mCode)) < (other.mDomain + QString::number(other.mCode));
}

bool ErrorableCode::isValid() const
{
    return !(*this == ErrorableCode());
}

void ErrorableCode::addCallStep(const QString& step)
{
    mCallSteps.append(step);
}

void ErrorableCode::addCallStepsNE(const QStringList& steps)
{
    for (const QString& step : steps)
        mCallSteps.append(step + QStringLiteral(" (NE)"));
}

const QString& ErrorableCode::enumText() const
{
    return mEnumText;
}

const QString ErrorableCode::errorMessage() const
{
    return Errorable::errorMessage(*this);
}

const QString ErrorableCode::overriddenErrorMessage() const
{
    return Errorable::overriddenErrorMessage(*this);
}

QString ErrorableCode::toString(bool withCallStack) const
{
    QString result = QStringLiteral("%1:%2 (#%3) (%4)").arg(mDomain, mEnumText, QString::number(mCode), mDetail);
    if (!withCallStack)
        return result;
    result += QStringLiteral("\n#Call Stack");
    if (mCallSteps.isEmpty())
        result += QStringLiteral(" empty");
    else
        result += QStringLiteral("\n=>") + mCallSteps.join(QStringLiteral("\n=>"));
    return result;
}
