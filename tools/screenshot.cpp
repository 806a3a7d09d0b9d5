// Puts the main window and the help window on screen as the program does at
// start, and saves a PNG of each into the folder given as the argument.

#include <QDir>
#include <QPixmap>
#include <QScreen>
#include <QThread>

#include "app/application.h"
#include "app/help_form.h"
#include "app/main_form.h"
#include "app/settings_memory.h"

namespace {

bool Save(QWidget& window, const QString& file)
{
    window.show();
    window.raise();
    for (int i = 0; i < 20; ++i) {  // let the window map and paint
        QCoreApplication::processEvents();
        QThread::msleep(25);
    }
    // A capture of the screen where the platform allows it, else the widget's own rendering.
    QPixmap shot;
    if (QScreen* screen = window.screen()) shot = screen->grabWindow(window.winId());
    if (shot.isNull() || shot.size() != window.size()) shot = window.grab();
    return shot.save(file, "PNG");
}

}  // namespace

int main(int argc, char** argv)
{
    TApplication app(argc, argv);
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));
    TMemorySettingsStore settings;  // the designed defaults, not this user's options
    TMainForm mainForm(settings);
    THelpForm helpForm(&mainForm);
    mainForm.SetHelpForm(&helpForm);
    bool ok = Save(mainForm, out.filePath("main-window.png"));
    ok = Save(helpForm, out.filePath("help-window.png")) && ok;
    helpForm.hide();
    mainForm.hide();
    return ok ? 0 : 1;
}
