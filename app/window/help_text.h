#pragma once
// The text of the help window, one entry per line.

#include <QStringList>

QStringList HelpLines();
