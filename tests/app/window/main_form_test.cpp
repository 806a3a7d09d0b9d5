// The main window driven offscreen: captions, states, handlers, runs, settings.

#include <atomic>
#include <filesystem>
#include <semaphore>

#include <fcntl.h>
#include <sys/stat.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QClipboard>
#include <QDialog>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <QMimeData>
#include <QFontDatabase>

#include "app/window/help_form.h"
#include "app/window/main_form.h"
#include "app/core/maker.h"
#include "app/window/dialogs.h"
#include "app/core/error_text.h"
#include "store/file_io.h"
#include "app/core/metadata_listing.h"
#include "app/window/metadata_view.h"
#include "app/settings/settings_memory.h"
#include "app/window/status_bar.h"
#include "app/window/translations.h"
#include "app/window/url_label.h"
#include "tests/app/core/batch_fixtures.h"
#include "tests/app/window/test_dialogs.h"
#include "tests/support/tiff_builder.h"

using namespace std::string_literals;
namespace fs = std::filesystem;

namespace {

// A main window over an in-memory settings store, with its status texts recorded.
struct TWindow {
    explicit TWindow(TMemorySettingsStore& s) : store(s), form(s)
    {
        QObject::connect(W<QStatusBar>("StatusBar1"), &QStatusBar::messageChanged,
                         [this](const QString& text) { if (!text.isEmpty()) statuses << text; });
    }
    template <class T>
    T* W(const char* name)
    {
        T* w = form.findChild<T*>(QString::fromLatin1(name));
        if (!w) qFatal("no widget %s", name);
        return w;
    }
    QCheckBox* Check(const char* name) { return W<QCheckBox>(name); }
    QString Status() { return W<QStatusBar>("StatusBar1")->currentMessage(); }
    // Presses OK and waits until the run it starts on its worker has ended.
    void Ok()
    {
        QTest::mouseClick(W<QPushButton>("Button1"), Qt::LeftButton);
        WaitIdle();
    }
    void WaitIdle()
    {
        while (form.Running()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }

    TMemorySettingsStore& store;
    TMainForm form;
    QStringList statuses;
};

// Holds the run's worker at the first file until Release(), so the window can
// act while a run is certainly going.
struct TGate {
    explicit TGate(TBatchRun& run)
    {
        auto original = run.OnFile;
        run.OnFile = [this, original](const std::string& file) {
            original(file);
            if (!Held.exchange(true)) Open.acquire();
        };
    }
    ~TGate() { Release(); }
    void Release()
    {
        if (!Released.exchange(true)) Open.release();
    }
    std::binary_semaphore Open{0};
    std::atomic<bool> Held{false}, Released{false};
};

QString Q(const std::string& bytes) { return QFile::decodeName(QByteArray::fromStdString(bytes)); }

// A caption as shown, without the mnemonic marks.
QString Shown(const QString& text) { return QString(text).remove('&'); }

std::set<std::string> Names(const std::string& dir)
{
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename().string());
    return names;
}

// A photo turned by the camera (Orientation 6), with the camera's make, an
// XMP packet that names its author, and bytes after the picture.
std::string TurnedWithXmpAndTrailer()
{
    fixture::TiffBuilder t(false);
    t.SetFirstDirectory(t.AddDirectory({t.Ascii(0x010F, "Maker of cameras"), t.Short(0x0112, 6)}));
    const std::string xmp = fixture::Segment(0xE1, std::string("http://ns.adobe.com/xap/1.0/\0", 29) +
                                                       "<x:xmpmeta><rdf:RDF><rdf:Description xmlns:dc=\"d\">"
                                                       "<dc:creator>Jane</dc:creator></rdf:Description></rdf:RDF>"
                                                       "</x:xmpmeta>");
    return fixture::AfterSoi(fixture::TinyJpeg(), fixture::ExifSegment(t.Bytes()) + xmp) + "TRAILER";
}

// Drags `mime` onto the window and, when the window takes it, drops it there;
// true when the drag was accepted.
bool Drop(QWidget& window, QMimeData& mime)
{
    const QPoint at(60, 60);
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &drop);
    return drop.isAccepted();
}

// The letters marked with "&" among `captions`; a repeated one is named twice.
QStringList MnemonicLetters(const QStringList& captions)
{
    QStringList letters;
    for (const QString& c : captions) {
        const QString plain = QString(c).replace(QStringLiteral("&&"), QString());
        const qsizetype at = plain.indexOf('&');
        if (at >= 0 && at + 1 < plain.size()) letters << plain.mid(at + 1, 1).toLower();
    }
    return letters;
}

// Every caption of the window that can carry a mnemonic, and whether each
// fits the width its control was given (shown whole, not cut off).
struct TCaptions {
    QStringList Window, FileMenu, HelpMenu, TooNarrow;
};
TCaptions Captions(TMainForm& form)
{
    TCaptions c;
    for (QAbstractButton* b : form.findChildren<QAbstractButton*>()) {
        if (b->text().isEmpty()) continue;
        c.Window << b->text();
        // A push button's own hint has a style's minimum width; its text needs a margin.
        const int needed = qobject_cast<QPushButton*>(b)
                               ? b->fontMetrics().horizontalAdvance(QString(b->text()).remove('&')) + 12
                               : b->sizeHint().width();
        if (needed > b->width()) c.TooNarrow << b->objectName() + ": " + b->text();
    }
    for (QLabel* l : form.findChildren<QLabel*>()) {
        if (!l->buddy()) continue;
        c.Window << l->text();
        if (l->sizeHint().width() > l->width()) c.TooNarrow << l->objectName() + ": " + l->text();
    }
    for (QAction* menu : form.findChild<QMenuBar*>("MainMenu1")->actions()) {
        c.Window << menu->text();
        for (QAction* item : menu->menu()->actions())
            if (!item->isSeparator()) (menu->menu()->objectName() == "File1" ? c.FileMenu : c.HelpMenu) << item->text();
    }
    return c;
}

}  // namespace

class MainFormTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        store = std::make_unique<TMemorySettingsStore>();
        dialogs = std::make_unique<TTestDialogs>();
    }
    void cleanup()
    {
        dialogs.reset();
        store.reset();
    }

    void captionsAndInitialStates()
    {
        TWindow w(*store);
        QCOMPARE(w.form.windowTitle(), QString("Zorezaz"));
        QCOMPARE(w.W<QGroupBox>("GroupBox1")->title(), QString("Input options"));
        QCOMPARE(w.W<QGroupBox>("GroupBox2")->title(), QString("Output options"));
        QCOMPARE(Shown(w.W<QLabel>("Label1")->text()), QString("Start folder:"));
        QCOMPARE(w.W<QLineEdit>("edStartFolder")->text(), QString());
        QVERIFY(w.W<QLineEdit>("edStartFolder")->isEnabled());
        QCOMPARE(Shown(w.Check("cbInclSub")->text()), QString("Include subfolders"));
        QVERIFY(!w.Check("cbInclSub")->isChecked());
        QCOMPARE(w.W<QLabel>("lblFileTypes")->text(), QString("File types:"));
        const std::pair<const char*, const char*> types[] = {
            {"cbTypeJpeg", "JPEG"}, {"cbTypePng", "PNG"}, {"cbTypeWebp", "WebP"}, {"cbTypeHeif", "HEIC/AVIF"},
            {"cbTypeVideo", "Videos (MOV, MP4)"}};
        for (const auto& [name, caption] : types) {
            QCOMPARE(Shown(w.Check(name)->text()), QString(caption));
            QVERIFY(w.Check(name)->isChecked());  // every type cleaned until unticked
        }
        const std::pair<const char*, const char*> strips[] = {{"cbExif", "Strip EXIF tags"},
                                                              {"cbCOM", "Strip COM text"},
                                                              {"cbIPTC", "Strip IPTC info"},
                                                              {"cbStripOther", "Strip XMP and other metadata"},
                                                              {"cbKeepOrientation", "Keep orientation"}};
        for (const auto& [name, caption] : strips) {
            QCOMPARE(Shown(w.Check(name)->text()), QString(caption));
            QVERIFY(w.Check(name)->isChecked());
        }
        QCOMPARE(Shown(w.Check("cbKeepDates")->text()), QString("Keep file dates"));
        QVERIFY(!w.Check("cbKeepDates")->isChecked());  // when a photo was changed can tell when it was taken
        QCOMPARE(Shown(w.W<QPushButton>("btnOpenOutput")->text()), QString("Open output folder"));
        QVERIFY(w.W<QPushButton>("btnOpenOutput")->isHidden());  // until a run has written a folder
        QCOMPARE(Shown(w.W<QRadioButton>("rbNewFolder")->text()), QString("Save to new folder:"));
        QVERIFY(!w.W<QRadioButton>("rbNewFolder")->isChecked());
        QCOMPARE(Shown(w.W<QRadioButton>("rbUsePrefix")->text()), QString("Save using filename prefix:"));
        QVERIFY(w.W<QRadioButton>("rbUsePrefix")->isChecked());
        QVERIFY(!w.W<QLineEdit>("edOutputFolder")->isEnabled());
        QCOMPARE(Shown(w.Check("cbCopyAllFiles")->text()), QString("Copy unchanged files to target folder"));
        QCOMPARE(Shown(w.Check("cbKeepGoing")->text()), QString("Skip files that cannot be cleaned"));
        QVERIFY(w.Check("cbKeepGoing")->isChecked());  // one bad photo does not end a run over thousands
        QVERIFY(!w.Check("cbCopyAllFiles")->isChecked());
        QVERIFY(!w.Check("cbCopyAllFiles")->isEnabled());
        auto* combo = w.W<QComboBox>("comboPrefix");
        QVERIFY(combo->isEditable());
        QVERIFY(combo->isEnabled());
        QCOMPARE(combo->currentText(), QString("copy_"));
        QStringList items;
        for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
        QCOMPARE(items, QStringList({"copy_", "clean_", "stripped_", "new_", "fixed_"}));
        QCOMPARE(Shown(w.W<QPushButton>("Button1")->text()), QString("OK"));
        QVERIFY(w.W<QToolButton>("btnStartFolder")->isEnabled());
        QVERIFY(!w.W<QToolButton>("btnStartFolder")->icon().isNull());
        QVERIFY(!w.W<QToolButton>("btnNewFolder")->icon().isNull());
        QCOMPARE(w.W<TURLLabel>("URLLabel1")->text(), QString(kWebsite));
        QVERIFY(!w.W<TURLLabel>("URLLabel1")->MailLabel());
        QVERIFY(w.W<TURLLabel>("URLLabel1")->font().underline());
        QCOMPARE(w.Status(), QString());
    }

    void designedBoundsAndSizeLimits()
    {
        TWindow w(*store);
        QCOMPARE(w.W<QGroupBox>("GroupBox1")->geometry(), QRect(8, 10, 409, 143));
        QCOMPARE(w.W<QGroupBox>("GroupBox2")->geometry(), QRect(8, 164, 409, 187));
        QCOMPARE(w.Check("cbTypeJpeg")->geometry(), QRect(80, 88, 64, 17));
        QCOMPARE(w.Check("cbTypeWebp")->geometry(), QRect(220, 88, 64, 17));
        QCOMPARE(w.Check("cbTypeHeif")->geometry(), QRect(290, 88, 100, 17));
        QCOMPARE(w.Check("cbTypeVideo")->geometry(), QRect(80, 110, 150, 17));
        QCOMPARE(w.Check("cbStripOther")->geometry(), QRect(18, 46, 250, 17));
        QCOMPARE(w.Check("cbKeepOrientation")->geometry(), QRect(272, 46, 122, 17));
        QCOMPARE(w.Check("cbKeepGoing")->geometry(), QRect(16, 160, 218, 17));
        QCOMPARE(w.Check("cbKeepDates")->geometry(), QRect(272, 160, 122, 17));
        QCOMPARE(w.W<QLineEdit>("edStartFolder")->geometry(), QRect(80, 32, 281, 21));
        QCOMPARE(w.W<QLineEdit>("edOutputFolder")->geometry(), QRect(175, 79, 185, 21));
        QCOMPARE(w.Check("cbCopyAllFiles")->geometry(), QRect(175, 106, 218, 17));
        QCOMPARE(w.W<QPushButton>("Button1")->geometry(), QRect(16, 363, 75, 25));
        QCOMPARE(w.W<QPushButton>("btnOpenOutput")->geometry(), QRect(100, 363, 140, 25));
        QCOMPARE(w.W<QStatusBar>("StatusBar1")->height(), 19);
        // The row's boxes lie inside their group.
        for (const char* name : {"lblFileTypes", "cbTypeJpeg", "cbTypePng", "cbTypeWebp", "cbTypeHeif", "cbTypeVideo"})
            QVERIFY2(w.W<QGroupBox>("GroupBox1")->rect().contains(w.W<QWidget>(name)->geometry()), name);
        // Nothing lies outside the client area, above the status line.
        const QRect client = w.W<QWidget>("centralwidget")->rect();
        for (QWidget* child : w.W<QWidget>("centralwidget")->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            QVERIFY2(client.contains(child->geometry()), qPrintable(child->objectName()));

        w.form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w.form));
        QCOMPARE(w.form.minimumWidth(), w.form.width());
        QCOMPARE(w.form.width(), 426);
        QCOMPARE(w.form.minimumHeight(), w.form.height());
        QCOMPARE(w.form.maximumHeight(), w.form.height());
        QCOMPARE(w.form.maximumWidth(), QWIDGETSIZE_MAX);
        QVERIFY(QTest::qWaitForWindowActive(&w.form));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w.W<QPushButton>("Button1")));
        QVERIFY(!(w.form.windowFlags() & Qt::WindowMaximizeButtonHint));

        // Wider: edits and group boxes stretch, folder buttons and the link keep to the right edge.
        w.form.resize(526, w.form.height());
        QTRY_COMPARE(w.W<QGroupBox>("GroupBox2")->width(), 509);
        QCOMPARE(w.W<QLineEdit>("edStartFolder")->geometry(), QRect(80, 32, 381, 21));
        QCOMPARE(w.W<QToolButton>("btnStartFolder")->geometry(), QRect(468, 32, 23, 22));
        QCOMPARE(w.W<QLineEdit>("edOutputFolder")->width(), 285);
        QCOMPARE(w.W<QToolButton>("btnNewFolder")->x(), 467);
        QCOMPARE(w.W<TURLLabel>("URLLabel1")->x(), 357);
        QCOMPARE(w.W<QPushButton>("Button1")->geometry(), QRect(16, 363, 75, 25));
        w.form.resize(300, 500);  // neither narrower nor taller
        QTRY_COMPARE(w.form.width(), 426);
        QCOMPARE(w.form.height(), w.form.minimumHeight());
    }

    void tabOrderIsReadingOrder()
    {
        TWindow w(*store);
        w.W<QRadioButton>("rbNewFolder")->setChecked(true);  // every control enabled
        w.form.show();
        QVERIFY(QTest::qWaitForWindowActive(&w.form));
        // Tab from OK round the window and back, as the keyboard goes.
        QStringList seen;
        QWidget* at = w.W<QPushButton>("Button1");
        for (int i = 0; i < 40; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            at = QApplication::focusWidget();
            if (at == w.W<QPushButton>("Button1")) break;
            seen << at->objectName();
        }
        // The radio buttons are one stop, at the selected one; arrows move between them.
        QCOMPARE(seen, QStringList({"URLLabel1", "edStartFolder", "btnStartFolder", "cbInclSub", "cbTypeJpeg",
                                    "cbTypePng", "cbTypeWebp", "cbTypeHeif", "cbTypeVideo", "cbExif", "cbCOM",
                                    "cbIPTC", "cbStripOther", "cbKeepOrientation", "rbNewFolder", "edOutputFolder",
                                    "btnNewFolder", "cbCopyAllFiles", "cbKeepGoing", "cbKeepDates"}));
        QTest::keyClick(w.W<QPushButton>("Button1"), Qt::Key_Tab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget()->objectName(), QString("cbKeepDates"));
        w.W<QRadioButton>("rbNewFolder")->setFocus();
        QTest::keyClick(w.W<QRadioButton>("rbNewFolder"), Qt::Key_Down);
        QVERIFY(w.W<QRadioButton>("rbUsePrefix")->isChecked());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(), QString("comboPrefix"));
    }

    void everyControlThatTakesFocusShowsIt()
    {
        TWindow w(*store);
        w.W<QRadioButton>("rbNewFolder")->setChecked(true);  // every control enabled
        w.form.show();
        QVERIFY(QTest::qWaitForWindowActive(&w.form));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);  // the keyboard moves the focus now
        QVERIFY(w.form.testAttribute(Qt::WA_KeyboardFocusChange));
        // Each control drawn with the focus elsewhere and on it. A mark shows
        // when its edge changes clearly, over at least its height in pixels:
        // a focus rectangle hidden under a flat button's icon does not count.
        QStringList checked, unmarked;
        for (QWidget* c : w.form.findChildren<QWidget*>()) {
            if (!(c->focusPolicy() & Qt::TabFocus) || !c->isVisible() || !c->isEnabled()) continue;
            // A control that hands its focus on (an editable list's edit) is drawn by its owner.
            const QWidget* owner = c->parentWidget();
            if (owner && owner->focusProxy() == c) continue;
            QWidget* elsewhere = c == w.W<QPushButton>("Button1") ? static_cast<QWidget*>(w.Check("cbInclSub"))
                                                                   : w.W<QPushButton>("Button1");
            elsewhere->setFocus(Qt::TabFocusReason);
            const QImage off = c->grab().toImage();
            c->setFocus(Qt::TabFocusReason);
            const QImage on = c->grab().toImage();
            int changed = 0;
            for (int y = 0; y < on.height(); ++y)
                for (int x = 0; x < on.width(); ++x) {
                    if (std::min({x, y, on.width() - 1 - x, on.height() - 1 - y}) > 1) continue;
                    const QColor a = on.pixelColor(x, y), b = off.pixelColor(x, y);
                    if (qAbs(a.red() - b.red()) + qAbs(a.green() - b.green()) + qAbs(a.blue() - b.blue()) > 96)
                        ++changed;
                }
            checked << c->objectName();
            if (changed < on.height()) unmarked << c->objectName() + ": " + QString::number(changed);
        }
        QVERIFY(checked.contains("btnStartFolder") && checked.contains("btnNewFolder") && checked.contains("URLLabel1"));
        QVERIFY2(unmarked.isEmpty(), qPrintable(unmarked.join(", ")));
    }

    void menus()
    {
        TWindow w(*store);
        QStringList menus;
        for (QAction* a : w.W<QMenuBar>("MainMenu1")->actions()) {
            QStringList items;
            for (QAction* item : a->menu()->actions()) {
                if (item->isSeparator()) continue;
                items << Shown(item->text());
                QVERIFY(!item->icon().isNull());
            }
            menus << Shown(a->text()) + ": " + items.join(", ");
        }
        QCOMPARE(menus, QStringList({"File: Show metadata…, Close", "Help: Help, Website, About"}));
    }

    void radioHandlers()
    {
        TWindow w(*store);
        w.Check("cbCopyAllFiles")->setChecked(true);
        QTest::mouseClick(w.W<QRadioButton>("rbNewFolder"), Qt::LeftButton);
        QVERIFY(w.W<QLineEdit>("edOutputFolder")->isEnabled());
        QVERIFY(w.Check("cbCopyAllFiles")->isEnabled());
        QVERIFY(!w.W<QComboBox>("comboPrefix")->isEnabled());
        QVERIFY(w.W<QToolButton>("btnNewFolder")->isEnabled());
        QTest::mouseClick(w.W<QRadioButton>("rbUsePrefix"), Qt::LeftButton);
        QVERIFY(!w.W<QLineEdit>("edOutputFolder")->isEnabled());
        QVERIFY(!w.Check("cbCopyAllFiles")->isEnabled());
        QVERIFY(w.Check("cbCopyAllFiles")->isChecked());  // the tick stays
        QVERIFY(w.W<QComboBox>("comboPrefix")->isEnabled());
        QVERIFY(w.W<QToolButton>("btnNewFolder")->isEnabled());
    }

    void nothingToDoBox()
    {
        fixture::TempDir dir;
        TWindow w(*store);
        w.W<QLineEdit>("edStartFolder")->setText(Q(dir.Path()));
        for (const char* name : {"cbExif", "cbCOM", "cbIPTC"}) w.Check(name)->setChecked(false);
        w.Ok();  // the fourth box alone is something to do
        QVERIFY(dialogs->Messages.empty());
        QCOMPARE(w.Status(), QString("Done  (0 files processed)"));
        w.W<QStatusBar>("StatusBar1")->showMessage("before");
        w.Check("cbStripOther")->setChecked(false);
        w.Ok();
        QCOMPARE(dialogs->Messages.size(), size_t(1));
        QCOMPARE(dialogs->Messages[0].Kind, TDialogs::TKind::Information);
        QCOMPARE(dialogs->Messages[0].Caption, QString("Information"));
        QCOMPARE(dialogs->Messages[0].Text, QString("Nothing to do.\n\nTick at least one of EXIF, comment, IPTC, or "
                                                     "XMP and other metadata under Output options."));
        QCOMPARE(w.Status(), QString("before"));
        // Something to strip, but no type ticked: no run either.
        w.Check("cbExif")->setChecked(true);
        dir.Write("a.jpg", batchfix::ExifOnly());
        for (const char* name : {"cbTypeJpeg", "cbTypePng", "cbTypeWebp", "cbTypeHeif", "cbTypeVideo"}) w.Check(name)->setChecked(false);
        w.Ok();
        QCOMPARE(dialogs->Messages.size(), size_t(2));
        QCOMPARE(dialogs->Messages[1].Kind, TDialogs::TKind::Information);
        QCOMPARE(dialogs->Messages[1].Text,
                 QString("Nothing to do.\n\nTick at least one of JPEG, PNG, WebP, HEIC/AVIF, or Videos under File types."));
        QCOMPARE(w.Status(), QString("before"));
        QVERIFY(!fixture::Exists(dir / "copy_a.jpg"));
        // One is enough.
        w.Check("cbTypeWebp")->setChecked(true);
        w.Ok();
        QCOMPARE(dialogs->Messages.size(), size_t(2));
        QCOMPARE(w.Status(), QString("Done  (0 files processed, 1 file of another type left alone)"));
    }

    void anyOutputFolderButAnEmptyOne()
    {
        fixture::TempDir dir;
        fs::create_directories(dir / "in");
        const auto cwd = fs::current_path();
        fs::current_path(dir.Path());
        TWindow w(*store);
        w.W<QLineEdit>("edStartFolder")->setText("in");
        w.W<QRadioButton>("rbNewFolder")->setChecked(true);
        w.Ok();
        QCOMPARE(dialogs->Messages.size(), size_t(1));
        QCOMPARE(dialogs->Messages[0].Kind, TDialogs::TKind::Error);
        QCOMPARE(dialogs->Messages[0].Caption, QString("Error"));
        QCOMPARE(dialogs->Messages[0].Text, QString("You must specify a valid output folder."));
        w.W<QLineEdit>("edOutputFolder")->setText("t1");  // a relative folder, however short
        w.Ok();
        fs::current_path(cwd);
        QCOMPARE(dialogs->Messages.size(), size_t(1));
        QVERIFY(fs::is_directory(dir / "t1"));
        QCOMPARE(w.Status(), QString("Done  (0 files processed)"));
    }

    void aPrefixWithASlashIsRefused()
    {
        fixture::TempDir dir;
        fs::create_directories(dir / "in");
        fixture::WriteFile(dir / "in/a.jpg", batchfix::ExifOnly());
        TWindow w(*store);
        w.W<QLineEdit>("edStartFolder")->setText(Q(dir / "in"));
        w.W<QComboBox>("comboPrefix")->setCurrentText("../x_");
        w.Ok();
        QCOMPARE(dialogs->Messages.size(), size_t(1));
        QCOMPARE(dialogs->Messages[0].Caption, QString("Error"));
        QVERIFY(dialogs->Messages[0].Text.startsWith("The file name prefix cannot contain \"/\"."));
        QCOMPARE(Names(dir.Path()), (std::set<std::string>{"in"}));
        QCOMPARE(Names(dir / "in"), (std::set<std::string>{"a.jpg"}));
    }

    void emptyStartFolderShowsTheFinderError()
    {
        TWindow w(*store);
        w.W<QStatusBar>("StatusBar1")->showMessage("before");
        w.Ok();
        QCOMPARE(dialogs->Messages.size(), size_t(1));
        QCOMPARE(dialogs->Messages[0].Kind, TDialogs::TKind::Error);
        QCOMPARE(dialogs->Messages[0].Caption, QString("Zorezaz"));
        QCOMPARE(dialogs->Messages[0].Text, QString("Choose a start folder first."));
        QCOMPARE(w.Status(), QString("before"));
        QVERIFY(w.W<QPushButton>("Button1")->isEnabled());
        QVERIFY(w.W<QGroupBox>("GroupBox2")->isEnabled());
    }

    void fullRunInNewFolderMode()
    {
        fixture::TempDir dir;
        fs::create_directories(dir / "in/sub");
        fixture::WriteFile(dir / "in/a.jpg", batchfix::ExifAndComment());
        fixture::WriteFile(dir / "in/b.jpg", batchfix::Plain());
        fixture::WriteFile(dir / "in/sub/c.jpeg", batchfix::CommentOnly());
        TWindow w(*store);
        w.W<QLineEdit>("edStartFolder")->setText(Q(dir / "in"));
        w.Check("cbInclSub")->setChecked(true);
        w.W<QRadioButton>("rbNewFolder")->setChecked(true);
        w.W<QLineEdit>("edOutputFolder")->setText(Q(dir / "out"));
        w.Check("cbCopyAllFiles")->setChecked(true);
        w.Ok();
        QVERIFY(dialogs->Messages.empty());
        // The newest file at each update, the last one always before the totals.
        const QStringList files = {"Processing " + Q(dir / "in/a.jpg"), "Processing " + Q(dir / "in/b.jpg"),
                                   "Processing " + Q(dir / "in/sub/c.jpeg")};
        QVERIFY(w.statuses.size() >= 2 && w.statuses.size() <= 4);
        for (qsizetype i = 0; i + 1 < w.statuses.size(); ++i) QVERIFY(files.contains(w.statuses[i]));
        QCOMPARE(w.statuses[w.statuses.size() - 2], files[2]);
        QCOMPARE(w.Status(), QString("Done  (2 of 3 files changed.)"));
        QCOMPARE(w.form.Batch().ChangedCount, 2);
        QCOMPARE(w.form.Batch().CopiedCount, 1);
        QVERIFY((Names(dir / "out") == std::set<std::string>{"a.jpg", "b.jpg", "c.jpeg"}));

        // The output folder, one click away in the file manager.
        auto* open = w.W<QPushButton>("btnOpenOutput");
        QVERIFY(!open->isHidden());
        QTest::mouseClick(open, Qt::LeftButton);
        QCOMPARE(dialogs->Opened, QStringList({QUrl::fromLocalFile(Q(fs::canonical(dir / "out"))).toString()}));
        // A run that does not start takes it away.
        for (const char* name : {"cbExif", "cbCOM", "cbIPTC", "cbStripOther"}) w.Check(name)->setChecked(false);
        w.Ok();
        QVERIFY(open->isHidden());
    }

    void fullRunInPrefixMode()
    {
        fixture::TempDir dir;
        fs::create_directories(dir / "in");
        fixture::WriteFile(dir / "in/a.jpg", batchfix::ExifAndComment());
        fixture::WriteFile(dir / "in/b.jpg", batchfix::Plain());
        TWindow w(*store);
        w.W<QLineEdit>("edStartFolder")->setText(Q(dir / "in"));
        w.W<QComboBox>("comboPrefix")->setCurrentText("stripped_");
        w.Ok();
        QVERIFY(dialogs->Messages.empty());
        QVERIFY(w.statuses.size() >= 2 && w.statuses.size() <= 3);
        QCOMPARE(w.Status(), QString("Done  (1 file processed)"));
        QVERIFY((Names(dir / "in") == std::set<std::string>{"a.jpg", "b.jpg", "stripped_a.jpg"}));
        QVERIFY(w.W<QPushButton>("btnOpenOutput")->isHidden());  // beside the sources: no one folder to open
        // Hovering a menu item does not blank the totals.
        QStatusTipEvent tip(QString{});
        QCoreApplication::sendEvent(&w.form, &tip);
        QCOMPARE(w.Status(), QString("Done  (1 file processed)"));
    }

    void prefixModeWithCopyStillTicked()
    {
        fixture::TempDir dir;
        fs::create_directories(dir / "in");
        fixture::WriteFile(dir / "in/a.jpg", batchfix::ExifOnly());
        fixture::WriteFile(dir / "in/b.jpg", batchfix::Plain());
        TWindow w(*store);
        w.W<QLineEdit>("edStartFolder")->setText(Q(dir / "in"));
        w.W<QRadioButton>("rbNewFolder")->setChecked(true);
        w.W<QLineEdit>("edOutputFolder")->setText(Q(dir / "out"));
        w.Check("cbCopyAllFiles")->setChecked(true);
        w.W<QRadioButton>("rbUsePrefix")->setChecked(true);
        w.Ok();
        QCOMPARE(w.Status(), QString("Done  (1 of 1 file changed.)"));
        QVERIFY(!fs::exists(dir / "out"));
        QVERIFY((Names(dir / "in") == std::set<std::string>{"a.jpg", "b.jpg", "copy_a.jpg"}));
    }

    void twoLevelDeepOutputFolderFails()
    {
        fixture::TempDir dir;
        fs::create_directories(dir / "in");
        fixture::WriteFile(dir / "in/a.jpg", batchfix::ExifOnly());
        TWindow w(*store);
        w.W<QLineEdit>("edStartFolder")->setText(Q(dir / "in"));
        w.W<QRadioButton>("rbNewFolder")->setChecked(true);
        w.W<QLineEdit>("edOutputFolder")->setText(Q(dir / "x/y"));
        w.Ok();
        QCOMPARE(dialogs->Messages.size(), size_t(1));
        QCOMPARE(dialogs->Messages[0].Caption, QString("Zorezaz"));
        QCOMPARE(dialogs->Messages[0].Text, "Cannot create " + Q(dir / "x/y") + ".\n\nNo such file or directory.");
        QVERIFY(w.statuses.isEmpty());
        QVERIFY(!fs::exists(dir / "x"));
    }

    void optionsAreLockedWhileARunLastsAndOkStops()
    {
        fixture::TempDir dir;
        fs::create_directories(dir / "in");
        fixture::WriteFile(dir / "in/a.jpg", batchfix::ExifOnly());
        fixture::WriteFile(dir / "in/b.jpg", batchfix::ExifOnly());
        TWindow w(*store);
        w.W<QLineEdit>("edStartFolder")->setText(Q(dir / "in"));
        QStringList okTexts;
        bool optionsEnabled = false, okEnabled = true, progressShown = true;
        int processing = 0;
        QObject::connect(w.W<QStatusBar>("StatusBar1"), &QStatusBar::messageChanged, [&](const QString& t) {
            if (!t.startsWith("Processing")) return;
            ++processing;
            okTexts << Shown(w.W<QPushButton>("Button1")->text());
            okEnabled = okEnabled && w.W<QPushButton>("Button1")->isEnabled();
            optionsEnabled = optionsEnabled || w.W<QComboBox>("comboPrefix")->isEnabled() ||
                             w.Check("cbTypePng")->isEnabled();
            progressShown = progressShown && !w.form.findChild<QProgressBar*>("ProgressBar1")->isHidden();
        });
        w.Ok();
        // The newest file at each update: one or both of them.
        QVERIFY(processing >= 1 && processing <= 2);
        QCOMPARE(okTexts, QStringList(processing, "Stop"));
        QVERIFY(okEnabled);
        QVERIFY(!optionsEnabled);
        QVERIFY(progressShown);
        QCOMPARE(Shown(w.W<QPushButton>("Button1")->text()), QString("OK"));
        QVERIFY(w.W<QComboBox>("comboPrefix")->isEnabled());
        QVERIFY(w.Check("cbTypePng")->isEnabled());
        QVERIFY(!w.W<QLineEdit>("edOutputFolder")->isEnabled());  // its own state comes back too
        QVERIFY(w.form.findChild<QProgressBar*>("ProgressBar1")->isHidden());
        QCOMPARE(w.Status(), QString("Done  (2 files processed)"));

        // An error ends the run, with its totals; the options come back all the same.
        fixture::WriteFile(dir / "in/c.jpg", batchfix::ExifAndComment().substr(0, 30));
        w.Check("cbKeepGoing")->setChecked(false);
        w.Ok();
        QCOMPARE(dialogs->Messages.size(), size_t(1));
        QVERIFY(dialogs->Messages[0].Text.startsWith("Damaged JPEG header in "));
        QVERIFY2(w.Status().startsWith("Stopped by an error  ("), qPrintable(w.Status()));
        QVERIFY(w.W<QPushButton>("Button1")->isEnabled());
        QVERIFY(w.W<QGroupBox>("GroupBox2")->isEnabled());
    }

    void stopEndsTheRunAfterTheFileInHand()
    {
        fixture::TempDir dir;
        fs::create_directories(dir / "in");
        for (int i = 0; i < 20; ++i) fixture::WriteFile(dir / ("in/p" + std::to_string(i) + ".jpg"), batchfix::ExifOnly());
        for (const bool escape : {false, true}) {
            TWindow w(*store);
            w.W<QLineEdit>("edStartFolder")->setText(Q(dir / "in"));
            w.W<QRadioButton>("rbNewFolder")->setChecked(true);
            w.W<QLineEdit>("edOutputFolder")->setText(Q(dir / (escape ? "out-esc" : "out-ok")));
            w.form.show();
            QVERIFY(QTest::qWaitForWindowActive(&w.form));
            TGate gate(w.form.Batch());
            // Stop while the first file is being processed: OK (now Stop), or Esc.
            bool pressed = false;
            QObject::connect(w.W<QStatusBar>("StatusBar1"), &QStatusBar::messageChanged, [&](const QString& t) {
                if (pressed || !t.startsWith("Processing")) return;
                pressed = true;
                if (escape)
                    QTest::keyClick(&w.form, Qt::Key_Escape);
                else
                    QTest::mouseClick(w.W<QPushButton>("Button1"), Qt::LeftButton);
                gate.Release();
            });
            w.Ok();
            QVERIFY(pressed);
            QVERIFY(w.Status().startsWith("Stopped  ("));
            const size_t made = Names(dir / (escape ? "out-esc" : "out-ok")).size();
            QCOMPARE(made, size_t(1));
            QCOMPARE(w.Status(), QString("Stopped  (1 file processed)"));
            QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w.W<QPushButton>("Button1")));
        }
    }

    void theWindowStaysLiveWhileHelpIsOpen()
    {
        fixture::TempDir dir;
        fs::create_directories(dir / "in");
        for (int i = 0; i < 5; ++i) fixture::WriteFile(dir / ("in/p" + std::to_string(i) + ".jpg"), batchfix::ExifOnly());
        THelpForm help;
        TWindow w(*store);
        w.form.SetHelpForm(&help);
        w.W<QLineEdit>("edStartFolder")->setText(Q(dir / "in"));
        // The run starts and waits at its first file; Help opens over it, and
        // while Help is open the run goes on to its end.
        TGate gate(w.form.Batch());
        QString statusWhileHelpOpen;
        bool helpWasOpen = false;
        QTimer::singleShot(0, [&] {
            helpWasOpen = help.isVisible();
            gate.Release();
            w.WaitIdle();
            statusWhileHelpOpen = w.Status();
            help.close();
        });
        QTest::mouseClick(w.W<QPushButton>("Button1"), Qt::LeftButton);
        QVERIFY(w.form.Running());
        w.form.Help2Click();
        QVERIFY(helpWasOpen);
        QCOMPARE(statusWhileHelpOpen, QString("Done  (5 files processed)"));
        QCOMPARE(Names(dir / "in").size(), size_t(10));
    }

    void closingDuringARunAsksAndClosesWhenTheFileInHandIsDone()
    {
        fixture::TempDir dir;
        fs::create_directories(dir / "in");
        for (int i = 0; i < 20; ++i) fixture::WriteFile(dir / ("in/p" + std::to_string(i) + ".jpg"), batchfix::ExifOnly());
        TWindow w(*store);
        w.W<QLineEdit>("edStartFolder")->setText(Q(dir / "in"));
        w.form.show();
        bool closedAtOnce = true, visibleAfterAnswer = false;
        int round = 0;
        // The window's own handler, before a gate wraps it: a gate's wrapper
        // must not outlive the gate.
        const auto onFile = w.form.Batch().OnFile;
        auto gate = std::make_unique<TGate>(w.form.Batch());
        QObject::connect(w.W<QStatusBar>("StatusBar1"), &QStatusBar::messageChanged, [&](const QString& t) {
            if (!t.startsWith("Processing") || !dialogs->Questions.isEmpty()) return;
            closedAtOnce = w.form.close();
            if (round == 1) visibleAfterAnswer = w.form.isVisible();
            gate->Release();
        });
        dialogs->Answer = false;  // "No": the run goes on
        w.Ok();
        QVERIFY(!closedAtOnce);
        QCOMPARE(dialogs->Questions.size(), qsizetype(1));
        QVERIFY(dialogs->Questions[0].contains("Stop it"));
        QVERIFY(w.form.isVisible());
        QCOMPARE(w.Status(), QString("Done  (20 files processed)"));

        // "Yes": the window closes, with the settings saved, once the run has stopped.
        round = 1;
        for (const auto& n : Names(dir / "in"))
            if (n.rfind("copy_", 0) == 0) fs::remove(dir / ("in/" + n));
        gate.reset();
        w.form.Batch().OnFile = onFile;
        gate = std::make_unique<TGate>(w.form.Batch());
        dialogs->Answer = true;
        dialogs->Questions.clear();
        w.W<QComboBox>("comboPrefix")->setCurrentText("again_");
        w.Ok();
        QVERIFY(!closedAtOnce);
        QVERIFY(visibleAfterAnswer);
        QVERIFY(!w.form.isVisible());
        QVERIFY(w.Status().startsWith("Stopped  ("));
        QCOMPARE(store->Keys[kSettingsKeyPath].size(), size_t(17));
        QCOMPARE(Names(dir / "in").size(), size_t(21));  // the sources and one output
    }

    void namesThatAreNotUtf8()
    {
        fixture::TempDir dir;
        fs::create_directories(dir / "in");
        const std::string name = "x\xFF\xFE.jpg";
        fixture::WriteFile(dir / "in" + "/" + name, batchfix::ExifOnly());
        TWindow w(*store);
        w.W<QLineEdit>("edStartFolder")->setText(Q(dir / "in"));
        w.W<QRadioButton>("rbNewFolder")->setChecked(true);
        w.W<QLineEdit>("edOutputFolder")->setText(Q(dir / "out"));
        w.Ok();
        QCOMPARE(w.Status(), QString("Done  (1 file processed)"));
        QVERIFY(fixture::Exists(dir / "out/" + name));
    }

    void windowAndCliWriteTheSameFiles()
    {
        fixture::TempDir dir;
        for (const char* tree : {"win", "cli"}) {
            const std::string root = dir / tree;
            fs::create_directories(root + "/sub");
            fixture::WriteFile(root + "/a.jpg", batchfix::ExifAndComment());
            fixture::WriteFile(root + "/b.jpg", batchfix::Plain());
            fixture::WriteFile(root + "/sub/c.jpg", batchfix::WithIptc());
            fixture::WriteFile(root + "/sub/a.jpg", batchfix::CommentOnly());
            fixture::WriteFile(root + "/d.jpg", TurnedWithXmpAndTrailer());
            for (const char* n : {"/a.jpg", "/b.jpg", "/sub/c.jpg", "/sub/a.jpg", "/d.jpg"}) {
                const struct timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
                QCOMPARE(::utimensat(AT_FDCWD, (root + n).c_str(), old, 0), 0);
            }
        }
        TWindow w(*store);
        w.W<QLineEdit>("edStartFolder")->setText(Q(dir / "win"));
        w.Check("cbInclSub")->setChecked(true);
        w.Check("cbCOM")->setChecked(false);
        w.Check("cbKeepOrientation")->setChecked(false);
        w.Check("cbKeepDates")->setChecked(true);
        w.W<QRadioButton>("rbNewFolder")->setChecked(true);
        w.W<QLineEdit>("edOutputFolder")->setText(Q(dir / "out-win"));
        w.Check("cbCopyAllFiles")->setChecked(true);
        w.Ok();
        QVERIFY2(dialogs->Messages.empty(), qPrintable(dialogs->Messages.empty() ? "" : dialogs->Messages[0].Text));

        const std::string cmd = "'" ZOREZAZ_CLI "' '" + dir / "cli" +
                                "' --subfolders --exif --iptc --other --drop-orientation --keep-dates --out '" +
                                dir / "out-cli" + "' --copy-unchanged > '" + dir / "cli.txt" + "'";
        QCOMPARE(std::system(cmd.c_str()), 0);
        const std::string printed = fixture::ReadFile(dir / "cli.txt");
        QCOMPARE(QString::fromStdString(printed.substr(printed.rfind("Done"))), w.Status() + "\n");

        // Files of the same name may meet in a different order; compare the sets of contents.
        const auto names = Names(dir / "out-win");
        QVERIFY(names == Names(dir / "out-cli"));
        QCOMPARE(names.size(), size_t(5));
        std::multiset<std::string> win, cli;
        for (const auto& n : names) {
            win.insert(fixture::ReadFile(dir / "out-win/" + n));
            cli.insert(fixture::ReadFile(dir / "out-cli/" + n));
            struct stat st {};
            QCOMPARE(::stat((dir / "out-win/" + n).c_str(), &st), 0);
            QCOMPARE(st.st_mtim.tv_sec, time_t(1000000000));  // the sources' date
        }
        QVERIFY(win == cli);
        // Neither the author, nor the orientation, nor the trailer is left.
        const std::string d = fixture::ReadFile(dir / "out-win/d.jpg");
        QCOMPARE(d.find("Jane"), std::string::npos);
        QCOMPARE(d.find("TRAILER"), std::string::npos);
        QCOMPARE(d.find("Exif"), std::string::npos);
    }

    void settingsAreRestored()
    {
        auto& v = store->Keys[kSettingsKeyPath];
        v["Source"] = {kRegString, "/photos\0"s};
        v["InclSubfolders"] = {kRegInteger, "\x02\0\0\0"s};
        v["Target"] = {kRegString, "/clean\0"s};
        v["EXIF"] = {kRegInteger, "\0\0\0\0"s};
        v["Com"] = {kRegInteger, "\x01\0\0\0"s};
        v["IPTC"] = {kRegInteger, "\0\0\0\0"s};
        v["Prefix"] = {kRegString, "new_\0"s};
        v["UsePrefix"] = {kRegInteger, "\0\0\0\0"s};
        v["KeepGoing"] = {kRegInteger, "\x01\0\0\0"s};
        v["Other"] = {kRegInteger, "\0\0\0\0"s};
        v["KeepOrientation"] = {kRegInteger, "\0\0\0\0"s};
        v["KeepDates"] = {kRegInteger, "\x01\0\0\0"s};
        v["TypeJpeg"] = {kRegInteger, "\x01\0\0\0"s};
        v["TypePng"] = {kRegInteger, "\0\0\0\0"s};
        v["TypeWebp"] = {kRegInteger, "\x01\0\0\0"s};
        v["TypeHeif"] = {kRegInteger, "\0\0\0\0"s};
        v["TypeVideo"] = {kRegInteger, "\0\0\0\0"s};
        {
            TWindow w(*store);
            QVERIFY(w.Check("cbTypeJpeg")->isChecked());
            QVERIFY(!w.Check("cbTypePng")->isChecked());
            QVERIFY(w.Check("cbTypeWebp")->isChecked());
            QVERIFY(!w.Check("cbTypeHeif")->isChecked());
            QVERIFY(!w.Check("cbTypeVideo")->isChecked());
            QVERIFY(w.Check("cbKeepGoing")->isChecked());
            QVERIFY(!w.Check("cbStripOther")->isChecked());
            QVERIFY(!w.Check("cbKeepOrientation")->isChecked());
            QVERIFY(w.Check("cbKeepDates")->isChecked());
            QCOMPARE(w.W<QLineEdit>("edStartFolder")->text(), QString("/photos"));
            QVERIFY(w.Check("cbInclSub")->isChecked());
            QCOMPARE(w.W<QLineEdit>("edOutputFolder")->text(), QString("/clean"));
            QVERIFY(!w.Check("cbExif")->isChecked());
            QVERIFY(w.Check("cbCOM")->isChecked());
            QVERIFY(!w.Check("cbIPTC")->isChecked());
            QCOMPARE(w.W<QComboBox>("comboPrefix")->currentText(), QString("new_"));
            QVERIFY(w.W<QRadioButton>("rbNewFolder")->isChecked());
            QVERIFY(w.W<QLineEdit>("edOutputFolder")->isEnabled());
            QVERIFY(w.Check("cbCopyAllFiles")->isEnabled());
            QVERIFY(!w.W<QComboBox>("comboPrefix")->isEnabled());
            QCOMPARE(store->OpenCount, 0);

            w.Check("cbCopyAllFiles")->setChecked(true);
            w.Check("cbTypeJpeg")->setChecked(false);
            w.Check("cbTypeHeif")->setChecked(true);
            w.form.show();
            QVERIFY(w.form.close());
        }
        QCOMPARE(v["TypeJpeg"], (TStoredValue{kRegInteger, "\0\0\0\0"s}));
        QCOMPARE(v["TypePng"], (TStoredValue{kRegInteger, "\0\0\0\0"s}));
        QCOMPARE(v["TypeWebp"], (TStoredValue{kRegInteger, "\x01\0\0\0"s}));
        QCOMPARE(v["TypeHeif"], (TStoredValue{kRegInteger, "\x01\0\0\0"s}));
        QCOMPARE(v["TypeVideo"], (TStoredValue{kRegInteger, "\0\0\0\0"s}));
        QCOMPARE(v["InclSubfolders"], (TStoredValue{kRegInteger, "\x01\0\0\0"s}));  // written back as 1
        QCOMPARE(v["Source"], (TStoredValue{kRegString, "/photos\0"s}));
        QCOMPARE(v["Prefix"], (TStoredValue{kRegString, "new_\0"s}));
        QCOMPARE(v["UsePrefix"], (TStoredValue{kRegInteger, "\0\0\0\0"s}));
        QCOMPARE(v["KeepGoing"], (TStoredValue{kRegInteger, "\x01\0\0\0"s}));
        QCOMPARE(v["Other"], (TStoredValue{kRegInteger, "\0\0\0\0"s}));
        QCOMPARE(v["KeepOrientation"], (TStoredValue{kRegInteger, "\0\0\0\0"s}));
        QCOMPARE(v["KeepDates"], (TStoredValue{kRegInteger, "\x01\0\0\0"s}));
        QCOMPARE(v.size(), size_t(17));  // the copy tick is not kept
        TWindow again(*store);
        QVERIFY(!again.Check("cbCopyAllFiles")->isChecked());
        QVERIFY(!again.Check("cbTypeJpeg")->isChecked());
    }

    void anOlderFileWithoutTheNewerValuesLoadsWhole()
    {
        auto& v = store->Keys[kSettingsKeyPath];
        v["Source"] = {kRegString, "/photos\0"s};
        for (const char* n : {"InclSubfolders", "Com", "IPTC", "UsePrefix", "KeepGoing"}) v[n] = {kRegInteger, "\x01\0\0\0"s};
        v["EXIF"] = {kRegInteger, "\0\0\0\0"s};
        v["Target"] = {kRegString, "/clean\0"s};
        v["Prefix"] = {kRegString, "new_\0"s};
        TWindow w(*store);
        QVERIFY(w.Check("cbKeepGoing")->isChecked());  // read to the last value it has
        QVERIFY(!w.Check("cbExif")->isChecked());
        for (const char* name : {"cbStripOther", "cbKeepOrientation"}) QVERIFY(w.Check(name)->isChecked());
        QVERIFY(!w.Check("cbKeepDates")->isChecked());
        for (const char* name : {"cbTypeJpeg", "cbTypePng", "cbTypeWebp", "cbTypeHeif", "cbTypeVideo"}) QVERIFY(w.Check(name)->isChecked());
        QVERIFY(dialogs->Messages.empty());
    }

    void aMissingPrefixReadsEmptyAndLoadingGoesOn()
    {
        auto& v = store->Keys[kSettingsKeyPath];
        for (const char* n : {"InclSubfolders", "EXIF", "Com", "IPTC"}) v[n] = {kRegInteger, "\x01\0\0\0"s};
        v["UsePrefix"] = {kRegInteger, "\0\0\0\0"s};
        TWindow w(*store);
        QCOMPARE(w.W<QComboBox>("comboPrefix")->currentText(), QString());
        QVERIFY(w.W<QRadioButton>("rbNewFolder")->isChecked());
    }

    void loadingStopsSilentlyAtTheFirstBadValue()
    {
        auto& v = store->Keys[kSettingsKeyPath];
        v["Source"] = {kRegString, "/photos\0"s};
        v["InclSubfolders"] = {kRegInteger, "\x01\0\0\0"s};
        v["Target"] = {kRegString, "/clean\0"s};
        v["EXIF"] = {kRegString, "yes\0"s};
        v["Com"] = {kRegInteger, "\0\0\0\0"s};
        v["UsePrefix"] = {kRegInteger, "\0\0\0\0"s};
        TWindow w(*store);
        QCOMPARE(w.W<QLineEdit>("edStartFolder")->text(), QString("/photos"));
        QVERIFY(w.Check("cbInclSub")->isChecked());
        QCOMPARE(w.W<QLineEdit>("edOutputFolder")->text(), QString("/clean"));
        QVERIFY(w.Check("cbExif")->isChecked());
        QVERIFY(w.Check("cbCOM")->isChecked());
        QVERIFY(w.W<QRadioButton>("rbUsePrefix")->isChecked());
        QVERIFY(dialogs->Messages.empty());
        QCOMPARE(store->OpenCount, 0);
    }

    void theFirstStartShowsTheDesignedDefaults()
    {
        TWindow w(*store);
        QVERIFY(store->Keys.count(kSettingsKeyPath));  // the key is created empty
        QVERIFY(store->Keys[kSettingsKeyPath].empty());
        QVERIFY(w.W<QRadioButton>("rbUsePrefix")->isChecked());
        QCOMPARE(w.W<QComboBox>("comboPrefix")->currentText(), QString("copy_"));
        store->FailOpen = true;  // an unavailable store changes nothing either
        TWindow w2(*store);
        QVERIFY(w2.Check("cbExif")->isChecked());
        w2.form.show();
        QVERIFY(w2.form.close());
    }

    void aFailedSaveIsShownOnceAndTheWindowClosesAnyway()
    {
        TWindow w(*store);
        w.form.show();
        store->FailWrites = true;
        QVERIFY(w.form.close());
        QVERIFY(!w.form.isVisible());
        QCOMPARE(dialogs->Messages.size(), size_t(1));
        QCOMPARE(dialogs->Messages[0].Caption, QString("Zorezaz"));
        QCOMPARE(dialogs->Messages[0].Text, QString("Failed to set data for 'Source'"));  // ' sorts before '.': no full stop
    }

    void folderButtons()
    {
        TWindow w(*store);
        w.W<QLineEdit>("edStartFolder")->setText("/before");
        dialogs->FolderAnswers = {std::string("/chosen/in"), std::nullopt};
        QTest::mouseClick(w.W<QToolButton>("btnStartFolder"), Qt::LeftButton);
        QCOMPARE(w.W<QLineEdit>("edStartFolder")->text(), QString("/chosen/in"));
        QTest::mouseClick(w.W<QToolButton>("btnStartFolder"), Qt::LeftButton);
        QCOMPARE(w.W<QLineEdit>("edStartFolder")->text(), QString("/chosen/in"));  // cancelled
        QCOMPARE(dialogs->FolderAsked, QStringList({"/before", "/chosen/in"}));
        dialogs->FolderAnswers = {std::string("/chosen/out")};
        w.form.btnNewFolderClick();  // works in prefix mode too
        QCOMPARE(w.W<QLineEdit>("edOutputFolder")->text(), QString("/chosen/out"));
    }

    void keyboard()
    {
        fixture::TempDir dir;
        fs::create_directories(dir / "in");
        fixture::WriteFile(dir / "in/a.jpg", batchfix::ExifOnly());
        THelpForm help;
        TWindow w(*store);
        w.form.SetHelpForm(&help);
        w.W<QLineEdit>("edStartFolder")->setText(Q(dir / "in"));
        w.form.show();
        QVERIFY(QTest::qWaitForWindowActive(&w.form));
        auto* ok = w.W<QPushButton>("Button1");
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(ok));

        // Enter and Space press the focused OK.
        for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space}) {
            w.statuses.clear();
            QTest::keyClick(ok, key);
            w.WaitIdle();
            QVERIFY(!w.statuses.isEmpty());
            QVERIFY(w.statuses.last().startsWith("Done  ("));
            QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(ok));  // back on OK after the run
        }

        // Alt with a label's letter goes to its control, and never types into a field.
        auto* start = w.W<QLineEdit>("edStartFolder");
        const QString before = start->text();
        QTest::keyClick(ok, Qt::Key_S, Qt::AltModifier);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(start));
        QTest::keyClick(start, Qt::Key_I, Qt::AltModifier);
        QTRY_VERIFY(w.Check("cbInclSub")->isChecked());  // a mnemonic clicks with a short animation
        QTest::keyClick(w.Check("cbInclSub"), Qt::Key_K, Qt::AltModifier);
        QTRY_VERIFY(!w.Check("cbKeepGoing")->isChecked());  // on at a first start
        start->setFocus();
        QTest::keyClick(start, Qt::Key_Q, Qt::AltModifier);  // no mnemonic
        QCOMPARE(start->text(), before);
        QTest::keyClick(start, Qt::Key_F, Qt::AltModifier);  // the File menu
        QTRY_VERIFY(QApplication::activePopupWidget() != nullptr);
        QApplication::activePopupWidget()->close();
        QCOMPARE(start->text(), before);

        // F1 opens Help.
        bool helpOpened = false;
        QTimer::singleShot(0, [&] {
            helpOpened = help.isVisible();
            help.close();
        });
        QTest::keyClick(&w.form, Qt::Key_F1);
        QVERIFY(helpOpened);

        // The link is a stop of its own, opened with Enter.
        w.W<TURLLabel>("URLLabel1")->setFocus();
        QTest::keyClick(w.W<TURLLabel>("URLLabel1"), Qt::Key_Return);
        QCOMPARE(dialogs->Opened, QStringList({kWebsite}));
    }

    void reasonsReadInTheWindowAsTheCoreWordsThem()
    {
        using TCode = tReason::TCode;
        auto made = [](TCode code, const std::string& file, int error, const std::string& output = {}) {
            tReason r(code, file, error);
            r.Output = output;
            return r;
        };
        tReason jpeg(TCode::JpegError, "/x/a.jpg");
        jpeg.Number = 21;
        jpeg.Detail = "Not a JPEG file";
        const std::pair<tReason, QString> cases[] = {
            {made(TCode::NoStartFolder, "", 0), "Choose a start folder first."},
            {made(TCode::StartMissing, "/gone", 0), "Folder /gone does not exist."},
            {made(TCode::StartClosed, "/shut", EACCES), "Cannot open folder /shut.\n\nPermission denied"},
            {made(TCode::ReadFolder, "/deep", ENAMETOOLONG), "Cannot read folder /deep.\n\nFile name too long"},
            {made(TCode::CreateFolder, "/a/b", ENOENT), "Cannot create /a/b.\n\nNo such file or directory"},
            {made(TCode::NotRegularFile, "/x/a.jpg", 0), "Cannot open file /x/a.jpg.\n\nNot a regular file"},
            {made(TCode::DamagedHead, "/x/a.jpg", 0), "Damaged JPEG header in /x/a.jpg"},
            {jpeg, "JPEG error #21 in /x/a.jpg: Not a JPEG file"},
            {tReason::Other("/x/a.jpg", "Output check failed for /x/a.jpg"), "Output check failed for /x/a.jpg"},
            // A reason the window has no words of its own for: the system's.
            {made(TCode::WriteError, "/x/a.jpg", EXDEV), "Stream write error.\n\n/x/a.jpg: Invalid cross-device link"},
        };
        for (const auto& [reason, text] : cases) QCOMPARE(TMainForm::ReasonText(reason), text);
        // The file errors of the library read as the library words them.
        for (const auto& error : {EFileError(EFileError::TStep::Open, "/x/a.jpg", EACCES),
                                  EFileError(EFileError::TStep::Create, "/o/copy_a.jpg", EROFS),
                                  EFileError(EFileError::TStep::Create, "/x/a.jpg", ENOSPC),
                                  EFileError(EFileError::TStep::Read, "", EIO),
                                  EFileError(EFileError::TStep::Write, "", ENOSPC)})
            QCOMPARE(TMainForm::ReasonText(ReasonOf(error, "/x/a.jpg")), Q(ForFile(error.what(), "/x/a.jpg")));
    }

    void keepGoingListsTheSkippedFiles()
    {
        fixture::TempDir dir;
        fs::create_directories(dir / "in");
        fixture::WriteFile(dir / "in/a.jpg", batchfix::ExifOnly());
        fixture::WriteFile(dir / "in/cut.jpg", batchfix::ExifAndComment().substr(0, 30));
        TWindow w(*store);
        w.W<QLineEdit>("edStartFolder")->setText(Q(dir / "in"));
        w.Check("cbKeepGoing")->setChecked(true);
        w.Ok();
        QVERIFY(dialogs->Messages.empty());
        QCOMPARE(w.Status(), QString("Done  (1 file processed, 1 skipped)"));
        QCOMPARE(dialogs->Lists.size(), size_t(1));
        QCOMPARE(dialogs->Lists[0].Caption, QString("Skipped files"));
        QCOMPARE(dialogs->Lists[0].Lines,
                 QStringList({Q(dir / "in/cut.jpg") + ": Damaged JPEG header in " + Q(dir / "in/cut.jpg") + "."}));
        QVERIFY(fixture::Exists(dir / "in/copy_a.jpg"));
    }

    void filesLeftAloneAreCountedAndListedWithTheirReasons()
    {
        fixture::TempDir dir;
        fs::create_directories(dir / "in");
        for (const auto& [name, bytes] : batchfix::MixedFolder()) fixture::WriteFile(dir / ("in/" + name), bytes);
        TWindow w(*store);
        w.W<QLineEdit>("edStartFolder")->setText(Q(dir / "in"));
        w.W<QRadioButton>("rbNewFolder")->setChecked(true);
        w.W<QLineEdit>("edOutputFolder")->setText(Q(dir / "out"));
        w.Check("cbCopyAllFiles")->setChecked(true);
        for (const char* name : {"cbExif", "cbCOM", "cbIPTC", "cbStripOther"}) w.Check(name)->setChecked(true);
        for (bool keepGoing : {false, true}) {
            w.Check("cbKeepGoing")->setChecked(keepGoing);
            fs::remove_all(dir / "out");
            dialogs->Lists.clear();
            w.Ok();
            QVERIFY(dialogs->Messages.empty());
            QCOMPARE(w.Status(), QString("Done  (5 of 6 files changed, 2 files of other types left alone)"));
            QCOMPARE(dialogs->Lists.size(), size_t(1));
            QCOMPARE(dialogs->Lists[0].Caption, QString("Files left alone"));
            QCOMPARE(dialogs->Lists[0].Text, QString("2 files were not cleaned and were left alone, without output:"));
            QStringList expected;
            for (const auto& [name, why] : batchfix::MixedLeftAlone()) expected << Q(dir / ("in/" + name)) + ": " + Q(why);
            QStringList lines = dialogs->Lists[0].Lines;
            lines.sort();
            expected.sort();
            QCOMPARE(lines, expected);
            QCOMPARE(fixture::Exists(dir / "out/zeros.jpg"), false);
            QCOMPARE(fixture::ReadFile(dir / "out/IMG_0001.jpg").substr(0, 4), std::string("\x89PNG"));
        }
        // JPEG unticked: its files are named too, by the reason of the tick, and none is written.
        w.Check("cbTypeJpeg")->setChecked(false);
        fs::remove_all(dir / "out");
        dialogs->Lists.clear();
        w.Ok();
        QCOMPARE(w.Status(), QString("Done  (3 of 3 files changed, 5 files of other types left alone)"));
        QCOMPARE(dialogs->Lists.size(), size_t(1));
        for (const char* name : {"a.jpg", "b.jpg", "c.JPEG"})
            QVERIFY2(dialogs->Lists[0].Lines.contains(Q(dir / (std::string("in/") + name)) + ": type not ticked under File types."),
                     name);
        // Content decides: the PNG named as a JPEG is a PNG, still ticked.
        std::set<std::string> written;
        for (const auto& e : fs::directory_iterator(dir / "out")) written.insert(e.path().filename());
        QCOMPARE(written, (std::set<std::string>{"IMG_0001.jpg", "phone.png", "photo.webp"}));
    }

    void theSkippedListCanBeCopied()
    {
        dialogs.reset();  // the desktop's own list
        QString shown, copied;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dialog) return;
            poll.stop();
            shown = dialog->findChild<QPlainTextEdit*>("SkippedList")->toPlainText();
            for (QPushButton* b : dialog->findChildren<QPushButton*>())
                if (Shown(b->text()) == "Copy all") b->click();
            copied = QGuiApplication::clipboard()->text();
            dialog->reject();
        });
        poll.start(10);
        TDialogs::Current().ShowList(nullptr, "Skipped files", "2 files", {"/a.jpg: one.", "/b.jpg: two."});
        QCOMPARE(shown, QString("/a.jpg: one.\n/b.jpg: two."));
        QCOMPARE(copied, QString("/a.jpg: one.\n/b.jpg: two.\n"));
    }

    void longPathsAreElidedInTheMiddle()
    {
        TWindow w(*store);
        w.form.show();
        auto* bar = w.form.findChild<TStatusBar*>("StatusBar1");
        const QString path = "Processing /" + QString("very-long-folder-name/").repeated(20) + "photo-1234.jpg";
        bar->showMessage(path);
        const QString shown = bar->ShownText();
        QVERIFY(shown.size() < path.size());
        QVERIFY(shown.startsWith("Processing /very"));
        QVERIFY(shown.endsWith("photo-1234.jpg"));
        QVERIFY(shown.contains(QChar(0x2026)));
        QCOMPARE(bar->currentMessage(), path);  // the whole text stays the message
        bar->showMessage("Done  (1 file processed)");
        QCOMPARE(bar->ShownText(), QString("Done  (1 file processed)"));
    }

    void progressShowsFilesDoneOfTheRealTotal()
    {
        fixture::TempDir dir;
        fs::create_directories(dir / "in/sub/deeper");
        for (const char* n : {"in/a.jpg", "in/b.jpg", "in/sub/c.jpg", "in/sub/deeper/d.jpg"})
            fixture::WriteFile(dir / n, batchfix::Plain());
        TWindow w(*store);
        w.W<QLineEdit>("edStartFolder")->setText(Q(dir / "in"));
        w.Check("cbInclSub")->setChecked(true);
        auto* bar = w.form.findChild<QProgressBar*>("ProgressBar1");
        QList<QPair<int, int>> seen;
        QObject::connect(bar, &QProgressBar::valueChanged, [&](int v) { seen << qMakePair(v, bar->maximum()); });
        // Held at the first file: the bar already counts against all four.
        TGate gate(w.form.Batch());
        QPair<int, int> atFirstFile{-1, -1};
        QObject::connect(w.W<QStatusBar>("StatusBar1"), &QStatusBar::messageChanged, [&](const QString& t) {
            if (atFirstFile.first >= 0 || !t.startsWith("Processing")) return;
            atFirstFile = qMakePair(bar->value(), bar->maximum());
            gate.Release();
        });
        QTest::mouseClick(w.W<QPushButton>("Button1"), Qt::LeftButton);
        // Busy while the files are counted.
        QVERIFY(!bar->isHidden());
        QCOMPARE(bar->maximum(), 0);
        w.WaitIdle();
        QCOMPARE(atFirstFile, qMakePair(0, 4));
        QVERIFY(!seen.isEmpty());
        QCOMPARE(seen.last(), qMakePair(4, 4));
        // Never a part of the tree as the total.
        for (const auto& [value, maximum] : seen) QCOMPARE(maximum, 4);
        QVERIFY(bar->isHidden());
    }

    void aRunThroughTwentyThousandFilesStopsAtOnceWithoutABacklog()
    {
        // On tmpfs, where it is there, an output's flush costs nothing.
        fixture::TempDir dir(fs::is_directory("/dev/shm") ? "/dev/shm" : "");
        fs::create_directories(dir / "in");
        constexpr int kFiles = 20000;
        const std::string jpeg = batchfix::CommentOnly();
        for (int i = 0; i < kFiles; ++i) fixture::WriteFile(dir / ("in/p" + std::to_string(i) + ".jpg"), jpeg);
        // The calls posted to the window: status and progress updates, the run's end.
        struct TPosted : QObject {
            int Count = 0;
            bool eventFilter(QObject*, QEvent* e) override
            {
                if (e->type() == QEvent::MetaCall) ++Count;
                return false;
            }
        };
        for (const bool close : {false, true}) {
            const char* round = close ? "stop and close" : "Stop";
            const std::string out = dir / (close ? "out-close" : "out-stop");
            TWindow w(*store);
            w.W<QLineEdit>("edStartFolder")->setText(Q(dir / "in"));
            w.W<QRadioButton>("rbNewFolder")->setChecked(true);
            w.W<QLineEdit>("edOutputFolder")->setText(Q(out));
            w.form.show();
            TPosted posted;
            w.form.installEventFilter(&posted);
            std::atomic<int> started{0};
            const auto onFile = w.form.Batch().OnFile;
            w.form.Batch().OnFile = [&](const std::string& file) {
                ++started;
                onFile(file);
            };
            // Once a thousand files are in, the user stops: the click waits
            // in the window's queue behind whatever is there.
            bool asked = false;
            int startedAtStop = -1, postedAtStop = 0, statusesAtStop = 0;
            QObject::connect(w.W<QStatusBar>("StatusBar1"), &QStatusBar::messageChanged, [&](const QString&) {
                if (asked || started < 1000) return;
                asked = true;
                QMetaObject::invokeMethod(
                    &w.form,
                    [&] {
                        if (close)
                            w.form.close();
                        else
                            QTest::mouseClick(w.W<QPushButton>("Button1"), Qt::LeftButton);
                        startedAtStop = started;
                        postedAtStop = posted.Count;
                        statusesAtStop = static_cast<int>(w.statuses.size());
                    },
                    Qt::QueuedConnection);
            });
            dialogs->Answer = true;
            w.Ok();
            QVERIFY2(asked && startedAtStop > 0, round);
            QVERIFY2(w.Status().startsWith("Stopped  ("), round);
            QCOMPARE(w.form.isVisible(), !close);
            // The file in hand was the last one taken up; what was handed in is written.
            QVERIFY(started <= startedAtStop + 1);
            const int written = static_cast<int>(Names(out).size());
            QVERIFY(written <= started);
            QCOMPARE(written, w.form.Batch().ChangedCount);
            QVERIFY(written < kFiles);
            // No backlog of updates came after the stop: the newest one, the end.
            QVERIFY2(posted.Count - postedAtStop <= 4,
                     qPrintable(QString("%1: %2 calls").arg(round).arg(posted.Count - postedAtStop)));
            QVERIFY(w.statuses.size() - statusesAtStop <= 2);
        }
    }

    void pathsThatAreNotUtf8FromThePickerAndTheSettings()
    {
        fixture::TempDir dir;
        const std::string odd = dir / "in-\xFF\xFE";
        fs::create_directories(odd);
        fixture::WriteFile(odd + "/a.jpg", batchfix::ExifOnly());
        // The folder as a window shows it turns back into its bytes.
        QCOMPARE(BytesOfShownPath(Q(odd)), odd);
        QCOMPARE(BytesOfShownPath(Q(dir / "plain")), dir / "plain");

        TWindow w(*store);
        dialogs->FolderAnswers = {odd, dir / ("out-\xFF")};
        QTest::mouseClick(w.W<QToolButton>("btnStartFolder"), Qt::LeftButton);
        w.W<QRadioButton>("rbNewFolder")->setChecked(true);
        QTest::mouseClick(w.W<QToolButton>("btnNewFolder"), Qt::LeftButton);
        w.Ok();
        QCOMPARE(w.Status(), QString("Done  (1 file processed)"));
        QVERIFY(fixture::Exists(dir / "out-\xFF/a.jpg"));
        w.form.show();
        QVERIFY(w.form.close());
        QCOMPARE(store->Keys[kSettingsKeyPath]["Source"], (TStoredValue{kRegString, odd + '\0'}));

        // From the settings, the same bytes again.
        TWindow again(*store);
        again.W<QRadioButton>("rbUsePrefix")->setChecked(true);
        again.Ok();
        QCOMPARE(again.Status(), QString("Done  (1 file processed)"));
        QVERIFY(fixture::Exists(odd + "/copy_a.jpg"));
        // A text the user types is taken as typed.
        again.W<QLineEdit>("edStartFolder")->setText(Q(dir / "missing"));
        again.Ok();
        QCOMPARE(dialogs->Messages.back().Text, "Folder " + Q(dir / "missing") + " does not exist.");
    }

    void websiteAboutAndTheLink()
    {
        TWindow w(*store);
        w.form.Website1Click();
        w.form.About1Click();
        auto* link = w.W<TURLLabel>("URLLabel1");
        int hostClicks = 0;
        QObject::connect(link, &TURLLabel::clicked, [&] { ++hostClicks; });
        w.form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w.form));
        QTest::mouseClick(link, Qt::LeftButton);
        QCOMPARE(hostClicks, 1);
        QCOMPARE(dialogs->Opened, QStringList({kWebsite, kWebsite}));
        QCOMPARE(dialogs->Abouts.size(), qsizetype(1));
        QVERIFY(dialogs->Abouts[0].contains(kMakerName));

        TURLLabel mail;
        mail.setText("info@zidovez.example");
        mail.SetMailLabel(true);
        QCOMPARE(mail.Target().toString(), QString("mailto:info@zidovez.example"));
        QVERIFY(mail.cursor().shape() == Qt::PointingHandCursor);
    }

    void aDroppedFolderOrFileSetsTheStartFolderAndAnythingElseIsRefused()
    {
        fixture::TempDir dir;
        const std::string odd = dir / "in-\xFF";
        fs::create_directories(odd + "/sub");
        fs::create_directories(dir / "other");
        fixture::WriteFile(odd + "/a.jpg", batchfix::ExifOnly());
        fixture::WriteFile(odd + "/b.jpg", batchfix::Plain());
        fixture::WriteFile(dir / "other/c.jpg", batchfix::Plain());
        // A file manager's address for a path's bytes.
        auto url = [](const std::string& path) {
            return QUrl::fromEncoded("file://" + QByteArray::fromStdString(path).toPercentEncoding("/"));
        };
        TWindow w(*store);
        QVERIFY(w.form.acceptDrops());
        // The edits leave drops to the window, so a drop on them is not typed in as text.
        for (const char* edit : {"edStartFolder", "edOutputFolder"}) QVERIFY(!w.W<QLineEdit>(edit)->acceptDrops());
        auto* start = w.W<QLineEdit>("edStartFolder");
        const struct {
            QList<QUrl> Urls;
            QString Text;
            const char* Expected;  // the start folder after the drop; null: refused
        } cases[] = {
            {{url(odd + "/sub")}, {}, "/sub"},
            {{url(odd + "/sub/")}, {}, "/sub"},
            {{url(odd + "/a.jpg")}, {}, ""},  // a file: its folder
            {{url(odd + "/a.jpg"), url(odd + "/b.jpg")}, {}, ""},
            {{url(odd + "/a.jpg"), url(dir / "other/c.jpg")}, {}, nullptr},  // two folders
            {{url(odd + "/missing.jpg")}, {}, nullptr},
            {{QUrl("https://zidovez.example/photos/")}, {}, nullptr},
            {{}, Q(odd), nullptr},  // a text, even one that names a folder
        };
        for (const auto& c : cases) {
            start->setText("/before");
            QMimeData mime;
            if (!c.Urls.isEmpty()) mime.setUrls(c.Urls);
            if (!c.Text.isEmpty()) mime.setText(c.Text);
            const QString what = c.Urls.isEmpty() ? c.Text : c.Urls.first().toString();
            QVERIFY2(Drop(w.form, mime) == (c.Expected != nullptr), qPrintable(what));
            QCOMPARE(start->text(), c.Expected ? Q(odd + c.Expected) : QString("/before"));
        }
        // The folder's bytes reach the run, not the text shown for them.
        QMimeData mime;
        mime.setUrls({url(odd + "/a.jpg")});
        QVERIFY(Drop(w.form, mime));
        w.Ok();
        QCOMPARE(w.Status(), QString("Done  (1 file processed)"));
        QVERIFY(fixture::Exists(odd + "/copy_a.jpg"));
    }

    void showMetadataListsAChosenFileWithTheTickedOptions()
    {
        fixture::TempDir dir;
        const std::string file = dir.Write("turned.jpg", TurnedWithXmpAndTrailer());
        TWindow w(*store);
        w.W<QLineEdit>("edStartFolder")->setText(Q(dir.Path()));
        auto* show = w.form.findChild<QAction*>("ShowMetadata1");
        QVERIFY(show);
        auto views = [&] { return w.form.findChildren<TMetadataView*>("MetadataView"); };

        dialogs->FileAnswers = {std::nullopt};  // cancelled: nothing opens
        show->trigger();
        QCOMPARE(dialogs->FileAsked, QStringList({Q(dir.Path())}));
        QVERIFY(views().isEmpty());

        dialogs->FileAnswers = {file};
        show->trigger();
        QCOMPARE(views().size(), qsizetype(1));
        TMetadataView* view = views().first();
        QVERIFY(view->isVisible());
        QVERIFY(!view->isModal());  // the main window stays usable beside it
        QCOMPARE(view->windowTitle(), "Metadata of " + Q(file));
        auto* text = view->findChild<QPlainTextEdit*>("MetadataText");
        QVERIFY(text->isReadOnly());
        // The view asks for the system's fixed-width face; what the machine's
        // fonts then give for it is the desktop's business, not the view's.
        const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        QCOMPARE(text->font().family(), fixed.family());
        QCOMPARE(text->font().styleHint(), fixed.styleHint());
        TBatchSettings all;
        all.Other = true;
        QCOMPARE(text->toPlainText(), ShownListing(DescribeFile(file, all)));
        QVERIFY(text->toPlainText().contains("removed (EXIF)"));
        QVERIFY(text->toPlainText().contains("removed (other)"));

        // The boxes as they are ticked at the time, not as they were at start.
        w.Check("cbExif")->setChecked(false);
        w.Check("cbStripOther")->setChecked(false);
        dialogs->FileAnswers = {file};
        show->trigger();
        QCOMPARE(views().size(), qsizetype(2));
        const QString second = views().last()->findChild<QPlainTextEdit*>("MetadataText")->toPlainText();
        QVERIFY(!second.contains("removed (EXIF)"));
        QVERIFY(!second.contains("removed (other)"));
        view->close();  // closing deletes it
        QTRY_COMPARE(views().size(), qsizetype(1));

        // Bytes that are not UTF-8 (a Latin-1 comment) are shown, not replaced.
        QCOMPARE(ShownListing("Comment: \"caf\xE9\"\nCamera: \"Caf\xC3\xA9\"\n"),
                 QString::fromUtf8("Comment: \"caf\xC3\xA9\"\nCamera: \"Caf\xC3\xA9\"\n"));
    }

    void theWindowSpeaksTheLanguageOfTheLocale()
    {
        QVERIFY(!TTranslations().Install(QStringList{"en-US"}, {ZOREZAZ_QM_DIR}));
        QVERIFY(!TTranslations().Install(QStringList{"en-GB", "de-DE"}, {ZOREZAZ_QM_DIR}));  // English preferred
        QVERIFY(!TTranslations().Install(QStringList{"fr-FR"}, {ZOREZAZ_QM_DIR}));
        QVERIFY(!TTranslations().Install(QLocale("de"), {"/nonexistent"}));
        {
            TTranslations german;
            QVERIFY(german.Install(QStringList{"fr-FR", "de-AT"}, {"/nonexistent", ZOREZAZ_QM_DIR}));
            TWindow w(*store);
            QCOMPARE(w.form.windowTitle(), QString("Zorezaz"));
            QCOMPARE(w.W<QGroupBox>("GroupBox1")->title(), QString("Eingabeoptionen"));
            QCOMPARE(Shown(w.W<QLabel>("Label1")->text()), QString("Startordner:"));
            QCOMPARE(Shown(w.Check("cbExif")->text()), QString("EXIF entfernen"));
            QCOMPARE(Shown(w.Check("cbKeepDates")->text()), QString("Dateidatum behalten"));
            QCOMPARE(w.W<QComboBox>("comboPrefix")->currentText(), QString("copy_"));  // a file name, not a word
            // The texts the window writes itself.
            for (const char* name : {"cbExif", "cbCOM", "cbIPTC", "cbStripOther"}) w.Check(name)->setChecked(false);
            w.Ok();
            QCOMPARE(dialogs->Messages.size(), size_t(1));
            QCOMPARE(dialogs->Messages[0].Caption, QString("Information"));
            QVERIFY(dialogs->Messages[0].Text.startsWith("Nichts zu tun."));
            fixture::TempDir dir;
            dir.Write("a.jpg", batchfix::ExifOnly());
            w.W<QLineEdit>("edStartFolder")->setText(Q(dir.Path()));
            w.Check("cbExif")->setChecked(true);
            w.Ok();
            QCOMPARE(w.statuses.first(), "Bearbeite " + Q(dir / "a.jpg"));
            QCOMPARE(w.Status(), QString("Fertig  (1 Datei bearbeitet)"));
            // Found done, a file skipped with its reason, a folder that is not there: in German too.
            dir.Write("cut.jpg", batchfix::ExifAndComment().substr(0, 30));
            w.Ok();
            QCOMPARE(w.Status(), QString("Fertig  (1 Datei bereits sauber, 1 übersprungen)"));
            QCOMPARE(dialogs->Lists.size(), size_t(1));
            QCOMPARE(dialogs->Lists[0].Caption, QString("Übersprungene Dateien"));
            QCOMPARE(dialogs->Lists[0].Lines, QStringList({Q(dir / "cut.jpg") + ": Beschädigter JPEG-Kopf in " +
                                                           Q(dir / "cut.jpg") + "."}));
            w.W<QLineEdit>("edStartFolder")->setText(Q(dir / "fehlt"));
            w.Ok();
            QCOMPARE(dialogs->Messages.back().Text, "Der Ordner " + Q(dir / "fehlt") + " existiert nicht.");
            // Files left alone, beside a skipped one.
            dir.Write("b.gif", "GIF89a");
            dir.Write("zeros.jpg", std::string(64, '\0'));
            w.W<QLineEdit>("edStartFolder")->setText(Q(dir.Path()));
            w.Ok();
            QCOMPARE(w.Status(),
                     QString("Fertig  (1 Datei bereits sauber, 1 übersprungen, 2 Dateien anderer Typen unberührt)"));
            QCOMPARE(dialogs->Lists.back().Caption, QString("Übersprungene Dateien"));
            QVERIFY(dialogs->Lists.back().Lines.contains(Q(dir / "b.gif") + ": Dateityp nicht unterstützt."));
            QVERIFY(dialogs->Lists.back().Lines.contains(Q(dir / "zeros.jpg") +
                                                          ": kein Bild, das Zorezaz bereinigen kann."));
            QCOMPARE(TMainForm::ReasonText(tReason(tReason::TCode::OpenFile, "/x/a.jpg", EACCES)),
                     QString("Die Datei /x/a.jpg kann nicht geöffnet werden.\n\nZugriff verweigert"));
            QCOMPARE(TMainForm::ReasonText(tReason(tReason::TCode::TypeNotChosen, "/x/a.png")),
                     QString("Typ unter „Dateitypen“ nicht angekreuzt"));
            THelpForm help;
            QCOMPARE(help.windowTitle(), QString("Hilfe"));
            const QString helpText = help.findChild<QPlainTextEdit*>("Memo1")->toPlainText();
            QVERIFY(helpText.contains("Zorezaz ist ganz einfach zu bedienen:"));
        }
        // Without it, the English originals again.
        TWindow w(*store);
        QCOMPARE(w.W<QGroupBox>("GroupBox1")->title(), QString("Input options"));
        QCOMPARE(Shown(w.Check("cbExif")->text()), QString("Strip EXIF tags"));
    }

    void inEveryLanguageEachMnemonicIsOnceAndEachCaptionFits()
    {
        for (const bool german : {false, true}) {
            TTranslations translations;
            QCOMPARE(translations.Install(QStringList{german ? "de" : "en"}, {ZOREZAZ_QM_DIR}), german);
            TWindow w(*store);
            w.form.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w.form));
            TCaptions c = Captions(w.form);
            c.Window << w.form.tr("S&top");  // OK while a run lasts
            for (const QStringList* captions : {&c.Window, &c.FileMenu, &c.HelpMenu}) {
                const QStringList letters = MnemonicLetters(*captions);
                QCOMPARE(letters.size(), captions->size());  // every caption has one
                QCOMPARE(QSet<QString>(letters.begin(), letters.end()).size(), letters.size());
            }
            QVERIFY2(c.TooNarrow.isEmpty(), qPrintable(c.TooNarrow.join("; ")));
        }
    }

    void theSystemLocaleChoosesTheLanguage()
    {
        // CTest runs this once more with LANG and LANGUAGE set to German and
        // ZOREZAZ_TEST_LANGUAGE=de; otherwise the environment's language decides.
        if (qgetenv("ZOREZAZ_TEST_LANGUAGE") == "de") QCOMPARE(QLocale::system().language(), QLocale::German);
        const QString preferred = QLocale::system().uiLanguages().value(0);
        const bool german = preferred.startsWith("de");
        TTranslations translations;
        QCOMPARE(translations.Install(QLocale::system(), {ZOREZAZ_QM_DIR}), german);
        TWindow w(*store);
        QCOMPARE(w.W<QGroupBox>("GroupBox2")->title(), QString(german ? "Ausgabeoptionen" : "Output options"));
    }

    void theRealErrorBox()
    {
        dialogs.reset();  // the desktop's own boxes
        TWindow w(*store);
        QString caption, text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        int buttons = 0;
        // The box comes when the run has ended on its worker: answer it when it is there.
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            poll.stop();
            caption = box->windowTitle();
            text = box->text();
            icon = box->icon();
            buttons = int(box->buttons().size());
            box->accept();
        });
        poll.start(10);
        w.Ok();  // empty start folder
        QCOMPARE(caption, QString("Zorezaz"));
        QCOMPARE(text, QString("Choose a start folder first."));
        QCOMPARE(icon, QMessageBox::Critical);
        QCOMPARE(buttons, 1);
    }

private:
    std::unique_ptr<TMemorySettingsStore> store;
    std::unique_ptr<TTestDialogs> dialogs;
};

QTEST_MAIN(MainFormTest)
#include "main_form_test.moc"
