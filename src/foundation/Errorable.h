#ifndef ERRORABLE_H
#define ERRORABLE_H

#include "larkutils_export.h"

#include "ErrorableCode.h"

#include <QMap>
#include <QStack>

#include <memory>

class ErrorablePrivate;

/// Mix-in for QObject classes that raise errors and carry them up a tree of error carriers.
/// A class derives from QObject and Errorable; parents attach their children explicitly.
class LARKUTILS_EXPORT Errorable
{
public:
    ///@{
    /// Copies every member: links, location, children, own error and stack.
    Errorable(const Errorable& other);
    Errorable& operator=(const Errorable& other);
    ///@}

    /// Clears this object's errors, its ancestors' own errors and its descendants' errors.
    void clearError();
    /// The own error if set; otherwise the most recent error from below; otherwise a default code.
    ErrorableCode error() const;
    /// The message of error().
    QString errorMessage() const;
    /// The message of a code: sErrorMessages, else its enum text, else its toString(false).
    static const QString errorMessage(const ErrorableCode& code);
    /// sOverriddenErrorMessage for the code, else errorMessage(code).
    static const QString overriddenErrorMessage(const ErrorableCode& code);
    /// The errors that passed through this object, the most recent first.
    QStack<ErrorableCode> errorStack() const;
    /// Whether this object raised an error of its own (not cleared since).
    bool hasErrorSelfError() const;

    /// The message of each known code; filled by the application at start-up, read by the library.
    static QMap<ErrorableCode, QString> sErrorMessages;
    /// Replacement messages for some codes, looked up first by overriddenErrorMessage().
    static QMap<ErrorableCode, QString> sOverriddenErrorMessage;

protected:
    /// A clean carrier, attached to nothing.
    Errorable();
    /// Does not detach the object from its parent or children (the links are tracked).
    virtual ~Errorable();

    /// Attaches a child carrier; its location becomes "place:line".
    void _addErrorableChild(Errorable& child, const char* place, int line);
    /// Raises this object's own error and sends it up to the root; refused while one is set.
    void _setError(const ErrorableCode& code);

private:
    friend class ErrorablePrivate;
    std::unique_ptr<ErrorablePrivate> d;
};

#endif // ERRORABLE_H
