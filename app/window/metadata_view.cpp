#include "app/window/metadata_view.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringDecoder>
#include <QVBoxLayout>

TMetadataView::TMetadataView(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("MetadataView"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    FText = new QPlainTextEdit(this);
    FText->setObjectName(QStringLiteral("MetadataText"));
    FText->setReadOnly(true);
    FText->setLineWrapMode(QPlainTextEdit::NoWrap);
    // Columns of names and values line up only in a fixed-width face.
    FText->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    layout->addWidget(FText);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setText(tr("&Close"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(640, 480);
}

void TMetadataView::SetListing(const QString& file, const std::string& listing)
{
    setWindowTitle(tr("Metadata of %1").arg(file));
    FText->setPlainText(ShownListing(listing));
}

QString ShownListing(const std::string& listing)
{
    QString text;
    size_t start = 0;
    while (start < listing.size()) {
        size_t end = listing.find('\n', start);
        end = end == std::string::npos ? listing.size() : end + 1;
        const QByteArray line = QByteArray::fromRawData(listing.data() + start, static_cast<qsizetype>(end - start));
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString decoded = utf8(line);
        text += utf8.hasError() ? QString::fromLatin1(line) : decoded;
        start = end;
    }
    return text;
}
