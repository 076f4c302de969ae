#ifndef ERRORABLECODE_H
#define ERRORABLECODE_H

#include "larkutils_export.h"

#include <QSharedDataPointer>
#include <QString>
#include <QStringList>

class ErrorableCodeData;

/// One error: domain and number identify it; call steps record the way it took up the object tree.
class LARKUTILS_EXPORT ErrorableCode
{
public:
    /// The default value stands for "no error".
    ErrorableCode();
    /// The error `code` of `domain`, with the name of its enumerator and a detail for this case.
    ErrorableCode(const QString& domain, int code, const QString& enumText = QString(),
                  const QString& detail = QString());
    ///@{
    /// Implicitly shared: copies are cheap.
    ErrorableCode(const ErrorableCode& other);
    ErrorableCode& operator=(const ErrorableCode& other);
    ~ErrorableCode();
    ///@}

    ///@{
    /// Same domain and number; call steps, detail and enum text do not count.
    bool operator==(const ErrorableCode& other) const;
    bool operator!=(const ErrorableCode& other) const { return !(*this == other); }
    ///@}
    /// Orders by the text of domain followed by the number (the key of the message tables).
    bool operator<(const ErrorableCode& other) const;

    /// False for the default value.
    bool isValid() const;

    /// Appends one step to the way the error took.
    void addCallStep(const QString& step);
    /// Appends each step with " (NE)" behind it.
    void addCallStepsNE(const QStringList& steps);

    ///@{
    /// Accessors of the fields.
    const QString& enumText() const;
    const QString& domain() const;
    int code() const;
    const QString& detail() const;
    const QStringList& callSteps() const;
    ///@}

    /// The message of this code from Errorable's tables.
    const QString errorMessage() const;
    /// The replacement message of this code, else its message.
    const QString overriddenErrorMessage() const;

    /// "domain:enumText (#code) (detail)", with the call stack on the following lines when asked.
    QString toString(bool withCallStack) const;

private:
    QSharedDataPointer<ErrorableCodeData> d;
};

#endif // ERRORABLECODE_H
