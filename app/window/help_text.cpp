#include "app/window/help_text.h"

#include <cstring>

#include <QCoreApplication>

#include "app/core/maker.h"

namespace {

// The help text in paragraphs, each translated whole (a translation breaks
// its lines where its language needs them); an empty entry is an empty line.
// Trailing blanks are part of the text.
constexpr const char* kParagraphs[] = {
    "Zorezaz",
    "",
    QT_TRANSLATE_NOOP("THelpForm",
                      "This utility will remove meta information (EXIF, COM and IPTC tags) \n"
                      "from JPEG image files. You can automatically process a large number\n"
                      "of files with the click of a button. "),
    "",
    QT_TRANSLATE_NOOP("THelpForm", "Zorezaz is very easy to use:"),
    "",
    QT_TRANSLATE_NOOP("THelpForm",
                      "Simply select a folder containing the JPEG image files you want to\n"
                      "modify, set the options (which meta tags you want to remove), and\n"
                      "select where to save the modified files. You have two options:"),
    "",
    QT_TRANSLATE_NOOP("THelpForm",
                      "Save to new folder\n"
                      "All files will be saved in the folder you've specified, using the original\n"
                      "filename(s). If the specified folder doesn't exist, it will be created \n"
                      "automatically."),
    "",
    QT_TRANSLATE_NOOP("THelpForm",
                      "Select \"Copy unchanged files to target folder\" to make sure that ALL \n"
                      "files (including those that does not contain any Meta tags) are copied \n"
                      "to the specified output folder."),
    "",
    QT_TRANSLATE_NOOP("THelpForm",
                      "Save using filename prefix\n"
                      "All files will be saved in the same folder as originally located, using the\n"
                      "filename prefix you've specified. For example, a modified image \n"
                      "originally named filename.jpg will be saved as copy_filename.jpg"),
    "",
    QT_TRANSLATE_NOOP("THelpForm",
                      "Note: This program will not, under any circumstance overwrite your \n"
                      "original image files. The program will always assign a unique name \n"
                      "to all modified files. If copy_filename.jpg exists, the program will name \n"
                      "the new file as copy_filename_1.jpg, or copy_filename_2.jpg and so \n"
                      "on."),
    "",
    "",
    QT_TRANSLATE_NOOP("THelpForm",
                      "Which files are changed\n"
                      "A file counts as changed only when the options you ticked remove\n"
                      "something from it. An empty comment and an IPTC block without any\n"
                      "information are not metadata, so files cleaned before are left as\n"
                      "they are (and copied as they are with \"Copy unchanged files\")."),
    "",
    QT_TRANSLATE_NOOP("THelpForm",
                      "Strip XMP and other metadata\n"
                      "Removes XMP (where editing programs keep authors, places and\n"
                      "keywords), the other blocks that cameras and programs add, and\n"
                      "whatever follows the picture (trailers, appended video). Colour\n"
                      "profiles, HDR gain maps and the further pictures of a multi-picture\n"
                      "file stay, so the photo looks as it did."),
    "",
    QT_TRANSLATE_NOOP("THelpForm",
                      "Keep orientation\n"
                      "When EXIF tags are stripped, a photo taken with the camera turned\n"
                      "keeps a tiny EXIF block that holds only its orientation, so it is\n"
                      "still shown upright. Untick it to remove that too."),
    "",
    QT_TRANSLATE_NOOP("THelpForm",
                      "Keep file dates\n"
                      "Off by default: cleaned files and copies carry the time they were\n"
                      "written. The time a photo was last changed can itself reveal when\n"
                      "it was taken, so tick this only if the files should keep the dates\n"
                      "of their originals."),
    "",
    QT_TRANSLATE_NOOP("THelpForm",
                      "Skip files that cannot be cleaned\n"
                      "On by default: a file that cannot be read or written is left without\n"
                      "output and the run goes on; at the end a list shows every skipped\n"
                      "file with the reason, ready to copy. Untick it to have the first such\n"
                      "file end the run with a message that names it and says why."),
    "",
    QT_TRANSLATE_NOOP("THelpForm",
                      "Stopping and running again\n"
                      "While a run lasts, OK reads \"Stop\" (Esc does the same): the file in\n"
                      "hand is finished and the run ends. Run it again with the same options\n"
                      "to go on: a file whose cleaned copy is already in the output folder,\n"
                      "byte for byte, counts as already clean and is not written twice:\n"
                      "\"Done  (2 files processed, 4 already clean)\"."),
    "",
    QT_TRANSLATE_NOOP("THelpForm",
                      "Open output folder\n"
                      "After a run that saved to a new folder, this button shows the\n"
                      "cleaned files in your file manager."),
    "",
    QT_TRANSLATE_NOOP("THelpForm",
                      "File types\n"
                      "Zorezaz cleans JPEG, PNG, WebP and HEIC/AVIF pictures and MOV/MP4\n"
                      "videos; untick a type to leave its files as they are. A file's\n"
                      "content decides, not its name: a PNG named .jpg is cleaned as a PNG\n"
                      "and keeps its name. A HEIC or AVIF file loses its EXIF and XMP items;\n"
                      "its colour, rotation and HDR stay. A video loses, with \"other\n"
                      "metadata\", its place, phone, software, times and timed metadata\n"
                      "tracks; its picture, sound and rotation stay byte for byte. A file\n"
                      "that holds no such picture, one of a type not ticked, and pictures of\n"
                      "other types (GIF, TIFF, BMP and the like) are left alone: neither\n"
                      "cleaned nor copied; the totals count them, and the list at the end\n"
                      "names each with its reason."),
    "",
    QT_TRANSLATE_NOOP("THelpForm",
                      "Show metadata\n"
                      "File ▸ Show metadata… picks a JPEG file and lists what it holds:\n"
                      "each block with its size, the EXIF tags, IPTC, XMP, the comment,\n"
                      "further pictures and trailing data, and what the ticked options\n"
                      "would remove. The file is not changed."),
    "",
    QT_TRANSLATE_NOOP("THelpForm",
                      "Drag and drop\n"
                      "Drop a folder on the window to make it the start folder; a dropped\n"
                      "file makes its own folder the start folder."),
    "",
    QT_TRANSLATE_NOOP("THelpForm",
                      "Keyboard\n"
                      "Alt and the underlined letter reach an option; Tab goes through the\n"
                      "window in reading order; Enter or Space presses the focused button;\n"
                      "F1 opens this help."),
    "",
    QT_TRANSLATE_NOOP("THelpForm",
                      "Distribution\n"
                      "Zorezaz is free of charge. You may copy it and give it to others\n"
                      "unchanged, as long as you ask nothing for it."),
    "",
    QT_TRANSLATE_NOOP("THelpForm",
                      "Disclaimer\n"
                      "Zorezaz is provided as it is, without any warranty. You use it at\n"
                      "your own risk; keep copies of the images you care about."),
    "",
};

}  // namespace

QStringList HelpLines()
{
    QStringList lines;
    for (const char* paragraph : kParagraphs) {
        // The program's name and the empty lines are the same in every language.
        if (*paragraph == '\0' || std::strcmp(paragraph, "Zorezaz") == 0)
            lines << QString::fromUtf8(paragraph);
        else
            lines << QCoreApplication::translate("THelpForm", paragraph).split(QLatin1Char('\n'));
    }
    lines << QCoreApplication::translate("THelpForm", "Zorezaz %1, made by %2.").arg(kVersion, kMakerName);
    lines << QString::fromUtf8(kWebsite);
    return lines;
}
