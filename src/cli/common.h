// What every picmap-cli verb shares: parsing its arguments, reporting failures on standard
// error in one line each, reading a map file under exactly the name given, and refusing to
// replace an existing output unless asked to.
#pragma once

#include <QCommandLineParser>
#include <QString>

#include <string>
#include <vector>

#include "cli/cli.h"
#include "support/errors.h"

namespace picmap {
class clsMap;
}

namespace picmap::cli {

// Names the running verb in every message and installs the reporting of the libraries'
// messages and file errors. `verbose` adds the file-error dialog's full text.
void BeginVerb(const char* verb);
const char* CurrentVerb();

// Adds --help and --verbose, parses, handles --help and checks the number of positional
// arguments; returns -1 to go on, or the exit code to end with.
int ParseVerb(QCommandLineParser& parser, const QStringList& args, int positionals);

// "picmap-cli VERB: message" on standard error; returns `code`.
int Fail(const std::string& message, int code = kExitFailure);

// One line for an error that reached the verb: the file, its description and number.
void ReportError(const Error& e, const QString& file);

// Returns `code`; after a verb that holds a map of 10000 figures or more the process ends here
// instead, as the window's Form_Unload does: releasing them one by one takes longer than the
// system takes to reclaim the whole process.
int EndVerb(const clsMap& map, int code);

// Loads exactly `path` (any extension; ".MXY" as an x/y map). False after the failure was
// reported; a file that is no map file is said to be one.
bool LoadMapFile(clsMap& map, const QString& path);

// The map's Save, with a line "kept: NAME" for the backup of the file it replaced (unless
// `keepBackup` is false: then the old file is replaced without one).
int32_t SaveMap(clsMap& map, bool keepBackup = true);
void PrintKeptBackups(const std::vector<std::u16string>& backups);

// An existing `out` is refused (reported, true) unless --overwrite was given.
bool RefuseExistingOutput(const QString& out, bool overwrite);

QString Q(const std::u16string& text);
std::u16string U(const QString& text);

}  // namespace picmap::cli
