<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE" sourcelanguage="en">
<context>
    <name>TDialogs</name>
    <message>
        <source>Select folder</source>
        <translation>Ordner wählen</translation>
    </message>
    <message>
        <source>Show metadata</source>
        <translation>Metadaten anzeigen</translation>
    </message>
    <message>
        <source>Pictures Zorezaz cleans</source>
        <translation>Bilder, die Zorezaz bereinigt</translation>
    </message>
    <message>
        <source>All files</source>
        <translation>Alle Dateien</translation>
    </message>
    <message>
        <source>&amp;Copy all</source>
        <translation>Alles &amp;kopieren</translation>
    </message>
</context>
<context>
    <name>THelpForm</name>
    <message>
        <source>Help</source>
        <translation>Hilfe</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>This utility will remove meta information (EXIF, COM and IPTC tags) 
from JPEG image files. You can automatically process a large number
of files with the click of a button. </source>
        <translation>Dieses Programm entfernt Metadaten (EXIF-, COM- und IPTC-Angaben)
aus JPEG-Bilddateien. Mit einem Klick lässt sich eine große Zahl
von Dateien auf einmal bearbeiten.</translation>
    </message>
    <message>
        <source>Zorezaz is very easy to use:</source>
        <translation>Zorezaz ist ganz einfach zu bedienen:</translation>
    </message>
    <message>
        <source>Simply select a folder containing the JPEG image files you want to
modify, set the options (which meta tags you want to remove), and
select where to save the modified files. You have two options:</source>
        <translation>Wählen Sie den Ordner mit den JPEG-Bildern, die Sie bearbeiten
möchten, legen Sie fest, welche Metadaten entfernt werden sollen,
und wählen Sie, wo die bearbeiteten Dateien gespeichert werden.
Dafür gibt es zwei Möglichkeiten:</translation>
    </message>
    <message>
        <source>Save to new folder
All files will be saved in the folder you&apos;ve specified, using the original
filename(s). If the specified folder doesn&apos;t exist, it will be created 
automatically.</source>
        <translation>In neuen Ordner speichern
Alle Dateien werden unter ihrem ursprünglichen Namen in dem Ordner
gespeichert, den Sie angegeben haben. Gibt es den Ordner noch nicht,
wird er angelegt.</translation>
    </message>
    <message>
        <source>Select &quot;Copy unchanged files to target folder&quot; to make sure that ALL 
files (including those that does not contain any Meta tags) are copied 
to the specified output folder.</source>
        <translation>Mit „Unveränderte Dateien mitkopieren“ landen ALLE Dateien im
Zielordner, auch die, die keine Metadaten enthalten.</translation>
    </message>
    <message>
        <source>Save using filename prefix
All files will be saved in the same folder as originally located, using the
filename prefix you&apos;ve specified. For example, a modified image 
originally named filename.jpg will be saved as copy_filename.jpg</source>
        <translation>Mit Präfix speichern
Alle Dateien werden im selben Ordner wie das Original gespeichert,
mit dem angegebenen Präfix vor dem Dateinamen. Ein bearbeitetes
Bild namens dateiname.jpg wird zum Beispiel als copy_dateiname.jpg
gespeichert.</translation>
    </message>
    <message>
        <source>Note: This program will not, under any circumstance overwrite your 
original image files. The program will always assign a unique name 
to all modified files. If copy_filename.jpg exists, the program will name 
the new file as copy_filename_1.jpg, or copy_filename_2.jpg and so 
on.</source>
        <translation>Hinweis: Das Programm überschreibt Ihre Originalbilder unter keinen
Umständen. Jede bearbeitete Datei bekommt einen eigenen Namen: Gibt
es copy_dateiname.jpg schon, heißt die neue Datei copy_dateiname_1.jpg,
copy_dateiname_2.jpg und so weiter.</translation>
    </message>
    <message>
        <source>Which files are changed
A file counts as changed only when the options you ticked remove
something from it. An empty comment and an IPTC block without any
information are not metadata, so files cleaned before are left as
they are (and copied as they are with &quot;Copy unchanged files&quot;).</source>
        <translation>Welche Dateien geändert werden
Eine Datei zählt nur dann als geändert, wenn die angekreuzten
Optionen etwas aus ihr entfernen. Ein leerer Kommentar und ein
IPTC-Block ohne Angaben sind keine Metadaten; schon bereinigte
Dateien bleiben daher, wie sie sind (und werden mit „Unveränderte
Dateien mitkopieren“ unverändert kopiert).</translation>
    </message>
    <message>
        <source>Strip XMP and other metadata
