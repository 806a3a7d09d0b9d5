// The help window and the Help menu, driven offscreen.

#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include "app/window/help_form.h"
#include "app/window/main_form.h"
#include "app/settings/settings_memory.h"

class HelpFormTest : public QObject {
    Q_OBJECT

    static QPlainTextEdit* Memo(THelpForm& f) { return f.findChild<QPlainTextEdit*>("Memo1"); }
    static QPushButton* Close(THelpForm& f) { return f.findChild<QPushButton*>("btnClose"); }

    // Shows the form modally and runs `during` once it is up; true when exec() returned.
    static bool ExecWith(THelpForm& form, const std::function<void()>& during)
    {
        bool ran = false;
        QTimer::singleShot(0, [&] {
            if (QTest::qWaitForWindowActive(&form)) during();
            ran = true;
            if (form.isVisible()) form.reject();  // keeps a failing test from hanging
        });
        form.exec();
        return ran;
    }

private slots:
    void layoutAndText()
    {
        THelpForm form;
        QCOMPARE(form.windowTitle(), QString("Help"));
        QCOMPARE(form.size(), QSize(379, 411));
        QCOMPARE(form.minimumSize(), form.maximumSize());  // not resizable
        QVERIFY(!(form.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        QCOMPARE(Memo(form)->geometry(), QRect(5, 6, 369, 359));
        QVERIFY(Memo(form)->isReadOnly());
        QCOMPARE(Memo(form)->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(Close(form)->text(), QString("Close"));
        QCOMPARE(Close(form)->geometry(), QRect(16, 376, 75, 25));
        QVERIFY(Close(form)->isDefault());

        const QStringList lines = Memo(form)->toPlainText().split('\n');
        QVERIFY(lines.size() > 34);
        QCOMPARE(lines[0], QString("Zorezaz"));
        QCOMPARE(lines[2], QString("This utility will remove meta information (EXIF, COM and IPTC tags) "));
        QCOMPARE(lines[12], QString("Save to new folder"));
        QCOMPARE(lines[17], QString("Select \"Copy unchanged files to target folder\" to make sure that ALL "));
        QCOMPARE(lines[24], QString("originally named filename.jpg will be saved as copy_filename.jpg"));
        QCOMPARE(lines[30], QString("on."));
        for (int empty : {2, 6, 8, 12, 17, 21, 26, 32, 33}) QCOMPARE(lines[empty - 1], QString());
        QVERIFY(lines.last().startsWith("https://"));
        // The options and the behaviour the window added, each under its own heading.
        for (const char* heading : {"File types", "Strip XMP and other metadata", "Keep orientation", "Keep file dates",
                                    "Skip files that cannot be cleaned", "Stopping and running again",
                                    "Open output folder", "Show metadata", "Drag and drop", "Keyboard"})
            QVERIFY2(lines.indexOf(heading) > 33, heading);
        // Why the file dates are not kept unless asked.
        const QString text = lines.join(' ');
        QVERIFY(text.contains("The time a photo was last changed can itself reveal when it was taken"));
        QVERIFY(text.contains("a PNG named .jpg is cleaned as a PNG and keeps its name"));
    }

    void focusIsOnCloseAndEnterCloses()
    {
        THelpForm form;
        QWidget* focused = nullptr;
        QVERIFY(ExecWith(form, [&] {
            focused = QApplication::focusWidget();
            QTest::keyClick(focused, Qt::Key_Return);
        }));
        QCOMPARE(focused, static_cast<QWidget*>(Close(form)));
        QVERIFY(!form.isVisible());
        QCOMPARE(form.result(), int(QDialog::Accepted));  // closed by the button, not by the guard
    }

    void escapeClosesWhereverTheFocusIs()
    {
        THelpForm form;
        bool visibleAfter = true;
        QVERIFY(ExecWith(form, [&] {
            Memo(form)->setFocus();
            QTest::keyClick(Memo(form), Qt::Key_Escape);
            visibleAfter = form.isVisible();
        }));
        QVERIFY(!visibleAfter);
        // Other keys pass on and leave the window open.
        QVERIFY(ExecWith(form, [&] {
            QTest::keyClick(Memo(form), Qt::Key_Down);
            visibleAfter = form.isVisible();
        }));
        QVERIFY(visibleAfter);
    }

    void aSecondShowingIsTheSame()
    {
        THelpForm form;
        const QString text = Memo(form)->toPlainText();
        QVERIFY(ExecWith(form, [&] { QTest::mouseClick(Close(form), Qt::LeftButton); }));
        QWidget* focused = nullptr;
        QVERIFY(ExecWith(form, [&] {
            focused = QApplication::focusWidget();
            QTest::keyClick(focused, Qt::Key_Escape);
        }));
        QCOMPARE(focused, static_cast<QWidget*>(Close(form)));
        QCOMPARE(Memo(form)->toPlainText(), text);
    }

    void theHelpMenuShowsItModally()
    {
        TMemorySettingsStore store;
        TMainForm main(store);
        THelpForm help(&main);
        main.SetHelpForm(&help);
        main.show();
        bool shownModally = false;
        QTimer::singleShot(0, [&] {
            QTRY_VERIFY(help.isVisible());
            shownModally = QApplication::activeModalWidget() == &help;
            QTest::keyClick(&help, Qt::Key_Escape);
        });
        main.Help2Click();  // returns when the window closes
        QVERIFY(shownModally);
        QVERIFY(!help.isVisible());
    }
};

QTEST_MAIN(HelpFormTest)
#include "help_form_test.moc"
