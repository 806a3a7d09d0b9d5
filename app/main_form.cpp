#include "app/main_form.h"

#include <algorithm>
#include <climits>
#include <optional>
#include <vector>

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QProgressBar>
#include <QShortcut>
#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <QTimer>

#include <sys/stat.h>

#include "app/anchors.h"
#include "app/dialogs.h"
#include "app/error_text.h"
#include "app/help_form.h"
#include "app/maker.h"
#include "app/metadata_listing.h"
#include "app/metadata_view.h"
#include "app/settings_key.h"
#include "app/status_bar.h"
#include "app/window_font.h"
#include "meta/jpeg/file_io.h"
#include "ui_main_form.h"

namespace {

// The client area's designed height: the options, OK and the link.
constexpr int kClientHeight = 353;

std::string Bytes(const QString& text)
{
    return QFile::encodeName(text).toStdString();
}

QString ShownText(const std::string& bytes)
{
    return QFile::decodeName(QByteArray::fromStdString(bytes));
}

// A path's bytes from a local file URL, as a file manager puts it on a drag:
// taken from the percent-encoding, so a name that is not UTF-8 keeps its bytes.
std::optional<std::string> LocalPath(const QUrl& url)
{
    if (!url.isValid() || !url.isLocalFile()) return std::nullopt;
    std::string path = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()).toStdString();
    if (path.empty() || path[0] != '/') return std::nullopt;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

// The folder a drag names: a folder itself or the folder of a file. Several
// items must all lead to the same folder; anything else (a web address, a
// text, a missing file) names none.
std::optional<std::string> DroppedFolder(const QMimeData* mime)
{
    if (!mime || !mime->hasUrls() || mime->urls().isEmpty()) return std::nullopt;
    std::optional<std::string> folder;
    for (const QUrl& url : mime->urls()) {
        const auto path = LocalPath(url);
        struct stat st;
        if (!path || ::stat(path->c_str(), &st) != 0) return std::nullopt;
        const std::string here = S_ISDIR(st.st_mode) ? *path : FolderOf(*path);
        if (folder && *folder != here) return std::nullopt;
        folder = here;
    }
    return folder;
}

// A local folder's address for the file manager, from its bytes.
QUrl FolderUrl(const std::string& bytes)
{
    return QUrl::fromEncoded("file://" + QByteArray::fromStdString(bytes).toPercentEncoding("/"));
}

bool IsFolder(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

TMainForm::TMainForm(ISettingsStore& settings, QWidget* parent)
    : QMainWindow(parent), ui(std::make_unique<Ui::TMainForm>()), FSettings(settings)
{
    ui->setupUi(this);
    FStartPath.Edit = ui->edStartFolder;
    FOutputPath.Edit = ui->edOutputFolder;
    // Any other text, typed or set, is taken as it reads.
    for (tPathEdit* path : {&FStartPath, &FOutputPath})
        connect(path->Edit, &QLineEdit::textChanged, this, [path](const QString& text) {
            if (text != ShownText(path->Bytes)) path->FromBytes = false;
        });

    FBatch = std::make_unique<TBatchRun>(FRunOptions);
    // The run calls these on its worker thread; the widgets change on the
    // window's, with the newest values only. The totals are written when the
    // run has ended (RunEnded).
    FBatch->OnFile = [this](const std::string& file) { Offer([&](tLatest& l) { l.File = file; }); };
    FBatch->OnProgress = [this](int done, int total) {
        Offer([&](tLatest& l) { l.Progress = std::make_pair(done, total); });
    };
    FLatestTimer = new QTimer(this);
    FLatestTimer->setSingleShot(true);
    connect(FLatestTimer, &QTimer::timeout, this, &TMainForm::ShowLatest);

    connect(ui->Button1, &QPushButton::clicked, this, &TMainForm::Button1Click);
    connect(ui->btnStartFolder, &QToolButton::clicked, this, &TMainForm::btnStartFolderClick);
    connect(ui->btnNewFolder, &QToolButton::clicked, this, &TMainForm::btnNewFolderClick);
    // A click, or a selection in code, runs the handler when the button becomes selected.
    connect(ui->rbNewFolder, &QRadioButton::toggled, this, [this](bool on) {
        if (on) rbNewFolderClick();
    });
    connect(ui->rbUsePrefix, &QRadioButton::toggled, this, [this](bool on) {
        if (on) rbUsePrefixClick();
    });
    connect(ui->Close1, &QAction::triggered, this, &TMainForm::Close1Click);
    connect(ui->ShowMetadata1, &QAction::triggered, this, &TMainForm::ShowMetadata1Click);
    connect(ui->btnOpenOutput, &QPushButton::clicked, this, &TMainForm::btnOpenOutputClick);
    connect(ui->Help2, &QAction::triggered, this, &TMainForm::Help2Click);
    connect(ui->Website1, &QAction::triggered, this, &TMainForm::Website1Click);
    connect(ui->About1, &QAction::triggered, this, &TMainForm::About1Click);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, [this] {
        if (Running()) StopRun();
    });
    FormCreate();
}

TMainForm::~TMainForm()
{
    // The window goes: the run ends after its file, and nothing it posts arrives.
    if (FWorker.joinable()) {
        FBatch->Stop();
        FWorker.join();
    }
}

template <class F>
void TMainForm::Post(F update)
{
    QMetaObject::invokeMethod(this, std::move(update), Qt::QueuedConnection);
}

template <class F>
void TMainForm::Offer(F change)
{
    bool post = false;
    {
        const std::lock_guard<std::mutex> lock(FLatestLock);
        change(FLatest);
        post = !std::exchange(FLatest.Posted, true);
    }
    if (post) Post([this] { TakeLatest(); });
}

void TMainForm::TakeLatest()
{
    // A few dozen updates a second are as many as anyone can read.
    constexpr qint64 kUpdateInterval = 30;  // ms
    const qint64 since = FLastShown.isValid() ? FLastShown.elapsed() : kUpdateInterval;
    if (since < kUpdateInterval)
        FLatestTimer->start(static_cast<int>(kUpdateInterval - since));
    else
        ShowLatest();
}

void TMainForm::ShowLatest()
{
    FLatestTimer->stop();
    tLatest latest;
    {
        const std::lock_guard<std::mutex> lock(FLatestLock);
        latest = std::exchange(FLatest, tLatest{});
    }
    FLastShown.start();
    if (latest.Progress) {
        // Still counting, or nothing to count: a busy bar rather than "0 of 0".
        const auto [done, total] = *latest.Progress;
        FProgress->setRange(0, total);
        FProgress->setValue(std::min(done, total));
    }
    if (latest.File) ui->StatusBar1->showMessage(tr("Processing %1").arg(ShownText(*latest.File)));
}

void TMainForm::FormCreate()
{
    ApplyWindowFont(this);
    // A caption bar with system menu and minimise box, no maximise box.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

    const QIcon folder = style()->standardIcon(QStyle::SP_DirIcon);
    ui->btnStartFolder->setIcon(folder);
    ui->btnNewFolder->setIcon(folder);
    ui->Close1->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    ui->ShowMetadata1->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
    ui->Help2->setIcon(style()->standardIcon(QStyle::SP_DialogHelpButton));
    ui->Website1->setIcon(style()->standardIcon(QStyle::SP_DriveNetIcon));
    ui->About1->setIcon(style()->standardIcon(QStyle::SP_MessageBoxInformation));
    ui->URLLabel1->setText(QString::fromUtf8(kWebsite));
    // Sized to its text, as a label is; it grows toward the right margin.
    ui->URLLabel1->resize(std::max(ui->URLLabel1->width(), ui->URLLabel1->sizeHint().width()),
                          ui->URLLabel1->height());

    // Client area as designed: 426 wide, above a status line of 19.
    ui->centralwidget->setMinimumSize(426, kClientHeight);
    ui->StatusBar1->setFixedHeight(19);
    // Files done of files found, while a run lasts.
    FProgress = new QProgressBar(ui->StatusBar1);
    FProgress->setObjectName(QStringLiteral("ProgressBar1"));
    FProgress->setFixedSize(120, 15);
    FProgress->setFormat(tr("%v of %m"));
    FProgress->setRange(0, 0);
    ui->StatusBar1->addPermanentWidget(FProgress);
    FProgress->hide();
    auto* central = new TAnchors(ui->centralwidget);
    ui->centralwidget->resize(426, kClientHeight);
    central->Add(ui->Bevel1, TAnchors::TKind::Stretch);
    central->Add(ui->GroupBox1, TAnchors::TKind::Stretch);
    central->Add(ui->GroupBox2, TAnchors::TKind::Stretch);
    central->Add(ui->URLLabel1, TAnchors::TKind::Right);
    auto* input = new TAnchors(ui->GroupBox1);
    input->Add(ui->edStartFolder, TAnchors::TKind::Stretch);
    input->Add(ui->btnStartFolder, TAnchors::TKind::Right);
    auto* output = new TAnchors(ui->GroupBox2);
    output->Add(ui->edOutputFolder, TAnchors::TKind::Stretch);
    output->Add(ui->btnNewFolder, TAnchors::TKind::Right);

    // Never narrower than designed; the height is fixed.
    resize(426, ui->MainMenu1->sizeHint().height() + kClientHeight + 19);
    setMinimumSize(size());
    setMaximumHeight(height());
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    // Alt with a key is a mnemonic, or nothing: never text typed into a field.
    for (QWidget* field : {static_cast<QWidget*>(ui->edStartFolder), static_cast<QWidget*>(ui->edOutputFolder),
                           static_cast<QWidget*>(ui->comboPrefix->lineEdit())})
        field->installEventFilter(this);

    // Folders dropped anywhere on the window; the edits leave drops to it.
    setAcceptDrops(true);
    for (QWidget* field : {static_cast<QWidget*>(ui->edStartFolder), static_cast<QWidget*>(ui->edOutputFolder),
                           static_cast<QWidget*>(ui->comboPrefix->lineEdit())})
        field->setAcceptDrops(false);

    setWindowTitle(QString::fromUtf8(kAppTitle));
    ui->Button1->setFocus();
    LoadSettings();
}

void TMainForm::LoadSettings()
{
    TSettingsKey key(FSettings);
    if (!key.Open(kSettingsKeyPath)) return;
    // The first value that cannot be read ends the loading, silently: what
    // was read stays, the rest keeps its designed state.
    try {
        SetPath(FStartPath, key.ReadString("Source"));
        ui->cbInclSub->setChecked(key.ReadBool("InclSubfolders"));
        SetPath(FOutputPath, key.ReadString("Target"));
        ui->cbExif->setChecked(key.ReadBool("EXIF"));
        ui->cbCOM->setChecked(key.ReadBool("Com"));
        ui->cbIPTC->setChecked(key.ReadBool("IPTC"));
        ui->comboPrefix->setCurrentText(ShownText(key.ReadString("Prefix")));
        if (key.ReadBool("UsePrefix")) ui->rbUsePrefix->setChecked(true);
        else ui->rbNewFolder->setChecked(true);
        ui->cbKeepGoing->setChecked(key.ReadBool("KeepGoing"));
        // Added later: files written before them end the loading here.
        ui->cbStripOther->setChecked(key.ReadBool("Other"));
        ui->cbKeepOrientation->setChecked(key.ReadBool("KeepOrientation"));
        ui->cbKeepDates->setChecked(key.ReadBool("KeepDates"));
    } catch (...) {
    }
}

void TMainForm::SaveSettings()
{
    TSettingsKey key(FSettings);
    if (!key.Open(kSettingsKeyPath)) return;
    // "Copy unchanged files…" is left out on purpose: it starts unticked every time.
    key.WriteString("Source", PathOf(FStartPath));
    key.WriteBool("InclSubfolders", ui->cbInclSub->isChecked());
    key.WriteString("Target", PathOf(FOutputPath));
    key.WriteBool("EXIF", ui->cbExif->isChecked());
    key.WriteBool("Com", ui->cbCOM->isChecked());
    key.WriteBool("IPTC", ui->cbIPTC->isChecked());
    key.WriteString("Prefix", Bytes(ui->comboPrefix->currentText()));
    key.WriteBool("UsePrefix", ui->rbUsePrefix->isChecked());
    key.WriteBool("KeepGoing", ui->cbKeepGoing->isChecked());
    key.WriteBool("Other", ui->cbStripOther->isChecked());
    key.WriteBool("KeepOrientation", ui->cbKeepOrientation->isChecked());
    key.WriteBool("KeepDates", ui->cbKeepDates->isChecked());
}

void TMainForm::SetPath(tPathEdit& path, const std::string& bytes)
{
    path.Bytes = bytes;
    path.FromBytes = true;
    path.Edit->setText(ShownText(bytes));
}

std::string TMainForm::PathOf(const tPathEdit& path) const
{
    return path.FromBytes ? path.Bytes : Bytes(path.Edit->text());
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    if (Running()) {
        // Closing asks once; the window then closes when the file in hand is done.
        const bool stop = FCloseAfterRun ||
                          TDialogs::Current().Ask(this, QString::fromUtf8(kAppTitle),
                                                  tr("A run is in progress.\n\nStop it after the "
                                                     "current file and close the window?"));
        if (!stop) {
            event->ignore();
            return;
        }
        if (Running()) {
            FCloseAfterRun = true;
            FBatch->Stop();
            event->ignore();
            return;
        }
        // The run ended while the question was open: close now.
    }
    try {
        SaveSettings();
    } catch (const std::exception& e) {
        // Shown once; the options are lost, the window closes all the same.
        ShowErrorBox(this, e.what());
    }
    event->accept();
}

bool TMainForm::event(QEvent* event)
{
    // The status line is one simple text; menu hovers must not blank it.
    if (event->type() == QEvent::StatusTip) return true;
    return QMainWindow::event(event);
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<const QKeyEvent*>(event);
        const auto mods = key->modifiers();
        if ((mods & Qt::AltModifier) && !(mods & Qt::ControlModifier) && !key->text().isEmpty()) return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TMainForm::dragEnterEvent(QDragEnterEvent* event)
{
    // Refused, the desktop shows its no-drop pointer.
    if (DroppedFolder(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void TMainForm::dragMoveEvent(QDragMoveEvent* event)
{
    // What is dragged cannot change on the way; the enter decided.
    event->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent* event)
{
    const auto folder = DroppedFolder(event->mimeData());
    if (!folder) {
        event->ignore();
        return;
    }
    SetPath(FStartPath, *folder);
    event->acceptProposedAction();
}

void TMainForm::SetRunning(bool running)
{
    // OK becomes Stop; the output options stay as they were at OK.
    ui->Button1->setText(running ? tr("S&top") : tr("&OK"));
    ui->GroupBox2->setEnabled(!running);
    FProgress->setVisible(running);
}

void TMainForm::Button1Click()
{
    if (Running())
        StopRun();
    else
        StartRun();
}

void TMainForm::StopRun()
{
    if (Running()) FBatch->Stop();
}

TBatchSettings TMainForm::ControlsOptions() const
{
    TBatchSettings o;
    o.Exif = ui->cbExif->isChecked();
    o.Com = ui->cbCOM->isChecked();
    o.Iptc = ui->cbIPTC->isChecked();
    o.Other = ui->cbStripOther->isChecked();
    o.Orientation = ui->cbKeepOrientation->isChecked();
    o.NewFolder = ui->rbNewFolder->isChecked();
    o.Output = PathOf(FOutputPath);
    o.FilePrefix = Bytes(ui->comboPrefix->currentText());
    o.CopyAll = ui->cbCopyAllFiles->isChecked();
    o.SkipFailed = ui->cbKeepGoing->isChecked();
    o.FileDates = ui->cbKeepDates->isChecked();
    return o;
}

QString TMainForm::FinishedText() const
{
    // Worded as the batch run words it for zorezaz-cli, in the user's language.
    const TBatchRun& run = *FBatch;
    const int skipped = static_cast<int>(run.Skipped.size());
    QString totals;
    const int changed = run.ChangedCount, all = run.ChangedCount + run.CopiedCount;
    if (FRunOptions.CopyTicked())
        totals = skipped ? tr("(%1 of %n files changed, %2 skipped)", nullptr, all).arg(changed).arg(skipped)
                         : tr("(%1 of %n files changed.)", nullptr, all).arg(changed);
    else
        totals = skipped ? tr("(%n files processed, %1 skipped)", nullptr, changed).arg(skipped)
                         : tr("(%n files processed)", nullptr, changed);
    return run.Stopped() ? tr("Stopped  %1").arg(totals) : tr("Done  %1").arg(totals);
}

void TMainForm::StartRun()
{
    // The run checks the options itself; the window only reads them, once.
    FRunOptions = ControlsOptions();
    ui->btnOpenOutput->hide();
    const std::string start = PathOf(FStartPath);
    const bool subfolders = ui->cbInclSub->isChecked();
    FBatch->ResetStop();
    FCloseAfterRun = false;
    FProgress->setRange(0, 0);
    SetRunning(true);
    FWorker = std::thread([this, start, subfolders] {
        TEnd end = TEnd::Done;
        std::string message;
        try {
            FBatch->Execute(start, subfolders);
        } catch (const ENothingToDo&) {
            end = TEnd::NothingToDo;
        } catch (const EInvalidOutputFolder&) {
            end = TEnd::InvalidOutputFolder;
        } catch (const EInvalidPrefix&) {
            end = TEnd::InvalidPrefix;
        } catch (const std::exception& e) {
            end = TEnd::Error;
            message = e.what();
        }
        Post([this, end, message] { RunEnded(end, message); });
    });
}

void TMainForm::RunEnded(TEnd end, const std::string& message)
{
    if (FWorker.joinable()) FWorker.join();
    // The last file and count the worker offered, so an error names its file.
    ShowLatest();
    SetRunning(false);
    // An error leaves the status line at the file it happened in.
    if (end == TEnd::Done) ui->StatusBar1->showMessage(FinishedText());
    // What a run wrote in new-folder mode, one click away (also after an
    // error or a stop: what was written whole is there).
    FOutputShown.clear();
    if (FRunOptions.NewFolder && (end == TEnd::Done || end == TEnd::Error) && IsFolder(FRunOptions.Output)) {
        char resolved[PATH_MAX];
        FOutputShown = ::realpath(FRunOptions.Output.c_str(), resolved) ? resolved : FRunOptions.Output;
    }
    ui->btnOpenOutput->setVisible(!FOutputShown.empty());
    if (FCloseAfterRun) {
        close();
        return;
    }
    switch (end) {
    case TEnd::Done: break;
    case TEnd::NothingToDo:
        TDialogs::Current().Message(this, TDialogs::TKind::Information, tr("Information"),
                                    tr("Nothing to do..\n\nYou must select at least one checkbox\n"
                                       "(EXIF, COM or IPTC) under Output options."));
        break;
    case TEnd::InvalidOutputFolder:
        TDialogs::Current().Message(this, TDialogs::TKind::Error, tr("Error"),
                                    tr("You must specify a valid output folder."));
        break;
    case TEnd::InvalidPrefix:
        TDialogs::Current().Message(this, TDialogs::TKind::Error, tr("Error"),
                                    tr("The file name prefix cannot contain \"/\".\n\n"
                                       "Cleaned files are saved beside their originals; "
                                       "choose a prefix without \"/\"."));
        break;
    case TEnd::Error: ShowErrorBox(this, message.c_str()); break;
    }
    const std::vector<tSkipped>& skipped = FBatch->Skipped;
    if (!skipped.empty()) {
        QStringList lines;
        for (const tSkipped& s : skipped) lines << ShownText(s.Line());
        const int n = static_cast<int>(skipped.size());
        TDialogs::Current().ShowList(this, tr("Skipped files"),
                                     n == 1 ? tr("1 file could not be cleaned and was left without output:")
                                            : tr("%1 files could not be cleaned and were left without output:").arg(n),
                                     lines);
    }
    ui->Button1->setFocus();
    emit RunFinished();
}

void TMainForm::ChooseFolderFor(tPathEdit& path)
{
    if (const auto chosen = TDialogs::Current().ChooseFolder(this, path.Edit->text())) SetPath(path, *chosen);
}

void TMainForm::btnStartFolderClick()
{
    ChooseFolderFor(FStartPath);
}

void TMainForm::btnNewFolderClick()
{
    ChooseFolderFor(FOutputPath);
}

void TMainForm::rbNewFolderClick()
{
    ui->edOutputFolder->setEnabled(true);
    ui->comboPrefix->setEnabled(false);
    ui->cbCopyAllFiles->setEnabled(true);
}

void TMainForm::rbUsePrefixClick()
{
    ui->edOutputFolder->setEnabled(false);
    ui->comboPrefix->setEnabled(true);
    ui->cbCopyAllFiles->setEnabled(false);
}

void TMainForm::Close1Click()
{
    close();
}

void TMainForm::ShowMetadata1Click()
{
    const auto file = TDialogs::Current().ChooseJpeg(this, FStartPath.Edit->text());
    if (!file) return;
    auto* view = new TMetadataView(this);
    view->SetListing(ShownText(*file), DescribeFile(*file, ControlsOptions()));
    view->show();
}

void TMainForm::btnOpenOutputClick()
{
    if (!FOutputShown.empty()) TDialogs::Current().OpenUrl(FolderUrl(FOutputShown));
}

void TMainForm::Help2Click()
{
    if (FHelpForm) FHelpForm->exec();
}

void TMainForm::Website1Click()
{
    TDialogs::Current().OpenUrl(QUrl(QString::fromUtf8(kWebsite)));
}

void TMainForm::About1Click()
{
    TDialogs::Current().About(
        this, tr("About Zorezaz"),
        tr("Zorezaz %1\n\nRemoves EXIF tags, comments, IPTC information, XMP and other metadata from JPEG "
           "files, losslessly and without touching the originals.\n\nMade by %2.\n%3")
            .arg(kVersion, kMakerName, kWebsite));
}