Removes XMP (where editing programs keep authors, places and
keywords), the other blocks that cameras and programs add, and
whatever follows the picture (trailers, appended video). Colour
profiles, HDR gain maps and the further pictures of a multi-picture
file stay, so the photo looks as it did.</source>
        <translation>XMP und andere Metadaten entfernen
Entfernt XMP (dort speichern Bildbearbeitungen Urheber, Orte und
Stichwörter), die übrigen Blöcke, die Kameras und Programme
anfügen, und alles, was hinter dem Bild steht (angehängte Daten,
Videos). Farbprofile, HDR-Gain-Maps und die weiteren Bilder einer
Mehrbilddatei bleiben, damit das Foto aussieht wie zuvor.</translation>
    </message>
    <message>
        <source>Keep orientation
When EXIF tags are stripped, a photo taken with the camera turned
keeps a tiny EXIF block that holds only its orientation, so it is
still shown upright. Untick it to remove that too.</source>
        <translation>Ausrichtung behalten
Werden EXIF-Angaben entfernt, behält ein Foto, das mit gedrehter
Kamera aufgenommen wurde, einen winzigen EXIF-Block, der nur seine
Ausrichtung enthält; so wird es weiter richtig herum angezeigt.
Ohne Häkchen wird auch dieser entfernt.</translation>
    </message>
    <message>
        <source>Keep file dates
Off by default: cleaned files and copies carry the time they were
written. The time a photo was last changed can itself reveal when
it was taken, so tick this only if the files should keep the dates
of their originals.</source>
        <translation>Dateidatum behalten
Standardmäßig aus: Bereinigte Dateien und Kopien tragen die Zeit,
zu der sie geschrieben wurden. Schon der Zeitpunkt der letzten
Änderung eines Fotos kann verraten, wann es aufgenommen wurde;
kreuzen Sie dies also nur an, wenn die Dateien das Datum ihrer
Originale behalten sollen.</translation>
    </message>
    <message>
        <source>Open output folder
After a run that saved to a new folder, this button shows the
cleaned files in your file manager.</source>
        <translation>Zielordner öffnen
Nach einem Lauf, der in einen neuen Ordner gespeichert hat, zeigt
diese Schaltfläche die bereinigten Dateien in Ihrer Dateiverwaltung.</translation>
    </message>
    <message>
        <source>Show metadata
File ▸ Show metadata… picks a JPEG file and lists what it holds:
each block with its size, the EXIF tags, IPTC, XMP, the comment,
further pictures and trailing data, and what the ticked options
would remove. The file is not changed.</source>
        <translation>Metadaten anzeigen
Datei ▸ Metadaten anzeigen… wählt eine JPEG-Datei und listet auf,
was sie enthält: jeden Block mit seiner Größe, die EXIF-Angaben,
IPTC, XMP, den Kommentar, weitere Bilder und angehängte Daten, und
was die angekreuzten Optionen entfernen würden. Die Datei bleibt
unverändert. (Die Auflistung selbst ist englisch.)</translation>
    </message>
    <message>
        <source>Drag and drop
Drop a folder on the window to make it the start folder; a dropped
file makes its own folder the start folder.</source>
        <translation>Ziehen und Ablegen
Legen Sie einen Ordner auf dem Fenster ab, um ihn zum Startordner zu
machen; bei einer Datei wird ihr Ordner zum Startordner.</translation>
    </message>
    <message>
        <source>Keyboard
Alt and the underlined letter reach an option; Tab goes through the
window in reading order; Enter or Space presses the focused button;
F1 opens this help.</source>
        <translation>Tastatur
Alt und der unterstrichene Buchstabe erreichen eine Option; Tab geht
in Leserichtung durch das Fenster; Eingabe oder Leertaste drückt die
Schaltfläche mit dem Fokus; F1 öffnet diese Hilfe.</translation>
    </message>
    <message>
        <source>Distribution
Zorezaz is free of charge. You may copy it and give it to others
unchanged, as long as you ask nothing for it.</source>
        <translation>Weitergabe
Zorezaz ist kostenlos. Sie dürfen es unverändert kopieren und
weitergeben, solange Sie nichts dafür verlangen.</translation>
    </message>
    <message>
        <source>Disclaimer
