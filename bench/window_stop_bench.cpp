// How fast the main window answers while a run goes through many small
// files: the lag of a timer due every 50 ms (what a menu or a key waits),
// the time from a click on Stop to "Stopped", and from "Yes" on the close
// question to the window gone; and how many outputs and status updates
// still came after each. Run it offscreen or under Xvfb:
//
//   QT_QPA_PLATFORM=offscreen bench_window_stop [SCRATCH_DIR [FILES]]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTimer>

#include "app/window/dialogs.h"
#include "app/window/main_form.h"
#include "app/settings/settings_memory.h"
#include "tests/support/jpeg_fixtures.h"

namespace fs = std::filesystem;

namespace {

// Answers "Yes" at once and notes when it was asked.
class TYesDialogs : public TDialogs {
public:
    bool Ask(QWidget*, const QString&, const QString&) override
    {
        AskedAt = Clock.elapsed();
        return true;
    }
    void Message(QWidget*, TKind, const QString&, const QString& text) override
    {
        std::printf("  message: %s\n", qPrintable(text));
    }
    void ShowList(QWidget*, const QString&, const QString& text, const QStringList&) override
    {
        std::printf("  list: %s\n", qPrintable(text));
    }
    QElapsedTimer Clock;
    qint64 AskedAt = -1;
};

size_t CountFiles(const std::string& dir)
{
    std::error_code ec;
    size_t n = 0;
    for (auto it = fs::directory_iterator(dir, ec); !ec && it != fs::directory_iterator(); it.increment(ec)) ++n;
    return n;
}

template <class T>
T* Child(QWidget& w, const char* name)
{
    T* c = w.findChild<T*>(QString::fromLatin1(name));
    if (!c) std::abort();
    return c;
}

// One run of the window over `in`; after `after` ms either Stop is clicked
// or the window is closed (and "Yes" answered).
void Round(const std::string& in, const std::string& out, bool close, int after)
{
    TMemorySettingsStore store;
    TYesDialogs dialogs;
    TDialogs::SetCurrent(&dialogs);
    TMainForm form(store);
    Child<QLineEdit>(form, "edStartFolder")->setText(QString::fromStdString(in));
    Child<QRadioButton>(form, "rbNewFolder")->setChecked(true);
    Child<QLineEdit>(form, "edOutputFolder")->setText(QString::fromStdString(out));
    form.show();

    QElapsedTimer& clock = dialogs.Clock;
    qint64 stoppedAt = -1, goneAt = -1, clickAt = -1, maxLag = 0;
    size_t outputsAtClick = 0;
    int statusesAfterClick = 0;
    QObject::connect(Child<QStatusBar>(form, "StatusBar1"), &QStatusBar::messageChanged, [&](const QString& t) {
        if (clickAt < 0) return;
        ++statusesAfterClick;
        if (stoppedAt < 0 && (t.startsWith("Stopped") || t.startsWith("Done"))) stoppedAt = clock.elapsed();
    });
    // The lag of a timer due every 50 ms.
    QTimer probe;
    qint64 due = 0;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        maxLag = std::max(maxLag, clock.elapsed() - due);
        due = clock.elapsed() + 50;
    });
    QTimer::singleShot(after, &form, [&] {
        clickAt = clock.elapsed();
        if (close)
            form.close();
        else
            Child<QPushButton>(form, "Button1")->click();
        outputsAtClick = CountFiles(out);
    });
    QObject::connect(&form, &TMainForm::RunFinished, [&] { goneAt = clock.elapsed(); });
    clock.start();
    due = 50;
    probe.start(50);
    Child<QPushButton>(form, "Button1")->click();
    // Closing hides the window; a stop ends with RunFinished.
    while ((close ? form.isVisible() : goneAt < 0) || form.Running()) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        if (close && goneAt < 0 && !form.isVisible()) goneAt = clock.elapsed();
    }
    if (close && goneAt < 0) goneAt = clock.elapsed();
    const size_t outputs = CountFiles(out);
    std::printf("%s: click due at %d ms, handled at %lld ms; ", close ? "close" : "stop ", after,
                static_cast<long long>(clickAt));
    if (close)
        std::printf("asked at %lld ms, window gone %lld ms after the answer", static_cast<long long>(dialogs.AskedAt),
                    static_cast<long long>(goneAt - dialogs.AskedAt));
    else
        std::printf("\"Stopped\" %lld ms after the click", static_cast<long long>(stoppedAt - clickAt));
    std::printf("\n       outputs at click %zu, at end %zu; status updates after the click %d; "
                "worst lag of a 50 ms timer %lld ms\n",
                outputsAtClick, outputs, statusesAfterClick, static_cast<long long>(maxLag));
    TDialogs::SetCurrent(nullptr);
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // A folder of our own unless one is given; it goes at the end.
    const std::unique_ptr<fixture::TempDir> own = argc > 1 ? nullptr : std::make_unique<fixture::TempDir>();
    const std::string root = own ? own->Path() : argv[1];
    const int files = argc > 2 ? std::atoi(argv[2]) : 20000;
    const std::string in = root + "/in";
    fs::create_directories(in);
    if (CountFiles(in) != static_cast<size_t>(files)) {
        const std::string jpeg = fixture::AfterSoi(fixture::TinyJpeg(8, 8), fixture::Segment(0xFE, "secret words"));
        for (int i = 0; i < files; ++i) fixture::WriteFile(in + "/p" + std::to_string(i) + ".jpg", jpeg);
    }
    for (int round = 0; round < 2; ++round) {
        const std::string out = root + "/out" + std::to_string(round);
        fs::remove_all(out);
        Round(in, out, round == 1, 1500);
        fs::remove_all(out);
    }
    return 0;
}
