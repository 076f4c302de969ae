#include "QObjectEventFilter.h"

#include "LarkLog.h"

#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>

class QObjectEventFilterPrivate
{
public:
    QObjectEventFilter::FilterFunction mFilterFunction;
};

QObjectEventFilter::QObjectEventFilter(QObject* parent)
    : QObject(parent)
    , d(new QObjectEventFilterPrivate)
{
    if (!parent) {
        LARK_CRITICAL << "null watched object";
        return;
    }
    parent->installEventFilter(this);
}

QObjectEventFilter::~QObjectEventFilter() = default;

void QObjectEventFilter::filter(QObject* object, const FilterFunction& function)
{
    if (!object) {
        LARK_CRITICAL << "null watched object";
        return;
    }
    auto* eventFilter = new QObjectEventFilter(object);
    eventFilter->d->mFilterFunction = function;
}

QObjectEventFilter::FilterFunction QObjectEventFilter::inputKeyReplacement(const QString& typed,
                                                                           const QString& replacement)
{
    // An empty text would match every key without text; equal texts would repost forever.
    if (typed.isEmpty() || typed == replacement) {
        LARK_CRITICAL << "refused replacement of" << typed << "by" << replacement;
        return [](QObject*, QEvent*) { return false; };
    }
    return [typed, replacement](QObject* watched, QEvent* event) {
        if (!watched || !event)
            return false;
        if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)
            return false;
        auto* keyEvent = static_cast<QKeyEvent*>(event);
        if (keyEvent->text() != typed)
            return false;
        auto* replaced = new QKeyEvent(event->type(), Qt::Key_Period, keyEvent->modifiers(), replacement, false, 1);
        QCoreApplication::postEvent(watched, replaced, Qt::NormalEventPriority);
        event->accept();
        return true;
    };
}

bool QObjectEventFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (!d->mFilterFunction)
        return QObject::eventFilter(watched, event);
    return d->mFilterFunction(watched, event);
}