Zorezaz is provided as it is, without any warranty. You use it at
your own risk; keep copies of the images you care about.</source>
        <translation>Haftungsausschluss
Zorezaz wird so, wie es ist, ohne jede Gewähr bereitgestellt. Die
Nutzung geschieht auf eigene Gefahr; bewahren Sie Kopien der Bilder
auf, die Ihnen wichtig sind.</translation>
    </message>
    <message>
        <source>Zorezaz %1, made by %2.</source>
        <translation>Zorezaz %1, von %2.</translation>
    </message>
    <message>
        <source>Skip files that cannot be cleaned
On by default: a file that cannot be read or written is left without
output and the run goes on; at the end a list shows every skipped
file with the reason, ready to copy. Untick it to have the first such
file end the run with a message that names it and says why.</source>
        <translation>Dateien mit Fehlern überspringen
Von Anfang an angekreuzt: Eine Datei, die sich nicht lesen oder
schreiben lässt, bleibt ohne Ausgabe, und der Lauf geht weiter; am
Ende zeigt eine Liste jede übersprungene Datei mit dem Grund, bereit
zum Kopieren. Ohne Haken beendet die erste solche Datei den Lauf mit
einer Meldung, die sie nennt und den Grund angibt.</translation>
    </message>
    <message>
        <source>Stopping and running again
While a run lasts, OK reads &quot;Stop&quot; (Esc does the same): the file in
hand is finished and the run ends. Run it again with the same options
to go on: a file whose cleaned copy is already in the output folder,
byte for byte, counts as already clean and is not written twice:
&quot;Done  (2 files processed, 4 already clean)&quot;.</source>
        <translation>Anhalten und erneut starten
Während eines Laufs heißt OK „Stopp“ (Esc wirkt ebenso): Die Datei,
die gerade bearbeitet wird, wird fertig, dann endet der Lauf. Starten
Sie ihn mit denselben Optionen erneut, um fortzufahren: Eine Datei,
deren bereinigte Kopie schon Byte für Byte im Zielordner liegt, gilt
als bereits sauber und wird nicht ein zweites Mal geschrieben:
„Fertig  (2 Dateien bearbeitet, 4 bereits sauber)“.</translation>
    </message>
    <message>
        <source>File types
Zorezaz cleans JPEG, PNG, WebP and HEIC/AVIF pictures and MOV/MP4
videos; untick a type to leave its files as they are. A file&apos;s
content decides, not its name: a PNG named .jpg is cleaned as a PNG
and keeps its name. A HEIC or AVIF file loses its EXIF and XMP items;
its colour, rotation and HDR stay. A video loses, with &quot;other
metadata&quot;, its place, phone, software, times and timed metadata
tracks; its picture, sound and rotation stay byte for byte. A file
that holds no such picture, one of a type not ticked, and pictures of
other types (GIF, TIFF, BMP and the like) are left alone: neither
cleaned nor copied; the totals count them, and the list at the end
names each with its reason.</source>
        <translation>Dateitypen
Zorezaz bereinigt JPEG-, PNG-, WebP- und HEIC/AVIF-Bilder und MOV/MP4-
Videos; ohne Häkchen bei einem Typ bleiben seine Dateien, wie sie sind.
Der Inhalt einer Datei entscheidet, nicht ihr Name: Ein PNG namens .jpg
wird als PNG bereinigt und behält seinen Namen. Eine HEIC- oder
AVIF-Datei verliert ihre EXIF- und XMP-Elemente; Farbe, Drehung und HDR
bleiben. Ein Video verliert mit „andere Metadaten“ Ort, Telefon,
Software, Zeiten und zeitgesteuerte Metadatenspuren; Bild, Ton und
Drehung bleiben Byte für Byte. Eine Datei, die kein solches Bild
enthält, eine Datei eines nicht angekreuzten Typs sowie Bilder anderer
Typen (GIF, TIFF, BMP und ähnliche) bleiben unberührt:
Sie werden weder bereinigt noch kopiert; die Summen zählen sie, und die
Liste am Ende nennt jede mit ihrem Grund.</translation>
    </message>
