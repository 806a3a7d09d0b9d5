#include "app/window_font.h"

#include <QFont>
#include <QWidget>

void ApplyWindowFont(QWidget* window)
{
    QFont f;
    // Where Tahoma is missing, a condensed sans-serif face of about its width
    // keeps every caption inside its designed bounds.
    f.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans Condensed"),
                   QStringLiteral("Liberation Sans Narrow")});
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(11);
    window->setFont(f);
}
