#pragma once
// The main window: options, the OK button that runs the batch, the status line.

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <QElapsedTimer>
#include <QMainWindow>

#include "app/core/batch_run.h"
#include "app/settings/settings_key.h"
#include "app/settings/settings_store.h"

namespace Ui {
class TMainForm;
}
class THelpForm;
class QCheckBox;
class QLineEdit;
class QProgressBar;
class QTimer;

class TMainForm : public QMainWindow {
    Q_OBJECT

public:
    explicit TMainForm(ISettingsStore& settings, QWidget* parent = nullptr);
    ~TMainForm() override;

    // The help window created at start, shown by "Help" ▸ "Help".
    void SetHelpForm(THelpForm* helpForm) { FHelpForm = helpForm; }
    // The engine of the last run; read it only while no run is going.
    TBatchRun& Batch() { return *FBatch; }
    // A run is going on its worker thread.
    bool Running() const { return FWorker.joinable(); }

    // The options to and from the user's settings store.
    void LoadSettings();
    void SaveSettings();

    // What the core reports, in the user's language: a reason for a file or
    // folder ("Cannot open file …"), and the system's words for an error number.
    static QString ReasonText(const tReason& reason);
    static QString SystemReason(int error);

signals:
    // A run has ended and the window is idle again (after its messages).
    void RunFinished();

public slots:
    void Button1Click();
    void btnStartFolderClick();
    void btnNewFolderClick();
    void rbNewFolderClick();
    void rbUsePrefixClick();
    void Close1Click();
    // File ▸ "Show metadata…": what a chosen JPEG holds, and what the ticked
    // options would remove from it.
    void ShowMetadata1Click();
    // After a run in new-folder mode: the output folder in the file manager.
    void btnOpenOutputClick();
    void Help2Click();
    void Website1Click();
    void About1Click();
    // Ends the run after the file in hand (OK reads "Stop" while one runs; Esc).
    void StopRun();

protected:
    void closeEvent(QCloseEvent* event) override;  // FormClose
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    // A folder dropped on the window becomes the start folder; a file, its folder.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // A folder edit and the bytes of the path it shows: a name that is not
    // UTF-8 cannot be typed back from its text, so the bytes it was set from
    // are kept until the user edits the text.
    struct tPathEdit {
        QLineEdit* Edit = nullptr;
        std::string Bytes;
        bool FromBytes = false;
    };
    // How a run ended; the option errors are worded by the window, in the
    // user's language (the batch run's own words are English).
    enum class TEnd { Done, NothingToDo, NoFileType, InvalidOutputFolder, InvalidPrefix, Error };

    void FormCreate();
    // The options as the controls show them now.
    TBatchSettings ControlsOptions() const;
    // The File types row: each type and its box.
    std::vector<std::pair<tFileType, QCheckBox*>> TypeBoxes() const;
    // The kept options, each once: its key, its first-start value, its control.
    std::vector<tSettingRow> SettingRows();
    // The totals of the last run, "(2 files processed, 1 skipped)", and the
    // status line they end it with.
    QString TotalsText() const;
    QString FinishedText(TEnd end) const;
    void ChooseFolderFor(tPathEdit& path);
    void SetPath(tPathEdit& path, const std::string& bytes);
    std::string PathOf(const tPathEdit& path) const;
    void SetRunning(bool running);
    void StartRun();
    void RunEnded(TEnd end, const tReason& reason);
    // Runs `update` on the window's thread, soon; from the worker.
    template <class F>
    void Post(F update);
    // From the worker: `change` applied to the newest status and progress,
    // and, unless one is on its way, a call of TakeLatest posted.
    template <class F>
    void Offer(F change);
    // The newest status and progress onto the widgets, at most one update
    // every kUpdateInterval: a run through many small files cannot queue
    // an update per file ahead of the user's clicks.
    void TakeLatest();
    void ShowLatest();

    std::unique_ptr<Ui::TMainForm> ui;
    ISettingsStore& FSettings;
    THelpForm* FHelpForm = nullptr;
    tPathEdit FStartPath, FOutputPath;
    QProgressBar* FProgress = nullptr;
    // The options of the run going on, taken from the controls at OK.
    TBatchSettings FRunOptions;
    std::unique_ptr<TBatchRun> FBatch;
    std::thread FWorker;
    // What the worker offers for the status line and the bar; only the
    // newest counts. Posted: a TakeLatest is on its way or waits on the timer.
    struct tLatest {
        std::optional<std::string> File;
        std::optional<std::pair<int, int>> Progress;  // done, total
        bool Posted = false;
    };
    std::mutex FLatestLock;
    tLatest FLatest;
    QTimer* FLatestTimer = nullptr;
    QElapsedTimer FLastShown;
    bool FCloseAfterRun = false;
    // The folder the last run wrote into (new-folder mode), as bytes.
    std::string FOutputShown;
};