</context>
<context>
    <name>TMainForm</name>
    <message>
        <source>Input options</source>
        <translation>Eingabeoptionen</translation>
    </message>
    <message>
        <source>&amp;Start folder:</source>
        <translation>&amp;Startordner:</translation>
    </message>
    <message>
        <source>Choose the start folder</source>
        <translation>Startordner wählen</translation>
    </message>
    <message>
        <source>&amp;Include subfolders</source>
        <translation>Unterordner &amp;einbeziehen</translation>
    </message>
    <message>
        <source>Output options</source>
        <translation>Ausgabeoptionen</translation>
    </message>
    <message>
        <source>Strip E&amp;XIF tags</source>
        <translation>E&amp;XIF entfernen</translation>
    </message>
    <message>
        <source>Strip &amp;COM text</source>
        <translation>&amp;COM-Text entfernen</translation>
    </message>
    <message>
        <source>Strip I&amp;PTC info</source>
        <translation>I&amp;PTC entfernen</translation>
    </message>
    <message>
        <source>Strip XMP and other &amp;metadata</source>
        <translation>XMP und andere &amp;Metadaten entfernen</translation>
    </message>
    <message>
        <source>K&amp;eep orientation</source>
        <translation>&amp;Ausrichtung behalten</translation>
    </message>
    <message>
        <source>Save to &amp;new folder:</source>
        <translation>In &amp;neuen Ordner:</translation>
    </message>
    <message>
        <source>Choose the output folder</source>
        <translation>Zielordner wählen</translation>
    </message>
    <message>
        <source>Copy &amp;unchanged files to target folder</source>
        <translation>&amp;Unveränderte Dateien mitkopieren</translation>
    </message>
    <message>
        <source>Save using filename p&amp;refix:</source>
        <translation>Mit P&amp;räfix speichern:</translation>
    </message>
    <message>
        <source>S&amp;kip files that cannot be cleaned</source>
        <translation>Dateien mit &amp;Fehlern überspringen</translation>
    </message>
    <message>
        <source>Keep file d&amp;ates</source>
        <translation>Dateidatum &amp;behalten</translation>
    </message>
    <message>
        <source>&amp;OK</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>Open output fo&amp;lder</source>
        <translation>&amp;Zielordner öffnen</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <source>&amp;Show metadata…</source>
        <translation>Metadaten &amp;anzeigen…</translation>
    </message>
    <message>
        <source>&amp;Close</source>
        <translation>&amp;Schließen</translation>
    </message>
    <message>
        <source>&amp;Website</source>
        <translation>&amp;Webseite</translation>
    </message>
    <message>
        <source>&amp;About</source>
        <translation>Ü&amp;ber</translation>
    </message>
    <message>
        <source>Processing %1</source>
        <translation>Bearbeite %1</translation>
    </message>
    <message>
        <source>%v of %m</source>
        <translation>%v von %m</translation>
    </message>
    <message>
        <source>A run is in progress.

Stop it after the current file and close the window?</source>
        <translation>Ein Lauf ist im Gange.

Ihn nach der aktuellen Datei anhalten und das Fenster schließen?</translation>
    </message>
    <message>
        <source>S&amp;top</source>
        <translation>S&amp;topp</translation>
    </message>
    <message>
        <source>Stopped  %1</source>
        <translation>Angehalten  %1</translation>
    </message>
    <message>
        <source>Done  %1</source>
        <translation>Fertig  %1</translation>
    </message>
    <message>
        <source>Information</source>
        <translation>Information</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Fehler</translation>
    </message>
    <message>
        <source>You must specify a valid output folder.</source>
        <translation>Bitte geben Sie einen gültigen Zielordner an.</translation>
    </message>
    <message>
        <source>The file name prefix cannot contain &quot;/&quot;.

Cleaned files are saved beside their originals; choose a prefix without &quot;/&quot;.</source>
        <translation>Das Präfix darf kein „/“ enthalten.

Bereinigte Dateien werden neben ihren Originalen gespeichert; wählen Sie ein Präfix ohne „/“.</translation>
    </message>
    <message>
        <source>Skipped files</source>
        <translation>Übersprungene Dateien</translation>
    </message>
    <message>
        <source>1 file could not be cleaned and was left without output:</source>
        <translation>1 Datei ließ sich nicht bereinigen und blieb ohne Ausgabe:</translation>
    </message>
    <message>
        <source>%1 files could not be cleaned and were left without output:</source>
        <translation>%1 Dateien ließen sich nicht bereinigen und blieben ohne Ausgabe:</translation>
    </message>
    <message>
        <source>About Zorezaz</source>
        <translation>Über Zorezaz</translation>
    </message>
    <message>
        <source>Zorezaz %1

