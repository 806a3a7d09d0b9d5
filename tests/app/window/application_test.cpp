// The application object's default error handler.

#include <stdexcept>

#include <QtTest>

#include "app/window/application.h"
#include "tests/app/window/test_dialogs.h"

namespace {

class TThrower : public QObject {
public:
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::User) throw std::runtime_error("Cannot create file /tmp/x.jpg");
        if (e->type() == QEvent::User + 1) throw std::runtime_error("JPEG error #21.");
        return QObject::event(e);
    }
};

}  // namespace

class ApplicationTest : public QObject {
    Q_OBJECT

private slots:
    void titleAndName() { QCOMPARE(QCoreApplication::applicationName(), QString("Zorezaz")); }

    void anExceptionReachingTheLoopIsShownAndTheLoopGoesOn()
    {
        TTestDialogs dialogs;
        TThrower thrower;
        QEvent first(QEvent::User), second(QEvent::Type(QEvent::User + 1));
        QVERIFY(!QCoreApplication::sendEvent(&thrower, &first));
        QVERIFY(!QCoreApplication::sendEvent(&thrower, &second));
        QCOMPARE(dialogs.Messages.size(), size_t(2));
        QCOMPARE(dialogs.Messages[0].Kind, TDialogs::TKind::Error);
        QCOMPARE(dialogs.Messages[0].Caption, QString("Zorezaz"));
        QCOMPARE(dialogs.Messages[0].Text, QString("Cannot create file /tmp/x.jpg."));
        QCOMPARE(dialogs.Messages[1].Text, QString("JPEG error #21."));
        // Posted events go through the same handler.
        QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
        QCoreApplication::processEvents();
        QCOMPARE(dialogs.Messages.size(), size_t(3));
    }
};

int main(int argc, char** argv)
{
    TApplication app(argc, argv);
    ApplicationTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "application_test.moc"
