#include "app/application.h"

#include <exception>

#include "app/dialogs.h"
#include "app/error_text.h"

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(QString::fromUtf8(kAppTitle));
    setOrganizationName(QStringLiteral("Zidovez"));
    setDesktopFileName(QStringLiteral("zorezaz"));
}

bool TApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        ShowErrorBox(activeWindow(), e.what());
    } catch (...) {
        ShowErrorBox(activeWindow(), "Unknown error");
    }
    return false;
}
