#include "app/window/main_form.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <optional>
#include <vector>

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QProgressBar>
#include <QRadioButton>
#include <QShortcut>
#include <QToolButton>
#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <QTimer>

#include <sys/stat.h>

#include "app/window/anchors.h"
#include "app/window/dialogs.h"
#include "app/core/error_text.h"
#include "app/window/help_form.h"
#include "app/core/maker.h"
#include "app/core/metadata_listing.h"
#include "app/window/metadata_view.h"
#include "app/settings/settings_key.h"
#include "app/window/status_bar.h"
#include "app/window/window_font.h"
#include "store/file_io.h"
#include "ui_main_form.h"

namespace {

// The client area's designed height: the options, OK and the link.
constexpr int kClientHeight = 399;

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

// A text as an error box ends it, and on one line as the list of skipped
// files shows it: the rules of error_text.h, for the window's own words.
QString BoxText(const QString& text)
{
    return QString::fromUtf8(ErrorBoxText(text.toStdString()));
}

QString LineText(const QString& text)
{
    return QString::fromUtf8(OneLine(text.toStdString()));
}

// The system's reasons a user meets most, in the system's English words, to
// be translated; any other is shown as the system words it.
constexpr struct {
    int Error;
    const char* Text;
} kSystemReasons[] = {
    {EACCES, QT_TRANSLATE_NOOP("TMainForm", "Permission denied")},
    {EPERM, QT_TRANSLATE_NOOP("TMainForm", "Operation not permitted")},
    {ENOENT, QT_TRANSLATE_NOOP("TMainForm", "No such file or directory")},
    {ENOTDIR, QT_TRANSLATE_NOOP("TMainForm", "Not a directory")},
    {EISDIR, QT_TRANSLATE_NOOP("TMainForm", "Is a directory")},
    {EEXIST, QT_TRANSLATE_NOOP("TMainForm", "File exists")},
    {ENOSPC, QT_TRANSLATE_NOOP("TMainForm", "No space left on device")},
    {EDQUOT, QT_TRANSLATE_NOOP("TMainForm", "Disk quota exceeded")},
    {EROFS, QT_TRANSLATE_NOOP("TMainForm", "Read-only file system")},
    {ENAMETOOLONG, QT_TRANSLATE_NOOP("TMainForm", "File name too long")},
    {ELOOP, QT_TRANSLATE_NOOP("TMainForm", "Too many levels of symbolic links")},
    {EIO, QT_TRANSLATE_NOOP("TMainForm", "Input/output error")},
    {EMFILE, QT_TRANSLATE_NOOP("TMainForm", "Too many open files")},
};

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
    // A flat button's focus rectangle hides under its icon: a frame in the
    // highlight colour shows where Tab has put the focus.
    for (QToolButton* button : {ui->btnStartFolder, ui->btnNewFolder})
        button->setStyleSheet(QStringLiteral("QToolButton:focus { border: 1px solid palette(highlight); "
                                             "border-radius: 2px; }"));
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

std::vector<tSettingRow> TMainForm::SettingRows()
{
    using tValue = tSettingRow::tValue;
    auto box = [](const char* name, bool on, QAbstractButton* button) {
        return tSettingRow{name, on, [button] { return tValue(button->isChecked()); },
                           [button](const tValue& v) { button->setChecked(std::get<bool>(v)); }};
    };
    auto path = [this](const char* name, tPathEdit& edit) {
        return tSettingRow{name, std::string(), [this, &edit] { return tValue(PathOf(edit)); },
                           [this, &edit](const tValue& v) { SetPath(edit, std::get<std::string>(v)); }};
    };
    auto* prefix = ui->comboPrefix;
    QRadioButton* usePrefix = ui->rbUsePrefix;
    QRadioButton* newFolder = ui->rbNewFolder;
    // In the order they are read: values added later come last, so a file
    // written before them ends the reading there. "Copy unchanged files…" is
    // left out on purpose: it starts unticked every time.
    return {
        path("Source", FStartPath),
        box("InclSubfolders", false, ui->cbInclSub),
        path("Target", FOutputPath),
        box("EXIF", true, ui->cbExif),
        box("Com", true, ui->cbCOM),
        box("IPTC", true, ui->cbIPTC),
        {"Prefix", std::string("copy_"), [prefix] { return tValue(Bytes(prefix->currentText())); },
         [prefix](const tValue& v) { prefix->setCurrentText(ShownText(std::get<std::string>(v))); }},
        {"UsePrefix", true, [usePrefix] { return tValue(usePrefix->isChecked()); },
         [usePrefix, newFolder](const tValue& v) { (std::get<bool>(v) ? usePrefix : newFolder)->setChecked(true); }},
        // On at a first start: one unreadable photo should not end a run over thousands.
        box("KeepGoing", true, ui->cbKeepGoing),
        box("Other", true, ui->cbStripOther),
        box("KeepOrientation", true, ui->cbKeepOrientation),
        // Off: when a photo was last changed can tell when it was taken.
        box("KeepDates", false, ui->cbKeepDates),
        box("TypeJpeg", true, ui->cbTypeJpeg),
        box("TypePng", true, ui->cbTypePng),
        box("TypeWebp", true, ui->cbTypeWebp),
        box("TypeHeif", true, ui->cbTypeHeif),
        box("TypeVideo", true, ui->cbTypeVideo),
    };
}

void TMainForm::LoadSettings()
{
    LoadRows(FSettings, kSettingsKeyPath, SettingRows());
}

void TMainForm::SaveSettings()
{
    SaveRows(FSettings, kSettingsKeyPath, SettingRows());
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
    // OK becomes Stop; the options stay as they were at OK.
    ui->Button1->setText(running ? tr("S&top") : tr("&OK"));
    ui->GroupBox2->setEnabled(!running);
    // The File types row chooses what the run does, as the output options do.
    for (const auto& row : TypeBoxes()) row.second->setEnabled(!running);
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
    o.Types.clear();
    for (const auto& [type, box] : TypeBoxes())
        if (box->isChecked()) o.Types.insert(type);
    return o;
}

std::vector<std::pair<tFileType, QCheckBox*>> TMainForm::TypeBoxes() const
{
    return {{tFileType::Jpeg, ui->cbTypeJpeg},
            {tFileType::Png, ui->cbTypePng},
            {tFileType::Webp, ui->cbTypeWebp},
            {tFileType::Heif, ui->cbTypeHeif},
            {tFileType::Video, ui->cbTypeVideo}};
}

QString TMainForm::TotalsText() const
{
    // The counts the batch run words for zorezaz-cli (TBatchRun::Totals), in
    // the user's language. One file has texts of its own: English takes no
    // plural forms from a translation.
    const TBatchRun& run = *FBatch;
    const int changed = run.ChangedCount, clean = run.AlreadyCleanCount;
    const int skipped = static_cast<int>(run.Skipped.size());
    QStringList parts;
    if (FRunOptions.CopyTicked()) {
        const int all = changed + run.CopiedCount + clean;
        parts << (all == 1 ? tr("%1 of 1 file changed") : tr("%1 of %n files changed", nullptr, all)).arg(changed);
    } else if (changed != 0 || clean == 0) {
        parts << (changed == 1 ? tr("1 file processed") : tr("%n files processed", nullptr, changed));
    }
    if (clean != 0)
        parts << (!parts.isEmpty() ? tr("%n already clean", nullptr, clean)
                  : clean == 1     ? tr("1 file already clean")
                                   : tr("%n files already clean", nullptr, clean));
    if (skipped != 0) parts << tr("%n skipped", nullptr, skipped);
    const int leftAlone = static_cast<int>(run.LeftAlone.size());
    if (leftAlone != 0)
        parts << (leftAlone == 1 ? tr("1 file of another type left alone")
                                 : tr("%n files of other types left alone", nullptr, leftAlone));
    // "(2 of 3 files changed.)" as it always read, when nothing follows.
    const bool fullStop = FRunOptions.CopyTicked() && parts.size() == 1;
    return QStringLiteral("(") + parts.join(QStringLiteral(", ")) + (fullStop ? "." : "") + ")";
}

QString TMainForm::FinishedText(TEnd end) const
{
    if (end == TEnd::Error) return tr("Stopped by an error  %1").arg(TotalsText());
    return FBatch->Stopped() ? tr("Stopped  %1").arg(TotalsText()) : tr("Done  %1").arg(TotalsText());
}

QString TMainForm::SystemReason(int error)
{
    for (const auto& reason : kSystemReasons)
        if (reason.Error == error) return tr(reason.Text);
    return QString::fromLocal8Bit(std::strerror(error));
}

QString TMainForm::ReasonText(const tReason& reason)
{
    using TCode = tReason::TCode;
    const QString file = ShownText(reason.File);
    const QString system = SystemReason(reason.Errno);
    switch (reason.Code) {
    case TCode::Other: break;
    case TCode::NoStartFolder: return tr("Choose a start folder first.");
    case TCode::StartMissing: return tr("Folder %1 does not exist.").arg(file);
    case TCode::StartClosed: return tr("Cannot open folder %1.\n\n%2").arg(file, system);
    case TCode::ReadFolder: return tr("Cannot read folder %1.\n\n%2").arg(file, system);
    case TCode::CreateFolder: return tr("Cannot create %1.\n\n%2").arg(file, system);
    case TCode::OpenFile: return tr("Cannot open file %1.\n\n%2").arg(file, system);
    case TCode::NotRegularFile: return tr("Cannot open file %1.\n\n%2").arg(file, tr("Not a regular file"));
    case TCode::CreateFile:
        // The output, and the source it was for unless the output's name says it.
        if (reason.File.empty() || reason.Output.find(reason.File) != std::string::npos)
            return tr("Cannot create file %1.\n\n%2").arg(ShownText(reason.Output), system);
        return tr("Cannot create file %1.\n\n%2: %3").arg(ShownText(reason.Output), file, system);
    case TCode::ReadError: return tr("Stream read error.\n\n%1: %2").arg(file, system);
    case TCode::WriteError: return tr("Stream write error.\n\n%1: %2").arg(file, system);
    case TCode::DamagedHead: return tr("Damaged JPEG header in %1").arg(file);
    case TCode::DamagedFile: return tr("Damaged %1 file %2").arg(ShownText(reason.Detail), file);
    // The reason stays English: it names boxes and fields.
    case TCode::CannotClean: return tr("Cannot clean %1: %2").arg(file, ShownText(reason.Detail));
    case TCode::JpegError:
        // libjpeg's own words stay English.
        return tr("JPEG error #%1 in %2: %3").arg(reason.Number).arg(file, ShownText(reason.Detail));
    // Files left alone: the list names the file before these.
    case TCode::NotAPicture: return tr("not a picture Zorezaz can clean");
    case TCode::TypeNotSupported: return tr("type not supported");
    case TCode::TypeNotChosen: return tr("type not ticked under File types");
    }
    return ShownText(reason.Detail);
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
        tReason reason;
        try {
            FBatch->Execute(start, subfolders);
        } catch (const ENothingToDo&) {
            end = TEnd::NothingToDo;
        } catch (const ENoFileType&) {
            end = TEnd::NoFileType;
        } catch (const EInvalidOutputFolder&) {
            end = TEnd::InvalidOutputFolder;
        } catch (const EInvalidPrefix&) {
            end = TEnd::InvalidPrefix;
        } catch (const std::exception& e) {
            end = TEnd::Error;
            reason = ReasonOf(e);
        }
        Post([this, end, reason] { RunEnded(end, reason); });
    });
}

