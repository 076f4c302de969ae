#include "ErrorableCode.h"

#include "Errorable.h"

#include <QSharedData>

namespace {
const char* const DEFAULT_DOMAIN = "ErrorableCode : N0 ERROR";
}

class ErrorableCodeData : public QSharedData
{
public:
    QString mDomain = QString::fromLatin1(DEFAULT_DOMAIN);
    qint32 mCode = -1;
    QStringList mCallSteps;
    QString mDetail;
    QString mEnumText;
};

namespace {
// Default values share one data block: "no error" is made often and never allocates.
Q_GLOBAL_STATIC_WITH_ARGS(QSharedDataPointer<ErrorableCodeData>, sNoError, (new ErrorableCodeData))
}

ErrorableCode::ErrorableCode()
    : d(*sNoError)
{
}

ErrorableCode::ErrorableCode(const QString& domain, int code, const QString& enumText, const QString& detail)
    : d(new ErrorableCodeData)
{
    d->mDomain = domain;
    d->mCode = code;
    d->mDetail = detail;
    d->mEnumText = enumText;
}

ErrorableCode::ErrorableCode(const ErrorableCode& other) = default;
ErrorableCode& ErrorableCode::operator=(const ErrorableCode& other) = default;
ErrorableCode::~ErrorableCode() = default;

bool ErrorableCode::operator==(const ErrorableCode& other) const
{
    return d->mCode == other.d->mCode && d->mDomain == other.d->mDomain;
}

bool ErrorableCode::operator<(const ErrorableCode& other) const
{
    return (d->mDomain + QString::number(d->mCode)) < (other.d->mDomain + QString::number(other.d->mCode));
}

bool ErrorableCode::isValid() const
{
    return d->mCode != -1 || d->mDomain != QLatin1String(DEFAULT_DOMAIN);
}

void ErrorableCode::addCallStep(const QString& step)
{
    d->mCallSteps.append(step);
}

void ErrorableCode::addCallStepsNE(const QStringList& steps)
{
    for (const QString& step : steps)
        d->mCallSteps.append(step + QStringLiteral(" (NE)"));
}

const QString& ErrorableCode::enumText() const
{
    return d->mEnumText;
}

const QString& ErrorableCode::domain() const
{
    return d->mDomain;
}

int ErrorableCode::code() const
{
    return d->mCode;
}

const QString& ErrorableCode::detail() const
{
    return d->mDetail;
}

const QStringList& ErrorableCode::callSteps() const
{
    return d->mCallSteps;
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
    QString result = QStringLiteral("%1:%2 (#%3) (%4)").arg(d->mDomain, d->mEnumText, QString::number(d->mCode), d->mDetail);
    if (!withCallStack)
        return result;
    result += QStringLiteral("\n#Call Stack");
    if (d->mCallSteps.isEmpty())
        result += QStringLiteral(" empty");
    else
        result += QStringLiteral("\n=>") + d->mCallSteps.join(QStringLiteral("\n=>"));
    return result;
}
