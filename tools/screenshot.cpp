// Puts the windows on screen as the program does and saves a PNG of each into
// the folder given as the argument: the main window in English and in German,
// the help window, and the metadata view over a sample photo made here.

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QTemporaryDir>
#include <QThread>

#include "app/window/application.h"
#include "app/core/batch_options.h"
#include "app/window/help_form.h"
#include "app/window/main_form.h"
#include "app/core/metadata_listing.h"
#include "app/window/metadata_view.h"
#include "app/settings/settings_memory.h"
#include "app/window/translations.h"

namespace {

bool Save(QWidget& window, const QString& file)
{
    window.show();
    window.raise();
    for (int i = 0; i < 20; ++i) {  // let the window map and paint
        QCoreApplication::processEvents();
        QThread::msleep(25);
    }
    // A capture of the screen where the platform allows it, else the widget's own rendering.
    QPixmap shot;
    if (QScreen* screen = window.screen()) shot = screen->grabWindow(window.winId());
    if (shot.isNull() || shot.size() != window.size()) shot = window.grab();
    return shot.save(file, "PNG");
}

QByteArray Big16(int v)
{
    return QByteArray(1, char(v >> 8)) + char(v & 0xFF);
}

QByteArray Big32(quint32 v)
{
    return Big16(int(v >> 16)) + Big16(int(v & 0xFFFF));
}

QByteArray Segment(int marker, const QByteArray& payload)
{
    return QByteArray(1, char(0xFF)) + char(marker) + Big16(int(payload.size()) + 2) + payload;
}

// A photo as a camera and an editor leave it: EXIF with make, model, date and
// a turned orientation, an XMP packet naming its author, a comment.
QByteArray SamplePhoto()
{
    QImage image(96, 64, QImage::Format_RGB32);
    image.fill(QColor(70, 120, 170));
    QPainter(&image).fillRect(20, 30, 56, 20, QColor(200, 180, 90));
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 85);

    // IFD0 (big-endian TIFF): Make, Model, Orientation, DateTime.
    struct tEntry {
        int Tag, Type;
        QByteArray Value;
    };
    const tEntry entries[] = {{0x010F, 2, QByteArray("Zidovez Optics", 15)},
                              {0x0110, 2, QByteArray("ZX-100", 7)},
                              {0x0112, 3, Big16(6) + QByteArray(2, '\0')},
                              {0x0132, 2, QByteArray("2026:06:14 09:41:07", 20)}};
    const int count = int(std::size(entries));
    QByteArray ifd = Big16(count), data;
    const int dataStart = 8 + 2 + 12 * count + 4;
    for (const tEntry& e : entries) {
        const int n = e.Type == 3 ? 1 : int(e.Value.size());
        ifd += Big16(e.Tag) + Big16(e.Type) + Big32(quint32(n));
        if (e.Value.size() <= 4) {
            ifd += e.Value.leftJustified(4, '\0');
        } else {
            ifd += Big32(quint32(dataStart + data.size()));
            data += e.Value;
        }
    }
    const QByteArray tiff = QByteArray("MM\0\x2A", 4) + Big32(8) + ifd + Big32(0) + data;
    const QByteArray exif = Segment(0xE1, QByteArray("Exif\0\0", 6) + tiff);
    const QByteArray xmp =
        Segment(0xE1, QByteArray("http://ns.adobe.com/xap/1.0/\0", 29) +
                          "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">"
                          "<rdf:Description "
                          "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\">"
                          "<dc:creator>Jane Doe</dc:creator><xmp:CreatorTool>Photo Editor 7</xmp:CreatorTool>"
                          "</rdf:Description></rdf:RDF></x:xmpmeta>");
    const QByteArray comment = Segment(0xFE, "Holiday at the lake");
    return jpeg.left(2) + exif + xmp + comment + jpeg.mid(2);
}

}  // namespace

int main(int argc, char** argv)
{
    TApplication app(argc, argv);
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));
    TMemorySettingsStore settings;  // the designed defaults, not this user's options
    bool ok = true;
    {
        TMainForm mainForm(settings);
        THelpForm helpForm(&mainForm);
        mainForm.SetHelpForm(&helpForm);
        ok = Save(mainForm, out.filePath("main-window.png")) && ok;
        ok = Save(helpForm, out.filePath("help-window.png")) && ok;
        helpForm.hide();

        // File ▸ Show metadata… over a sample photo, with the default choices.
        QTemporaryDir folder;
        const QString photo = folder.filePath(QStringLiteral("IMG_0412.jpg"));
        QFile file(photo);
        ok = file.open(QIODevice::WriteOnly) && file.write(SamplePhoto()) > 0 && ok;
        file.close();
        TBatchSettings choices;
        choices.Other = true;
        TMetadataView view(&mainForm);
        view.setAttribute(Qt::WA_DeleteOnClose, false);
        view.SetListing(photo, DescribeFile(QFile::encodeName(photo).toStdString(), choices));
        view.resize(720, 520);
        ok = Save(view, out.filePath("metadata-view.png")) && ok;
        view.hide();
        mainForm.hide();
    }
    TTranslations german;
    if (!german.Install(QStringList{QStringLiteral("de")})) return 1;
    TMainForm mainForm(settings);
    ok = Save(mainForm, out.filePath("main-window-de.png")) && ok;
    mainForm.hide();
    return ok ? 0 : 1;
}
