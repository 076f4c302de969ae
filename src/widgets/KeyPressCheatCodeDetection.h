#ifndef KEYPRESSCHEATCODEDETECTION_H
#define KEYPRESSCHEATCODEDETECTION_H

#include "larkutils_export.h"

#include <QObject>
#include <QString>

#include <memory>

class KeyPressCheatCodeDetectionPrivate;
class QEvent;
class QWidget;

/// Watches the key presses of its parent and emits keyDetected() each time the user types the
/// sequence (case ignored). A child of the watched object; the keys still reach it.
class LARKUTILS_EXPORT KeyPressCheatCodeDetection : public QObject
{
    Q_OBJECT
public:
    /// Becomes a child and the event filter of parent, with an empty sequence.
    explicit KeyPressCheatCodeDetection(QObject* parent);
    virtual ~KeyPressCheatCodeDetection();

    /// Watches the widget for the sequence and connects keyDetected() to the receiver's slot
    /// (given as SLOT(name())). Nothing for a null argument (logged).
    static void setCheatCode(QWidget* widget, const QString& sequence, const QObject* receiver, const char* slot);

    /// Follows the key presses of the parent; always false, so the keys go on to it.
    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    /// The whole sequence has just been typed.
    void keyDetected();

private:
    friend class KeyPressCheatCodeDetectionPrivate;
    std::unique_ptr<KeyPressCheatCodeDetectionPrivate> d;
};

#endif // KEYPRESSCHEATCODEDETECTION_H
