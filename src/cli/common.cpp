#include "cli/common.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <string>

#include "cli/cli.h"
#include "map/clsMap.h"
#include "support/errormng.h"
#include "support/library.h"
#include "support/stagedfile.h"
#include "support/platform.h"
#include "support/text.h"

namespace picmap::cli {

namespace {

const char* gVerb = "";
bool gVerbose = false;

std::string Utf8(const std::u16string& text) { return ToUtf8(text); }

std::u16string OneLine(const std::u16string& text) {
  std::u16string line;
  for (char16_t c : text) {
    if (c == u'\r') continue;
    line += c == u'\n' ? u' ' : c;
  }
  return line;
}

std::string NumberText(int32_t number) {
  if (number >= 0 && number <= 0xFFFF) return std::to_string(number);
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%08X", static_cast<uint32_t>(number));
  return hex;
}

// A file error's description carries its path after ": "; the line names the file already.
// The descriptions of the map reader end in "/" for the call path.
std::u16string Describe(const Error& e) {
  std::u16string d = e.Description();
  if (e.Number() >= 52 && e.Number() <= 76) {
    const size_t path = d.rfind(u": ");
    if (path != std::u16string::npos && d.find(u'/', path) != std::u16string::npos) d.resize(path);
    return d.empty() ? DefaultDescription(e.Number()) : d;
  }
  while (!d.empty() && d.back() == u'/') d.pop_back();
  return d;
}

void PrintFailure(const Error& e, const std::u16string& file) {
  std::fprintf(stderr, "picmap-cli %s: %s%s (error %s)\n", gVerb,
               file.empty() ? "" : (Utf8(file) + ": ").c_str(), Utf8(Describe(e)).c_str(),
               NumberText(e.Number()).c_str());
}

// File errors end the statement here and are returned as numbers, so this is their only
// report; every other error is passed up to the verb, which reports it.
void PresentFileError(const Error& e, const std::u16string& file, const std::u16string& dialog) {
  if (gVerbose) std::fprintf(stderr, "%s\n", Utf8(dialog).c_str());
  if (e.Number() >= 52 && e.Number() <= 76) PrintFailure(e, file);
}

// The libraries' own messages (a missing file, a read-only file, ...) on one line each.
class StderrMessages : public MessageBoxPort {
 public:
  MsgAnswer Show(const std::u16string& text, const std::u16string&, MsgButtons buttons,
                 MsgIcon) override {
    std::fprintf(stderr, "picmap-cli %s: %s\n", gVerb, Utf8(OneLine(text)).c_str());
    switch (buttons) {
      case MsgButtons::Ok: return MsgAnswer::Ok;
      case MsgButtons::YesNo:
      case MsgButtons::YesNoCancel: return MsgAnswer::No;
      case MsgButtons::AbortRetryIgnore: return MsgAnswer::Abort;
      default: return MsgAnswer::Cancel;
    }
  }
};

StderrMessages gMessages;

void PrintSaveNotice(const std::u16string& line) {
  std::fprintf(stderr, "picmap-cli %s: %s\n", gVerb, Utf8(line).c_str());
}

int EditDistance(const QString& a, const QString& b) {
  std::vector<int> row(static_cast<size_t>(b.size()) + 1);
  for (int j = 0; j <= b.size(); ++j) row[static_cast<size_t>(j)] = j;
  for (int i = 1; i <= a.size(); ++i) {
    int diagonal = row[0];
    row[0] = i;
    for (int j = 1; j <= b.size(); ++j) {
      const int above = row[static_cast<size_t>(j)];
      row[static_cast<size_t>(j)] = std::min({above + 1, row[static_cast<size_t>(j - 1)] + 1,
                                              diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row.back();
}

// The long options the parser knows, read off its help text.
QStringList KnownOptions(const QCommandLineParser& parser) {
  QStringList names;
  static const QRegularExpression option("--([a-z][a-z0-9-]*)");
  for (auto it = option.globalMatch(parser.helpText()); it.hasNext();) names << it.next().captured(1);
  return names;
}

// Qt's complaint, with the option meant where one is near enough to the one typed.
std::string UsageError(const QCommandLineParser& parser) {
  std::string message = parser.errorText().toStdString();
  if (!message.empty() && message.back() == '.') message.pop_back();
  const QStringList unknown = parser.unknownOptionNames();
  if (unknown.isEmpty()) return message;
  QString best;
  int bestDistance = 3;  // two typing slips at most
  for (const QString& known : KnownOptions(parser)) {
    const int d = EditDistance(unknown.front(), known);
    if (d < bestDistance) bestDistance = d, best = known;
  }
  if (!best.isEmpty()) message += " (did you mean --" + best.toStdString() + "?)";
  return message + "; see --help";
}

// Qt names the program alone in the usage line; a verb's usage names the verb too.
QString HelpText(const QCommandLineParser& parser) {
  QString text = parser.helpText();
  static const QRegularExpression usage("^Usage: \\S+");
  return text.replace(usage, QString("Usage: picmap-cli ") + gVerb);
}

}  // namespace

QString Q(const std::u16string& text) { return QString::fromStdU16String(text); }
std::u16string U(const QString& text) { return text.toStdU16String(); }

void BeginVerb(const char* verb) {
  gVerb = verb;
  SetMessageBoxPort(&gMessages);
  SetFileErrorPresenter(&PresentFileError);
  SetSaveNoticeSink(&PrintSaveNotice);
}

const char* CurrentVerb() { return gVerb; }

int ParseVerb(QCommandLineParser& parser, const QStringList& args, int positionals) {
  parser.addHelpOption();
  parser.addOption({"verbose", "Print the full text of file-error reports."});
  // GDAL's tools spell their options with one dash (-overwrite, -of GPKG): so may we.
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  if (!parser.parse(args)) return Fail(UsageError(parser), kExitUsage);
  if (parser.isSet("help")) {
    std::fputs(qPrintable(HelpText(parser)), stdout);
    return kExitOk;
  }
  gVerbose = parser.isSet("verbose");
  if (positionals >= 0 && parser.positionalArguments().size() != positionals) {
    std::fputs(qPrintable(HelpText(parser)), stderr);
    return kExitUsage;
  }
  for (const QString& argument : parser.positionalArguments())
    if (argument.isEmpty()) return Fail("an empty file name was given", kExitUsage);
  return -1;
}

int Fail(const std::string& message, int code) {
  std::fprintf(stderr, "picmap-cli %s: %s\n", gVerb, message.c_str());
  return code;
}

void ReportError(const Error& e, const QString& file) { PrintFailure(e, U(file)); }

bool LoadMapFile(clsMap& map, const QString& path) {
  if (path.endsWith(".MXY", Qt::CaseInsensitive)) map.MapMode(2);
  map.AssignFileName(U(path));
  if (QFileInfo(path).isDir()) {
    Fail(path.toStdString() + ": is a folder, not a map file", kExitFailure);
    return false;
  }
  try {
    // A missing file or a file error has been reported on the way.
    return map.Load() == 0;
  } catch (const Error& e) {
    if (e.Number() == err::kMapVersion || e.Number() == err::kMapElement) {
      Fail(path.toStdString() + ": not a map file this program can read (" +
               Utf8(Describe(e)) + ")",
           kExitFailure);
      return false;
    }
    ReportError(e, path);
    return false;
  }
}

int EndVerb(const clsMap& map, int code) {
  if (map.Count() < 10000) return code;
  std::fflush(nullptr);
  std::_Exit(code);
}

int32_t SaveMap(clsMap& map, bool keepBackup) {
  SaveTransaction save;
  if (!keepBackup) save.KeepNoBackups();
  if (const int32_t result = map.Save(); result != 0) return result;
  try {
    save.Complete();
  } catch (const Error& e) {
    map.Modify(true);
    PrintFailure(e, save.FailedTarget());
    return e.Number();
  }
  PrintKeptBackups(save.KeptBackups());
  return 0;
}

void PrintKeptBackups(const std::vector<std::u16string>& backups) {
  for (const std::u16string& backup : backups)
    if (!backup.empty()) std::printf("kept: %s\n", Utf8(backup).c_str());
}

bool RefuseExistingOutput(const QString& out, bool overwrite) {
  if (overwrite || !QFileInfo::exists(out)) return false;
  Fail(out.toStdString() + ": exists already; give --overwrite to replace it", kExitFailure);
  return true;
}

}  // namespace picmap::cli
