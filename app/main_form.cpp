#include "app/main_form.h"

#include <algorithm>
#include <vector>

#include <QCloseEvent>
#include <QKeyEvent>
#include <QProgressBar>
#include <QShortcut>
#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QStyle>

#include "app/anchors.h"
#include "app/dialogs.h"
#include "app/error_text.h"
#include "app/help_form.h"
#include "app/maker.h"
#include "app/settings_key.h"
#include "app/status_bar.h"
#include "app/window_font.h"
#include "ui_main_form.h"

namespace {

// The client area's designed height: the options, OK and the link.
constexpr int kClientHeight = 331;

std::string Bytes(const QString& text)
{
    return QFile::encodeName(text).toStdString();
}

QString ShownText(const std::string& bytes)
{
    return QFile::decodeName(QByteArray::fromStdString(bytes));
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
    // The run calls these on its worker thread; the widgets change on the window's.
    FBatch->OnStatus = [this](const std::string& text) {
        Post([this, shown = ShownText(text)] { ui->StatusBar1->showMessage(shown); });
    };
    FBatch->OnProgress = [this](int done, int found) {
        Post([this, done, found] {
            // Nothing found yet: a busy bar rather than "0 of 0".
            FProgress->setRange(0, found);
            FProgress->setValue(std::min(done, found));
        });
    };

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
    FProgress->setFormat(QStringLiteral("%v of %m"));
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
                                                  QStringLiteral("A run is in progress.\n\nStop it after the "
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

void TMainForm::SetRunning(bool running)
{
    // OK becomes Stop; the output options stay as they were at OK.
    ui->Button1->setText(running ? QStringLiteral("S&top") : QStringLiteral("&OK"));
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

void TMainForm::StartRun()
{
    // The run checks the options itself; the window only reads them, once.
    FRunOptions.Exif = ui->cbExif->isChecked();
    FRunOptions.Com = ui->cbCOM->isChecked();
    FRunOptions.Iptc = ui->cbIPTC->isChecked();
    FRunOptions.NewFolder = ui->rbNewFolder->isChecked();
    FRunOptions.Output = PathOf(FOutputPath);
    FRunOptions.FilePrefix = Bytes(ui->comboPrefix->currentText());
    FRunOptions.CopyAll = ui->cbCopyAllFiles->isChecked();
    FRunOptions.SkipFailed = ui->cbKeepGoing->isChecked();
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
        } catch (const ENothingToDo& e) {
            end = TEnd::NothingToDo;
            message = e.what();
        } catch (const EInvalidOutputFolder& e) {
            end = TEnd::InvalidOption;
            message = e.what();
        } catch (const EInvalidPrefix& e) {
            end = TEnd::InvalidOption;
            message = e.what();
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
    SetRunning(false);
    if (FCloseAfterRun) {
        close();
        return;
    }
    switch (end) {
    case TEnd::Done: break;
    case TEnd::NothingToDo:
        TDialogs::Current().Message(this, TDialogs::TKind::Information, QStringLiteral("Information"),
                                    QString::fromUtf8(message));
        break;
    case TEnd::InvalidOption:
        TDialogs::Current().Message(this, TDialogs::TKind::Error, QStringLiteral("Error"), QString::fromUtf8(message));
        break;
    case TEnd::Error: ShowErrorBox(this, message.c_str()); break;
    }
    const std::vector<tSkipped>& skipped = FBatch->Skipped;
    if (!skipped.empty()) {
        QStringList lines;
        for (const tSkipped& s : skipped) lines << ShownText(s.Line());
        TDialogs::Current().ShowList(this, QStringLiteral("Skipped files"),
                                     QString("%1 %2 could not be cleaned and %3 left without output:")
                                         .arg(skipped.size())
                                         .arg(skipped.size() == 1 ? "file" : "files")
                                         .arg(skipped.size() == 1 ? "was" : "were"),
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
        this, QStringLiteral("About Zorezaz"),
        QString("Zorezaz %1\n\nRemoves EXIF tags, comments and IPTC information from JPEG files, "
                "losslessly and without touching the originals.\n\nMade by %2.\n%3")
            .arg(kVersion, kMakerName, kWebsite));
}
