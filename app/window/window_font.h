#pragma once
// The windows' font: Tahoma at 11 pixels (8 point at 96 dpi), sized in pixels
// so that it keeps to the designed layout whatever the screen's density.

class QWidget;

void ApplyWindowFont(QWidget* window);