Removes EXIF tags, comments, IPTC information, XMP and other metadata from pictures, losslessly and without touching the originals.

Made by %2.
%3</source>
        <translation>Zorezaz %1

Entfernt EXIF-Angaben, Kommentare, IPTC-Angaben, XMP und andere Metadaten aus Bildern, verlustfrei und ohne die Originale anzutasten.

Von %2.
%3</translation>
    </message>
    <message>
        <source>Permission denied</source>
        <translation>Zugriff verweigert</translation>
    </message>
    <message>
        <source>Operation not permitted</source>
        <translation>Vorgang nicht erlaubt</translation>
    </message>
    <message>
        <source>No such file or directory</source>
        <translation>Datei oder Ordner nicht gefunden</translation>
    </message>
    <message>
        <source>Not a directory</source>
        <translation>Kein Ordner</translation>
    </message>
    <message>
        <source>Is a directory</source>
        <translation>Ist ein Ordner</translation>
    </message>
    <message>
        <source>File exists</source>
        <translation>Datei existiert bereits</translation>
    </message>
    <message>
        <source>No space left on device</source>
        <translation>Kein Platz mehr auf dem Datenträger</translation>
    </message>
    <message>
        <source>Disk quota exceeded</source>
        <translation>Speicherkontingent überschritten</translation>
    </message>
    <message>
        <source>Read-only file system</source>
        <translation>Nur lesbares Dateisystem</translation>
    </message>
    <message>
        <source>File name too long</source>
        <translation>Dateiname zu lang</translation>
    </message>
    <message>
        <source>Too many levels of symbolic links</source>
        <translation>Zu viele Ebenen symbolischer Verknüpfungen</translation>
    </message>
    <message>
        <source>Input/output error</source>
        <translation>Ein-/Ausgabefehler</translation>
    </message>
    <message>
        <source>Too many open files</source>
        <translation>Zu viele offene Dateien</translation>
    </message>
    <message>
        <source>%1 of 1 file changed</source>
        <translation>%1 von 1 Datei geändert</translation>
    </message>
    <message numerus="yes">
        <source>%1 of %n files changed</source>
        <translation>
            <numerusform>%1 von %n Datei geändert</numerusform>
            <numerusform>%1 von %n Dateien geändert</numerusform>
        </translation>
    </message>
    <message>
        <source>1 file processed</source>
        <translation>1 Datei bearbeitet</translation>
    </message>
    <message numerus="yes">
        <source>%n files processed</source>
        <translation>
            <numerusform>%n Datei bearbeitet</numerusform>
            <numerusform>%n Dateien bearbeitet</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n already clean</source>
        <translation>
            <numerusform>%n bereits sauber</numerusform>
            <numerusform>%n bereits sauber</numerusform>
        </translation>
    </message>
    <message>
        <source>1 file already clean</source>
        <translation>1 Datei bereits sauber</translation>
    </message>
    <message numerus="yes">
        <source>%n files already clean</source>
        <translation>
            <numerusform>%n Datei bereits sauber</numerusform>
            <numerusform>%n Dateien bereits sauber</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n skipped</source>
        <translation>
            <numerusform>%n übersprungen</numerusform>
            <numerusform>%n übersprungen</numerusform>
        </translation>
    </message>
    <message>
        <source>Stopped by an error  %1</source>
        <translation>Durch einen Fehler beendet  %1</translation>
    </message>
    <message>
        <source>Choose a start folder first.</source>
        <translation>Wählen Sie zuerst einen Startordner.</translation>
    </message>
    <message>
        <source>Folder %1 does not exist.</source>
        <translation>Der Ordner %1 existiert nicht.</translation>
    </message>
    <message>
        <source>Cannot open folder %1.

%2</source>
        <translation>Der Ordner %1 kann nicht geöffnet werden.

%2</translation>
    </message>
    <message>
        <source>Cannot read folder %1.

%2</source>
        <translation>Der Ordner %1 kann nicht gelesen werden.

%2</translation>
    </message>
    <message>
        <source>Cannot create %1.

%2</source>
        <translation>%1 kann nicht angelegt werden.

%2</translation>
    </message>
    <message>
        <source>Cannot open file %1.

%2</source>
        <translation>Die Datei %1 kann nicht geöffnet werden.

%2</translation>
    </message>
    <message>
        <source>Not a regular file</source>
        <translation>Keine gewöhnliche Datei</translation>
    </message>
    <message>
        <source>Cannot create file %1.

