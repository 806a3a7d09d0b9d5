#include "app/main_form.h"

#include <algorithm>

#include <QCloseEvent>
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
#include "app/window_font.h"
#include "ui_main_form.h"

namespace {

std::string Bytes(const QString& text)
{
    return QFile::encodeName(text).toStdString();
}

QString ShownText(const std::string& bytes)
{
    return QFile::decodeName(QByteArray::fromStdString(bytes));
}

}  // namespace

// The batch run's view of the controls. The two texts are turned into bytes
// once, at OK; the controls they come from are locked while the run lasts.
class TMainForm::TWindowOptions : public IBatchOptions {
public:
    explicit TWindowOptions(Ui::TMainForm& form) : ui(form) {}

    bool StripExif() const override { return ui.cbExif->isChecked(); }
    bool StripCom() const override { return ui.cbCOM->isChecked(); }
    bool StripIptc() const override { return ui.cbIPTC->isChecked(); }
    bool NewFolderMode() const override { return ui.rbNewFolder->isChecked(); }
    std::string OutputFolder() const override { return FOutputFolder; }
    std::string Prefix() const override { return FPrefix; }
    // Its own enabled state, apart from the group being locked for the run.
    bool CopyUnchanged() const override
    {
        return ui.cbCopyAllFiles->isEnabledTo(ui.GroupBox2) && ui.cbCopyAllFiles->isChecked();
    }
    bool CopyTicked() const override { return ui.cbCopyAllFiles->isChecked(); }

    std::string FOutputFolder;
    std::string FPrefix;

private:
    Ui::TMainForm& ui;
};

TMainForm::TMainForm(ISettingsStore& settings, QWidget* parent)
    : QMainWindow(parent), ui(std::make_unique<Ui::TMainForm>()), FSettings(settings)
{
    ui->setupUi(this);
    FOptions = std::make_unique<TWindowOptions>(*ui);
    FBatch = std::make_unique<TBatchRun>(*FOptions);
    FBatch->OnStatus = [this](const std::string& text) { ui->StatusBar1->showMessage(ShownText(text)); };
    FBatch->ProcessMessages = [] { QCoreApplication::processEvents(); };

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
    FormCreate();
}

TMainForm::~TMainForm() = default;

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

    // Client area as designed: 426 wide, 309 above a status line of 19.
    ui->centralwidget->setMinimumSize(426, 309);
    ui->StatusBar1->setFixedHeight(19);
    auto* central = new TAnchors(ui->centralwidget);
    ui->centralwidget->resize(426, 309);
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
    resize(426, ui->MainMenu1->sizeHint().height() + 309 + 19);
    setMinimumSize(size());
    setMaximumHeight(height());
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    setWindowTitle(QString::fromUtf8(kAppTitle));
    ui->Button1->setFocus();  // first in the tab order
    LoadSettings();
}

void TMainForm::LoadSettings()
{
    TSettingsKey key(FSettings);
    if (!key.Open(kSettingsKeyPath)) return;
    // The first value that cannot be read ends the loading, silently: what
    // was read stays, the rest keeps its designed state.
    try {
        ui->edStartFolder->setText(ShownText(key.ReadString("Source")));
        ui->cbInclSub->setChecked(key.ReadBool("InclSubfolders"));
        ui->edOutputFolder->setText(ShownText(key.ReadString("Target")));
        ui->cbExif->setChecked(key.ReadBool("EXIF"));
        ui->cbCOM->setChecked(key.ReadBool("Com"));
        ui->cbIPTC->setChecked(key.ReadBool("IPTC"));
        ui->comboPrefix->setCurrentText(ShownText(key.ReadString("Prefix")));
        if (key.ReadBool("UsePrefix")) ui->rbUsePrefix->setChecked(true);
        else ui->rbNewFolder->setChecked(true);
    } catch (...) {
    }
}

void TMainForm::SaveSettings()
{
    TSettingsKey key(FSettings);
    if (!key.Open(kSettingsKeyPath)) return;
    // "Copy unchanged files…" is left out on purpose: it starts unticked every time.
    key.WriteString("Source", Bytes(ui->edStartFolder->text()));
    key.WriteBool("InclSubfolders", ui->cbInclSub->isChecked());
    key.WriteString("Target", Bytes(ui->edOutputFolder->text()));
    key.WriteBool("EXIF", ui->cbExif->isChecked());
    key.WriteBool("Com", ui->cbCOM->isChecked());
    key.WriteBool("IPTC", ui->cbIPTC->isChecked());
    key.WriteString("Prefix", Bytes(ui->comboPrefix->currentText()));
    key.WriteBool("UsePrefix", ui->rbUsePrefix->isChecked());
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    try {
        SaveSettings();
        event->accept();
    } catch (const std::exception& e) {
        // The window stays open; the next close tries again.
        event->ignore();
        ShowErrorBox(this, e.what());
    }
}

bool TMainForm::event(QEvent* event)
{
    // The status line is one simple text; menu hovers must not blank it.
    if (event->type() == QEvent::StatusTip) return true;
    return QMainWindow::event(event);
}

void TMainForm::SetRunning(bool running)
{
    // One run at a time, and the output options stay as they were at OK.
    ui->Button1->setEnabled(!running);
    ui->GroupBox2->setEnabled(!running);
}

void TMainForm::Button1Click()
{
    if (FBatch->Running()) return;
    enum class TBox { None, NothingToDo, InvalidFolder, Error } box = TBox::None;
    std::string message;
    try {
        if (!ui->cbExif->isChecked() && !ui->cbCOM->isChecked() && !ui->cbIPTC->isChecked()) throw ENothingToDo();
        // Counted in characters, as typed.
        if (ui->rbNewFolder->isChecked() && ui->edOutputFolder->text().size() < 3) throw EInvalidOutputFolder();
        FOptions->FOutputFolder = Bytes(ui->edOutputFolder->text());
        FOptions->FPrefix = Bytes(ui->comboPrefix->currentText());
        // Locked until the run has returned, also when an error ends it.
        struct TRunLock {
            TMainForm& Form;
            explicit TRunLock(TMainForm& form) : Form(form) { Form.SetRunning(true); }
            ~TRunLock() { Form.SetRunning(false); }
        } lock(*this);
        FBatch->Execute(Bytes(ui->edStartFolder->text()), ui->cbInclSub->isChecked());
    } catch (const ENothingToDo& e) {
        box = TBox::NothingToDo;
        message = e.what();
    } catch (const EInvalidOutputFolder& e) {
        box = TBox::InvalidFolder;
        message = e.what();
    } catch (const std::exception& e) {
        box = TBox::Error;
        message = e.what();
    }
    switch (box) {
    case TBox::None: break;
    case TBox::NothingToDo:
        TDialogs::Current().Message(this, TDialogs::TKind::Information, QStringLiteral("Information"),
                                    QString::fromUtf8(message));
        break;
    case TBox::InvalidFolder:
        TDialogs::Current().Message(this, TDialogs::TKind::Error, QStringLiteral("Error"), QString::fromUtf8(message));
        break;
    case TBox::Error: ShowErrorBox(this, message.c_str()); break;
    }
}

void TMainForm::ChooseFolderFor(QLineEdit* edit)
{
    if (const auto chosen = TDialogs::Current().ChooseFolder(this, edit->text())) edit->setText(*chosen);
}

void TMainForm::btnStartFolderClick()
{
    ChooseFolderFor(ui->edStartFolder);
}

void TMainForm::btnNewFolderClick()
{
    ChooseFolderFor(ui->edOutputFolder);
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
