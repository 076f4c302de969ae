#ifndef QOBJECTEVENTFILTER_H
#define QOBJECTEVENTFILTER_H

#include "larkutils_export.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QObjectEventFilterPrivate;

class QEvent;

/// An event filter that runs a plain function; it is a child of the watched object and dies with it.
class LARKUTILS_EXPORT QObjectEventFilter : public QObject
{
    Q_OBJECT
public:
    /// Decides on one event of the watched object: true consumes it.
    using FilterFunction = std::function<bool(QObject*, QEvent*)>;

    /// Becomes a child and the event filter of parent.
    explicit QObjectEventFilter(QObject* parent);
    virtual ~QObjectEventFilter();

    /// Filters the object's events with the function (true consumes the event); the object owns
    /// the filter. Nothing for a null object (logged).
    static void filter(QObject* object, const FilterFunction& function);

    /// A filter function that turns key events whose text is typed into key events with the
    /// replacement text, delivered after the original is consumed. An empty typed text, or one equal
    /// to the replacement, is refused (logged): the function then lets every event pass.
    static FilterFunction inputKeyReplacement(const QString& typed, const QString& replacement);

protected:
    /// The function's verdict (true consumes the event); without a function, false.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::unique_ptr<QObjectEventFilterPrivate> d;
};

#endif // QOBJECTEVENTFILTER_H
