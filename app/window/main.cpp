// Zorezaz: strips EXIF, COM and IPTC metadata from JPEG files in bulk.

#include <QIcon>

#include "app/core/batch_run.h"
#include "app/window/application.h"
#include "app/window/help_form.h"
#include "app/window/main_form.h"
#include "app/settings/settings_user.h"
#include "app/window/translations.h"

int main(int argc, char** argv)
{
    KeepFreedMemory();
    TApplication app(argc, argv);
    TTranslations translations;
    translations.Install(QLocale::system());  // none for English, or a language not translated
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("zorezaz")));

    const auto settings = MakeUserSettingsStore();
    TMainForm mainForm(*settings);
    THelpForm helpForm(&mainForm);  // hidden until "Help" ▸ "Help"
    mainForm.SetHelpForm(&helpForm);
    mainForm.show();
    return app.exec();
}
