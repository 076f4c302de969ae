#include <Errorable.h>
#include <LogCapture.h>

#include <QtTest>

// An error carrier as the applications write them.
class Carrier : public QObject, public Errorable
{
    Q_OBJECT
public:
    explicit Carrier(QObject* parent = nullptr) : QObject(parent) {}
    void attach(Carrier& child, const char* place, int line) { _addErrorableChild(child, place, line); }
    void attachPlain(Errorable& child) { _addErrorableChild(child, "plain", 1); }
    void raise(const ErrorableCode& code) { _setError(code); }
};

class MainWindow : public QObject
{
    Q_OBJECT
};

// An Errorable that is no QObject: refused as a child.
class NotAnObject : public Errorable
{
};

class tst_Errorable : public QObject
{
    Q_OBJECT
private slots:
    void chainCollectsStepsAtEveryLevel();
    void loneObjectHasNoSteps();
    void secondOwnErrorIsRefused();
    void parentCanRaiseItsOwnAfterChild();
    void deadParentStopsPropagation();
    void clearErrorClearsLineButNotSiblings();
    void childThatIsNoQObjectIsRefused();
    void ancestorCannotBecomeChild();
    void copiesCarryState();
    void messages();

private:
    static const ErrorableCode sample;
};

const ErrorableCode tst_Errorable::sample(QStringLiteral("Export"), 12, QStringLiteral("WRITE_FAILED"), QStringLiteral("index.html"));

void tst_Errorable::chainCollectsStepsAtEveryLevel()
{
    MainWindow window;
    Carrier* root = new Carrier(&window);
    Carrier* parent = new Carrier(root);
    Carrier* child = new Carrier(parent);
    root->attach(*parent, "g", 20);
    parent->attach(*child, "f", 10);

    child->raise(sample);

    const QStringList expected{"f:10", "g:20", "MainWindow (NE)"};
    for (Carrier* carrier : {child, parent, root}) {
        QCOMPARE(carrier->errorStack().size(), 1);
        QCOMPARE(carrier->errorStack().at(0).callSteps(), expected);
        QCOMPARE(carrier->errorStack().at(0), sample);
        QCOMPARE(carrier->error().callSteps(), expected);
    }
    QVERIFY(child->hasErrorSelfError());
    QVERIFY(!parent->hasErrorSelfError());
    QVERIFY(!root->hasErrorSelfError());
    QCOMPARE(child->error().toString(true),
             QStringLiteral("Export:WRITE_FAILED (#12) (index.html)\n#Call Stack\n=>f:10\n=>g:20\n=>MainWindow (NE)"));
}

void tst_Errorable::loneObjectHasNoSteps()
{
    Carrier lone;
    lone.raise(sample);
    QCOMPARE(lone.errorStack().size(), 1);
    QVERIFY(lone.errorStack().at(0).callSteps().isEmpty());
    QVERIFY(lone.error().callSteps().isEmpty());
}

void tst_Errorable::secondOwnErrorIsRefused()
{
    Carrier root, child;
    root.attach(child, "f", 1);
    child.raise(sample);
    LogCapture logs;
    child.raise(ErrorableCode(QStringLiteral("Other"), 1));
    QVERIFY(logs.has(Logwell::LogCritical, QStringLiteral("Errorable::_setError"),
                     QStringLiteral("###Deja une erreur de declenchee, merci de mieux gerez l'interruption du parent")));
    QCOMPARE(child.error(), sample);
    QCOMPARE(child.errorStack().size(), 1);
    QCOMPARE(root.errorStack().size(), 1);
    QCOMPARE(root.error(), sample);
}

void tst_Errorable::parentCanRaiseItsOwnAfterChild()
{
    Carrier parent, child;
    parent.attach(child, "f", 1);
    child.raise(sample);
    const ErrorableCode own(QStringLiteral("Parent"), 2);
    LogCapture logs;
    parent.raise(own);
    QCOMPARE(logs.count(Logwell::LogCritical), 0);
    QCOMPARE(parent.error(), own);
    QCOMPARE(parent.errorStack().size(), 2);
    QCOMPARE(parent.errorStack().at(0), own);
    QCOMPARE(parent.errorStack().at(1), sample);
    // A later child error goes to the front of the stack.
    Carrier second;
    parent.attach(second, "h", 3);
    second.raise(ErrorableCode(QStringLiteral("Second"), 3));
    QCOMPARE(parent.errorStack().at(0).domain(), QStringLiteral("Second"));
    QCOMPARE(parent.error(), own);
}

