#pragma once

// What happens between the program's start and the moment the main window is ready for the
// user: the image library's initialisation and the command-line list files when the main window
// is created, and the checks of its first showing (image library file and version, settings
// database, first-run language choice, translation of the windows, update check), after which
// the images and folders named on the command line are listed.

#include <QByteArrayList>
#include <QString>
#include <QStringList>

class TForm1;

// True once the main window's first showing has run the start-up checks; later showings run none.
extern bool StartupChecksRun;

namespace kavenra::startup {

// The command-line arguments, each the name of a list file. The program entry sets them before it
// creates the windows; without that there are none.
void SetListFileArguments(const QByteArrayList& files);
QByteArrayList ListFileArguments();

// The command line sorted by what each argument names, in the order given, every path absolute
// and cleaned (".", ".." and doubled separators gone; symbolic links kept as named), byte for
// byte. A list file is a regular file that holds a list (IsListFileText) and has no picture's
// name, or a pipe, whose content can be read only once and is looked at as it is read. Every
// other argument is an item to list as if dropped on the main window: a folder, a picture, and
// also what is missing, empty, unreadable or no picture, which the drop refuses and names.
struct StartupArguments {
    QByteArrayList listFiles;
    QByteArrayList droppedItems;
};
StartupArguments ClassifyArguments(const QByteArrayList& arguments,
                                   const QByteArray& workingDirectory);

// The program entry's arguments, sorted: the list files replace ListFileArguments(), the items to
// list as one drop at the first showing DroppedItemArguments().
void SetStartupArguments(const StartupArguments& arguments);
QByteArrayList DroppedItemArguments();

// Whether a file's content is a list of names: text, after a byte-order mark in UTF-8 or UTF-16,
// else without one in UTF-8, with no NUL byte and no control character but the tab and the line
// breaks. A line that is no UTF-8 passes only when it names an existing file or folder, which
// keeps the names an older system wrote in another encoding; random bytes never do.
bool IsListFileText(const QByteArray& bytes);

// A file name that says it holds a picture (of any kind, not only the ones the program reads):
// "photo.JPG", "drawing.svg". Such a file is never read as a list.
bool HasPictureName(const QByteArray& path);

// Initialises FreeImage with external plug-ins allowed, once per process; never undone.
void InitialiseImageLibrary();

// The lines of a text file as the paths they name. A byte-order mark selects UTF-8, UTF-16LE or
// UTF-16BE, whose text is then encoded as file names are; otherwise the lines are the file's own
// bytes, so that a name that is no UTF-8 stays the file's name. Lines end at CR, LF or CR LF; a
// break after the last line adds no empty line, blank lines inside are kept. Throws
// std::runtime_error, with a message naming the file, when it cannot be read or holds no list
// (IsListFileText).
QByteArrayList ReadListFileEntries(const QByteArray& path);

// Reads each list file in turn into the main window: its lines replace the list, the destination
// becomes the first line's folder followed by "RES/" and the count shows the number of lines, so
// the last file read wins. Throws std::runtime_error at a file that cannot be read or holds no
// list (the list stays as it was) or that holds no lines (the list is left empty, the
// destination empty and the count 0); the files after it are not read.
void LoadListFiles(TForm1& form, const QByteArrayList& files);

// The file of the image library that the dynamic loader mapped into this process (the program
// itself when the library is linked in statically); empty when the loader cannot tell.
QString ImageLibraryFile();

// "3.18.0": the version of the FreeImage headers the program was built with, the only version
// it accepts at start-up.
QString RequiredImageLibraryVersion();

// The library's version check: when the version the library reported is not the required one,
// the warning naming the required version, then a notice with the reported one, and the process
// ends with status 1. The start-up passes the running library's own version.
void CheckImageLibraryVersion(const QString& reported, const QString& required);

// The checks of the main window's first showing, in order. A missing library file, another
// library version or a missing "KVConfig.db" is reported and ends the process with status 1.
// Then the columns later versions added to the settings are added to an older "KVConfig.db"
// (SettingsColumns.h; a failure is reported and the start goes on), the language dialog at the
// first run, the translation of all windows and, when online and a newer version is published, the
// update prompt.
void RunStartupChecks();

// Asks whether to open the download page of a newer version and opens it on the affirmative
// answer.
void OfferUpdate();

}  // namespace kavenra::startup