%2</source>
        <translation>Die Datei %1 kann nicht angelegt werden.

%2</translation>
    </message>
    <message>
        <source>Cannot create file %1.

%2: %3</source>
        <translation>Die Datei %1 kann nicht angelegt werden.

%2: %3</translation>
    </message>
    <message>
        <source>Stream read error.

%1: %2</source>
        <translation>Lesefehler.

%1: %2</translation>
    </message>
    <message>
        <source>Stream write error.

%1: %2</source>
        <translation>Schreibfehler.

%1: %2</translation>
    </message>
    <message>
        <source>Damaged JPEG header in %1</source>
        <translation>Beschädigter JPEG-Kopf in %1</translation>
    </message>
    <message>
        <source>Cannot clean %1: %2</source>
        <translation>%1 kann nicht bereinigt werden: %2</translation>
    </message>
    <message>
        <source>Damaged %1 file %2</source>
        <translation>Beschädigte %1-Datei %2</translation>
    </message>
    <message>
        <source>JPEG error #%1 in %2: %3</source>
        <translation>JPEG-Fehler #%1 in %2: %3</translation>
    </message>
    <message>
        <source>Nothing to do.

Tick at least one of EXIF, comment, IPTC, or XMP and other metadata under Output options.</source>
        <translation>Nichts zu tun.

Kreuzen Sie unter „Ausgabeoptionen“ mindestens eines an: EXIF, Kommentar, IPTC oder XMP und andere Metadaten.</translation>
    </message>
    <message>
        <source>not a picture Zorezaz can clean</source>
        <translation>kein Bild, das Zorezaz bereinigen kann</translation>
    </message>
    <message>
        <source>type not supported</source>
        <translation>Dateityp nicht unterstützt</translation>
    </message>
    <message>
        <source>No output was written for these files (%1 skipped, %2 left alone):</source>
        <translation>Für diese Dateien wurde keine Ausgabe geschrieben (%1 übersprungen, %2 unberührt):</translation>
    </message>
    <message>
        <source>Files left alone</source>
        <translation>Unberührte Dateien</translation>
    </message>
    <message>
        <source>File types:</source>
        <translation>Dateitypen:</translation>
    </message>
    <message>
        <source>&amp;JPEG</source>
        <translation>&amp;JPEG</translation>
    </message>
    <message>
        <source>PN&amp;G</source>
        <translation>PN&amp;G</translation>
    </message>
    <message>
        <source>&amp;WebP</source>
        <translation>&amp;WebP</translation>
    </message>
    <message>
        <source>HEIC/A&amp;VIF</source>
        <translation>HEIC/A&amp;VIF</translation>
    </message>
    <message>
        <source>Vi&amp;deos (MOV, MP4)</source>
        <translation>V&amp;ideos (MOV, MP4)</translation>
    </message>
    <message>
        <source>1 file of another type left alone</source>
        <translation>1 Datei anderen Typs unberührt</translation>
    </message>
    <message numerus="yes">
        <source>%n files of other types left alone</source>
        <translation>
            <numerusform>%n Datei anderen Typs unberührt</numerusform>
            <numerusform>%n Dateien anderer Typen unberührt</numerusform>
        </translation>
    </message>
    <message>
        <source>type not ticked under File types</source>
        <translation>Typ unter „Dateitypen“ nicht angekreuzt</translation>
    </message>
    <message>
        <source>Nothing to do.

Tick at least one of JPEG, PNG, WebP, HEIC/AVIF, or Videos under File types.</source>
        <translation>Nichts zu tun.

Kreuzen Sie unter „Dateitypen“ mindestens einen an: JPEG, PNG, WebP, HEIC/AVIF oder Videos.</translation>
    </message>
    <message>
        <source>1 file was not cleaned and was left alone, without output:</source>
        <translation>1 Datei wurde nicht bereinigt und blieb unberührt, ohne Ausgabe:</translation>
    </message>
    <message>
        <source>%1 files were not cleaned and were left alone, without output:</source>
        <translation>%1 Dateien wurden nicht bereinigt und blieben unberührt, ohne Ausgabe:</translation>
    </message>
</context>
<context>
    <name>TMetadataView</name>
    <message>
        <source>&amp;Close</source>
        <translation>&amp;Schließen</translation>
    </message>
    <message>
        <source>Metadata of %1</source>
        <translation>Metadaten von %1</translation>
    </message>
</context>
</TS>
