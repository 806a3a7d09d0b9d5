#include "app/window/application.h"

#include <exception>

#include "app/window/dialogs.h"
#include "app/core/error_text.h"

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
