#pragma once
// The listing of what one JPEG file holds (File ▸ "Show metadata…"), in a
// read-only text that can be selected and copied. It does not block the main
// window, so several files can be compared side by side.

#include <string>

#include <QDialog>

class QPlainTextEdit;

class TMetadataView : public QDialog {
    Q_OBJECT

public:
    // Closing the view deletes it.
    explicit TMetadataView(QWidget* parent = nullptr);

    // `file`: the name as shown; `listing`: the text as the listing gives it
    // (bytes: metadata texts are not always UTF-8).
    void SetListing(const QString& file, const std::string& listing);

private:
    QPlainTextEdit* FText;
};

// The listing's bytes as text: each line as UTF-8 when it is valid UTF-8,
// otherwise as Latin-1, so that no byte turns into a replacement mark.
QString ShownListing(const std::string& listing);
