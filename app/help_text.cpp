#include "app/help_text.h"

#include "app/maker.h"

QStringList HelpLines()
{
    // Trailing blanks are part of the text.
    QStringList lines = {
        "Zorezaz",
        "",
        "This utility will remove meta information (EXIF, COM and IPTC tags) ",
        "from JPEG image files. You can automatically process a large number",
        "of files with the click of a button. ",
        "",
        "Zorezaz is very easy to use:",
        "",
        "Simply select a folder containing the JPEG image files you want to",
        "modify, set the options (which meta tags you want to remove), and",
        "select where to save the modified files. You have two options:",
        "",
        "Save to new folder",
        "All files will be saved in the folder you've specified, using the original",
        "filename(s). If the specified folder doesn't exist, it will be created ",
        "automatically.",
        "",
        "Select \"Copy unchanged files to target folder\" to make sure that ALL ",
        "files (including those that does not contain any Meta tags) are copied ",
        "to the specified output folder.",
        "",
        "Save using filename prefix",
        "All files will be saved in the same folder as originally located, using the",
        "filename prefix you've specified. For example, a modified image ",
        "originally named filename.jpg will be saved as copy_filename.jpg",
        "",
        "Note: This program will not, under any circumstance overwrite your ",
        "original image files. The program will always assign a unique name ",
        "to all modified files. If copy_filename.jpg exists, the program will name ",
        "the new file as copy_filename_1.jpg, or copy_filename_2.jpg and so ",
        "on.",
        "",
        "",
        "Distribution",
        "Zorezaz is free of charge. You may copy it and give it to others",
        "unchanged, as long as you ask nothing for it.",
        "",
        "Disclaimer",
        "Zorezaz is provided as it is, without any warranty. You use it at",
        "your own risk; keep copies of the images you care about.",
        "",
    };
    lines << QString("Zorezaz %1, made by %2.").arg(kVersion, kMakerName);
    lines << QString::fromUtf8(kWebsite);
    return lines;
}
