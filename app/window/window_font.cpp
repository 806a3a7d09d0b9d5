#include "app/window/window_font.h"

#include <QFont>
#include <QFontInfo>
#include <QWidget>

void ApplyWindowFont(QWidget* window)
{
    QFont f(QStringLiteral("Tahoma"));
    f.setPixelSize(11);
    if (QFontInfo(f).family().compare(QStringLiteral("Tahoma"), Qt::CaseInsensitive) != 0) {
        // Tahoma is a narrow face. Without it, a condensed sans-serif one pixel
        // smaller keeps every caption inside its designed bounds.
        f = QFont(QStringLiteral("DejaVu Sans"));
        f.setStyleHint(QFont::SansSerif);
        f.setStretch(QFont::SemiCondensed);
        f.setPixelSize(10);
    }
    window->setFont(f);
}
