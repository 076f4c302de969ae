#include "KeyPressCheatCodeDetection.h"

#include "LarkLog.h"

#include <QEvent>
#include <QKeyEvent>
#include <QWidget>

class KeyPressCheatCodeDetectionPrivate
{
public:
    explicit KeyPressCheatCodeDetectionPrivate(KeyPressCheatCodeDetection* owner) : q(owner) {}
    void setKey(const QString& key);
    void keyPressEvent(QKeyEvent* event);

    KeyPressCheatCodeDetection* const q;
    QString mKey;
    qint32 mKeyIndex = 0;
};

KeyPressCheatCodeDetection::KeyPressCheatCodeDetection(QObject* parent)
    : QObject(parent)
    , d(new KeyPressCheatCodeDetectionPrivate(this))
{
    if (!parent) {
        LARK_CRITICAL << "null watched object";
        return;
    }
    parent->installEventFilter(this);
}

KeyPressCheatCodeDetection::~KeyPressCheatCodeDetection() = default;

void KeyPressCheatCodeDetection::setCheatCode(QWidget* widget, const QString& sequence, const QObject* receiver,
                                              const char* slot)
{
    if (!widget || !receiver || !slot) {
        LARK_CRITICAL << "null widget, receiver or slot";
        return;
    }
    auto* detection = new KeyPressCheatCodeDetection(widget);
    detection->d->setKey(sequence);
    QObject::connect(detection, "2keyDetected()", receiver, slot, Qt::AutoConnection);
}

bool KeyPressCheatCodeDetection::eventFilter(QObject* watched, QEvent* event)
{
    if (event && watched == parent() && event->type() == QEvent::KeyPress)
        d->keyPressEvent(static_cast<QKeyEvent*>(event));
    return false;
}

void KeyPressCheatCodeDetectionPrivate::setKey(const QString& key)
{
    mKey = key;
    mKeyIndex = 0;
}

void KeyPressCheatCodeDetectionPrivate::keyPressEvent(QKeyEvent* event)
{
    const QString text = event->text();
    // Modifiers, arrows and other keys without a single character leave the match in progress.
    if (text.length() != 1 || mKey.isEmpty())
        return;
    if (text.compare(QString(mKey.at(mKeyIndex)), Qt::CaseInsensitive) == 0) {
        ++mKeyIndex;
        if (mKeyIndex == mKey.length()) {
            mKeyIndex = 0;
            emit q->keyDetected();
        }
    } else {
        mKeyIndex = 0;
    }
}
