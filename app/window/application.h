#pragma once
// The application object: its title, and the default error handler that shows
// whatever exception reaches the event loop and then goes on.

#include <QApplication>

class TApplication : public QApplication {
public:
    TApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};
