#include "Errorable.h"

#include "LarkLog.h"
#include "ObjectTree.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>

QMap<ErrorableCode, QString> Errorable::sErrorMessages;
QMap<ErrorableCode, QString> Errorable::sOverriddenErrorMessage;

class ErrorablePrivate
{
public:
    explicit ErrorablePrivate(Errorable* owner) : q(owner) {}

    Errorable* errorableParent() const { return dynamic_cast<Errorable*>(mErrorableParent.data()); }
    void propagateError(ErrorableCode& travelling);
    void clearSelfErrorPrivate();
    void clearParentsErrorPrivate();
    void clearChildrenErrorPrivate();

    Errorable* const q;
    QPointer<QObject> mErrorableParent;
    QString mErrorableLocation;
    QList<QPointer<QObject>> mErrorableChildren;
    ErrorableCode mError;
    QStack<ErrorableCode> mErrorStack;
};

Errorable::Errorable()
    : d(new ErrorablePrivate(this))
{
}

Errorable::~Errorable() = default;

Errorable::Errorable(const Errorable& other)
    : d(new ErrorablePrivate(this))
{
    *this = other;
}

Errorable& Errorable::operator=(const Errorable& other)
{
    d->mErrorableParent = other.d->mErrorableParent;
    d->mErrorableLocation = other.d->mErrorableLocation;
    d->mErrorableChildren = other.d->mErrorableChildren;
    d->mError = other.d->mError;
    d->mErrorStack = other.d->mErrorStack;
    return *this;
}

void Errorable::_addErrorableChild(Errorable& child, const char* place, int line)
{
    QObject* childObject = dynamic_cast<QObject*>(&child);
    if (!childObject) {
        LARK_CRITICAL << "###Try to had Errorable that is not QObject!!###";
        return;
    }
    // A carrier that became its own ancestor would make propagation and clearing endless.
    for (const Errorable* ancestor = this; ancestor; ancestor = ancestor->d->errorableParent()) {
        if (ancestor == &child) {
            LARK_CRITICAL << "###Errorable child would become its own ancestor###";
            return;
        }
    }
    d->mErrorableChildren.append(QPointer<QObject>(childObject));
    child.d->mErrorableParent = dynamic_cast<QObject*>(this);
    child.d->mErrorableLocation = QStringLiteral("%1:%2").arg(QString::fromUtf8(place ? place : ""), QString::number(line));
}

void Errorable::_setError(const ErrorableCode& code)
{
    if (hasErrorSelfError()) {
        LARK_CRITICAL << "###Deja une erreur de declenchee, merci de mieux gerez l'interruption du parent";
        return;
    }
    d->mError = code;
    d->propagateError(d->mError);
}

void ErrorablePrivate::propagateError(ErrorableCode& travelling)
{
    if (Errorable* parent = errorableParent()) {
        travelling.addCallStep(mErrorableLocation);
        parent->d->propagateError(travelling);
    } else {
        travelling.addCallStepsNE(ObjectTree::parentClassNames(dynamic_cast<const QObject*>(q)));
    }
    mErrorStack.insert(0, travelling);
}

ErrorableCode Errorable::error() const
{
    if (d->mError.isValid())
        return d->mError;
    if (!d->mErrorStack.isEmpty())
        return d->mErrorStack.first();
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
    return d->mErrorStack;
}

bool Errorable::hasErrorSelfError() const
{
    return d->mError.isValid();
}

void Errorable::clearError()
{
    d->clearSelfErrorPrivate();
    d->clearParentsErrorPrivate();
    d->clearChildrenErrorPrivate();
}

void ErrorablePrivate::clearSelfErrorPrivate()
{
    mError = ErrorableCode();
    mErrorStack.clear();
}

void ErrorablePrivate::clearParentsErrorPrivate()
{
    for (Errorable* parent = errorableParent(); parent; parent = parent->d->errorableParent())
        parent->d->clearSelfErrorPrivate();
}

void ErrorablePrivate::clearChildrenErrorPrivate()
{
    // Child lists are not guarded against re-attachment, so remember who was cleared.
    QSet<const Errorable*> visited{q};
    QList<Errorable*> pending{q};
    while (!pending.isEmpty()) {
        Errorable* current = pending.takeFirst();
        QList<Errorable*> children;
        for (const QPointer<QObject>& pointer : qAsConst(current->d->mErrorableChildren)) {
            Errorable* child = dynamic_cast<Errorable*>(pointer.data());
            if (!child || visited.contains(child))
                continue;
            visited.insert(child);
            child->d->clearSelfErrorPrivate();
            children.append(child);
        }
        // Depth first, in list order: the children of a child come before its next sibling.
        for (int i = children.size() - 1; i >= 0; --i)
            pending.prepend(children.at(i));
    }
}