void TMainForm::RunEnded(TEnd end, const tReason& reason)
{
    if (FWorker.joinable()) FWorker.join();
    // The last file and count the worker offered, so an error names its file.
    ShowLatest();
    SetRunning(false);
    // An error among the files ends the run with what was done up to it; one
    // in the set-up (the start or the output folder) leaves the line as it was.
    using TCode = tReason::TCode;
    const bool setUp = reason.Code == TCode::NoStartFolder || reason.Code == TCode::StartMissing ||
                       reason.Code == TCode::StartClosed || reason.Code == TCode::CreateFolder;
    if (end == TEnd::Done || (end == TEnd::Error && !setUp)) ui->StatusBar1->showMessage(FinishedText(end));
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
                                    tr("Nothing to do.\n\nTick at least one of EXIF, comment, IPTC, or XMP and "
                                       "other metadata under Output options."));
        break;
    case TEnd::NoFileType:
        TDialogs::Current().Message(this, TDialogs::TKind::Information, tr("Information"),
                                    tr("Nothing to do.\n\nTick at least one of JPEG, PNG, WebP, HEIC/AVIF, or "
                                       "Videos under File types."));
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
    case TEnd::Error:
        TDialogs::Current().Message(this, TDialogs::TKind::Error, QString::fromUtf8(kAppTitle),
                                    BoxText(ReasonText(reason)));
        break;
    }
    const std::vector<tSkipped>& skipped = FBatch->Skipped;
    const std::vector<tSkipped>& leftAlone = FBatch->LeftAlone;
    if (!skipped.empty() || !leftAlone.empty()) {
        QStringList lines;
        // As tSkipped::Line() has it, in the user's language: the failures
        // first, then the files left alone, each with its reason.
        for (const auto* list : {&skipped, &leftAlone})
            for (const tSkipped& s : *list) lines << ShownText(s.File) + ": " + LineText(ReasonText(s.Reason));
        const int n = static_cast<int>(skipped.size()), m = static_cast<int>(leftAlone.size());
        QString text;
        if (m == 0)
            text = n == 1 ? tr("1 file could not be cleaned and was left without output:")
                          : tr("%1 files could not be cleaned and were left without output:").arg(n);
        else if (n == 0)
            text = m == 1 ? tr("1 file was not cleaned and was left alone, without output:")
                          : tr("%1 files were not cleaned and were left alone, without output:").arg(m);
        else
            text = tr("No output was written for these files (%1 skipped, %2 left alone):").arg(n).arg(m);
        TDialogs::Current().ShowList(this, n == 0 ? tr("Files left alone") : tr("Skipped files"), text, lines);
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
    const auto file = TDialogs::Current().ChoosePicture(this, FStartPath.Edit->text());
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
        tr("Zorezaz %1\n\nRemoves EXIF tags, comments, IPTC information, XMP and other metadata from "
           "pictures, losslessly and without touching the originals.\n\nMade by %2.\n%3")
            .arg(kVersion, kMakerName, kWebsite));
}
