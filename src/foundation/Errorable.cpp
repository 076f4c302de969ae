#include "Errorable.h"

#include "LarkLog.h"
#include "ObjectTree.h"

#include <QObject>
#include <QSet>

QMap<ErrorableCode, QString> Errorable::sErrorMessages;
QMap<ErrorableCode, QString> Errorable::sOverriddenErrorMessage;

Errorable::Errorable() = default;
Errorable::~Errorable() = default;
Errorable::Errorable(const Errorable& other) = default;
Errorable& Errorable::operator=(const Errorable& other) = default;

Errorable* Errorable::errorableParent() const
{
    return dynamic_cast<Errorable*>(mErrorableParent.data());
}

void Errorable::_addErrorableChild(Errorable& child, const char* place, int line)
{
    QObject* childObject = dynamic_cast<QObject*>(&child);
    if (!childObject) {
        LARK_CRITICAL << "###Try to had Errorable that is not QObject!!###";
        return;
    }
    // A carrier that became its own ancestor would make propagation and clearing endless.
    for (const Errorable* ancestor = this; ancestor; ancestor = ancestor->errorableParent()) {
        if (ancestor == &child) {
            LARK_CRITICAL << "###Errorable child would become its own ancestor###";
            return;
        }
    }
    mErrorableChildren.append(QPointer<QObject>(childObject));
    child.mErrorableParent = dynamic_cast<QObject*>(this);
    child.mErrorableLocation = QStringLiteral("%1:%2").arg(QString::fromUtf8(place ? place : ""), QString::number(line));
}

void Errorable::_setError(const ErrorableCode& code)
{
    if (hasErrorSelfError()) {
        LARK_CRITICAL << "###Deja une erreur de declenchee, merci de mieux gerez l'interruption du parent";
        return;
    }
    mError = code;
    propagateError(mError);
}

void Errorable::propagateError(ErrorableCode& travelling)
{
    if (Errorable* parent = errorableParent()) {
        travelling.addCallStep(mErrorableLocation);
        parent->propagateError(travelling);
    } else {
        travelling.addCallStepsNE(ObjectTree::parentClassNames(dynamic_cast<const QObject*>(this)));
    }
    mErrorStack.insert(0, travelling);
}

ErrorableCode Errorable::error() const
{
    if (mError.isValid())
        return mError;
    if (!mErrorStack.isEmpty())
        return mErrorStack.first();
    return ErrorableCode();
}

QString Errorable::errorMessage() const
{
    return errorMessage(error());
}

const QString Errorable::errorMessage(const ErrorableCode& code)
{
    const auto it = sErrorMessages.constFind(code);
    if (it != sErrorMessages.constEnd())
        return it.value();
    if (!code.enumText().isEmpty())
        return code.enumText();
    return code.toString(false);
}

const QString Errorable::overriddenErrorMessage(const ErrorableCode& code)
{
    const auto it = sOverriddenErrorMessage.constFind(code);
    if (it != sOverriddenErrorMessage.constEnd())
        return it.value();
    return errorMessage(code);
}

QStack<ErrorableCode> Errorable::errorStack() const
{
    return mErrorStack;
}

bool Errorable::hasErrorSelfError() const
{
    return mError.isValid();
}

void Errorable::clearError()
{
    clearSelfErrorPrivate();
    clearParentsErrorPrivate();
    clearChildrenErrorPrivate();
}

void Errorable::clearSelfErrorPrivate()
{
    mError = ErrorableCode();
    mErrorStack.clear();
}

void Errorable::clearParentsErrorPrivate()
{
    for (Errorable* parent = errorableParent(); parent; parent = parent->errorableParent())
        parent->clearSelfErrorPrivate();
}

void Errorable::clearChildrenErrorPrivate()
{
    // Child lists are not guarded against re-attachment, so remember who was cleared.
    QSet<const Errorable*> visited{this};
    QList<Errorable*> pending{this};
    while (!pending.isEmpty()) {
        Errorable* current = pending.takeFirst();
        QList<Errorable*> children;
        for (const QPointer<QObject>& pointer : qAsConst(current->mErrorableChildren)) {
            Errorable* child = dynamic_cast<Errorable*>(pointer.data());
            if (!child || visited.contains(child))
                continue;
            visited.insert(child);
            child->clearSelfErrorPrivate();
            children.append(child);
        }
        // Depth first, in list order: the children of a child come before its next sibling.
        for (int i = children.size() - 1; i >= 0; --i)
            pending.prepend(children.at(i));
    }
}
