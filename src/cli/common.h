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
class clsThings;
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
int Fail(const QString& message, int code = kExitFailure);

// The tool's words in the chosen language: `source` is the Japanese, written as the window's
// texts are; the translation file holds the English. The first word of a report line on
// standard output and the output of info, dump and things never go through it: scripts read
// them.
QString TrQ(const char* context, const char* source);

// A Japanese message that follows the file's name ("FILE\nを画像として読み込めませんでした.")
// without its particle, for a line that names the file first and a colon after it.
QString WithoutParticle(const QString& sentence);

// An error's English description ("Permission denied", "Disk full") in the chosen language;
// any other text as it is.
std::u16string InWords(const std::u16string& description);

// Qt's complaint about the command line in the chosen language, with the option meant where
// one is near enough to the one typed.
QString UsageError(const QCommandLineParser& parser);

// A report line on standard output: `key` (what scripts look for, the same in every language),
// a space, then `text` in the chosen language.
void Report(const char* key, const QString& text);

// One line for an error that reached the verb: the file, its description and number.
void ReportError(const Error& e, const QString& file);

// Returns `code`; after a verb that holds a map of 10000 figures or more the process ends here
// instead, as the window's Form_Unload does: releasing them one by one takes longer than the
// system takes to reclaim the whole process.
int EndVerb(const clsMap& map, int code);

// Loads exactly `path` (any extension; ".MXY" as an x/y map), or only its header's figures.
// False after the failure was reported; a file that is no map file is said to be one.
enum class MapPart { kWhole, kHeader };
bool LoadMapFile(clsMap& map, const QString& path, MapPart part = MapPart::kWhole);
// A failure to read the map file `path`, reported as LoadMapFile reports it.
void ReportMapReadError(const Error& e, const QString& path);

// The map's Save, with a line "kept: NAME" for the backup of the file it replaced (unless
// `keepBackup` is false: then the old file is replaced without one); `things`, when given, is
// saved beside the map in the same step.
int32_t SaveMap(clsMap& map, bool keepBackup = true, clsThings* things = nullptr);
void PrintKeptBackups(const std::vector<std::u16string>& backups);

// An existing `out` is refused (reported, true) unless --overwrite was given.
bool RefuseExistingOutput(const QString& out, bool overwrite);

QString Q(const std::u16string& text);
std::u16string U(const QString& text);

}  // namespace picmap::cli