void tst_Errorable::deadParentStopsPropagation()
{
    Carrier child;
    {
        Carrier parent;
        parent.attach(child, "f", 1);
    }
    child.raise(sample);
    QCOMPARE(child.errorStack().size(), 1);
    QVERIFY(child.error().callSteps().isEmpty());
}

void tst_Errorable::clearErrorClearsLineButNotSiblings()
{
    Carrier root, middle, sibling, leaf, grandLeaf;
    root.attach(middle, "m", 1);
    root.attach(sibling, "s", 2);
    middle.attach(leaf, "l", 3);
    leaf.attach(grandLeaf, "g", 4);
    root.raise(ErrorableCode(QStringLiteral("Root"), 1));
    sibling.raise(ErrorableCode(QStringLiteral("Sibling"), 2));
    middle.raise(ErrorableCode(QStringLiteral("Middle"), 3));
    leaf.raise(ErrorableCode(QStringLiteral("Leaf"), 4));
    grandLeaf.raise(ErrorableCode(QStringLiteral("Grand"), 5));

    middle.clearError();

    for (Carrier* cleared : {&root, &middle, &leaf, &grandLeaf}) {
        QVERIFY(!cleared->hasErrorSelfError());
        QVERIFY(cleared->errorStack().isEmpty());
        QVERIFY(!cleared->error().isValid());
    }
    QVERIFY(sibling.hasErrorSelfError());
    QCOMPARE(sibling.errorStack().size(), 1);
    // Clean again: a new own error is accepted.
    middle.raise(sample);
    QCOMPARE(middle.error(), sample);
}

void tst_Errorable::childThatIsNoQObjectIsRefused()
{
    Carrier parent;
    NotAnObject plain;
    LogCapture logs;
    parent.attachPlain(plain);
    QVERIFY(logs.has(Logwell::LogCritical, QStringLiteral("Errorable::_addErrorableChild"),
                     QStringLiteral("###Try to had Errorable that is not QObject!!###")));
    parent.raise(sample); // still a lone root
    QVERIFY(parent.error().callSteps().isEmpty());
}

void tst_Errorable::ancestorCannotBecomeChild()
{
    Carrier a, b, c;
    a.attach(b, "b", 1);
    b.attach(c, "c", 2);
    LogCapture logs;
    c.attach(a, "a", 3); // would close a loop
    c.attach(c, "self", 4);
    QCOMPARE(logs.count(Logwell::LogCritical), 2);
    c.raise(sample);
    QCOMPARE(a.error().callSteps(), (QStringList{"c:2", "b:1"}));
    c.clearError();
    QVERIFY(!a.error().isValid());
}

void tst_Errorable::copiesCarryState()
{
    Carrier parent, child;
    parent.attach(child, "f", 1);
    child.raise(sample);
    Carrier copy;
    static_cast<Errorable&>(copy) = child;
    QCOMPARE(copy.error(), sample);
    QCOMPARE(copy.errorStack().size(), 1);
    copy.clearError(); // clears the shared parent too, as the copy keeps its parent link
    QVERIFY(parent.errorStack().isEmpty());
    QVERIFY(child.hasErrorSelfError());
}

void tst_Errorable::messages()
{
    const ErrorableCode known(QStringLiteral("M"), 1, QStringLiteral("KNOWN"));
    Errorable::sErrorMessages.insert(known, QStringLiteral("Le fichier est introuvable"));
    Errorable::sOverriddenErrorMessage.insert(ErrorableCode(QStringLiteral("M"), 2), QStringLiteral("Remplacé"));
    Carrier carrier;
    QCOMPARE(carrier.errorMessage(), QStringLiteral("ErrorableCode : N0 ERROR: (#-1) ()"));
    carrier.raise(known);
    QCOMPARE(carrier.errorMessage(), QStringLiteral("Le fichier est introuvable"));
    QCOMPARE(Errorable::overriddenErrorMessage(known), QStringLiteral("Le fichier est introuvable"));
    QCOMPARE(Errorable::overriddenErrorMessage(ErrorableCode(QStringLiteral("M"), 2)), QStringLiteral("Remplacé"));
    QCOMPARE(Errorable::errorMessage(ErrorableCode(QStringLiteral("M"), 3, QString(), QStringLiteral("x"))),
             QStringLiteral("M: (#3) (x)"));
    Errorable::sErrorMessages.clear();
    Errorable::sOverriddenErrorMessage.clear();
}

QTEST_GUILESS_MAIN(tst_Errorable)
#include "tst_errorable.moc"
