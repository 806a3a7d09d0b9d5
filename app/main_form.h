#pragma once
// The main window: options, the OK button that runs the batch, the status line.

#include <memory>

#include <QMainWindow>

#include "app/batch_run.h"
#include "app/settings_store.h"

namespace Ui {
class TMainForm;
}
class THelpForm;

class TMainForm : public QMainWindow {
    Q_OBJECT

public:
    explicit TMainForm(ISettingsStore& settings, QWidget* parent = nullptr);
    ~TMainForm() override;

    // The help window created at start, shown by "Help" ▸ "Help".
    void SetHelpForm(THelpForm* helpForm) { FHelpForm = helpForm; }
    TBatchRun& Batch() { return *FBatch; }

    // The options to and from the user's settings store.
    void LoadSettings();
    void SaveSettings();

public slots:
    void Button1Click();
    void btnStartFolderClick();
    void btnNewFolderClick();
    void rbNewFolderClick();
    void rbUsePrefixClick();
    void Close1Click();
    void Help2Click();
    void Website1Click();
    void About1Click();

protected:
    void closeEvent(QCloseEvent* event) override;  // FormClose
    bool event(QEvent* event) override;

private:
    class TWindowOptions;

    void FormCreate();
    void ChooseFolderFor(class QLineEdit* edit);
    void SetRunning(bool running);

    std::unique_ptr<Ui::TMainForm> ui;
    ISettingsStore& FSettings;
    THelpForm* FHelpForm = nullptr;
    std::unique_ptr<TWindowOptions> FOptions;
    std::unique_ptr<TBatchRun> FBatch;
};
