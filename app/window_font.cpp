#include "app/window_font.h"

#include <QFont>
#include <QWidget>

void ApplyWindowFont(QWidget* window)
{
    QFont f(QStringLiteral("Tahoma"));
    f.setPixelSize(11);
    // Where Tahoma is missing, a plain sans-serif face of the same size.
    f.setStyleHint(QFont::SansSerif);
    window->setFont(f);
}
