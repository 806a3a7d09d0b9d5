// Zorezaz: strips EXIF, COM and IPTC metadata from JPEG files in bulk.

#include <QApplication>
#include <QIcon>

#include "app/error_text.h"
#include "app/help_form.h"
#include "app/main_form.h"
#include "app/settings_user.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(kAppTitle));
    QApplication::setOrganizationName(QStringLiteral("Zidovez"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("zorezaz")));
    QApplication::setDesktopFileName(QStringLiteral("zorezaz"));

    const auto settings = MakeUserSettingsStore();
    TMainForm mainForm(*settings);
    THelpForm helpForm(&mainForm);  // hidden until "Help" ▸ "Help"
    mainForm.SetHelpForm(&helpForm);
    mainForm.show();
    return app.exec();
}
