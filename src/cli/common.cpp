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
#include "support/ui_text.h"
#include "things/clsThings.h"

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

bool IsSentence(const QString& line) { return line.endsWith('.') || line.endsWith(']'); }

// The libraries' messages name the file on a line of its own, before or after the sentence
// ("地図図形ファイルが存在しません.", "FILE", or "FILE", "は変更禁止. [Save]"); a line of the
// tool names it first: "FILE: sentence".
std::u16string FileFirst(const std::u16string& text) {
  const QStringList lines = Q(text).split(QRegularExpression("\r?\n"));
  if (lines.size() != 2 || IsSentence(lines[0]) == IsSentence(lines[1])) return OneLine(text);
  const bool fileFirst = IsSentence(lines[1]);
  QString sentence = fileFirst ? lines[1] : lines[0];
  return U((fileFirst ? lines[0] : lines[1]) + ": " + WithoutParticle(sentence.trimmed()));
}

std::string NumberText(int32_t number) {
  if (number >= 0 && number <= 0xFFFF) return std::to_string(number);
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%08X", static_cast<uint32_t>(number));
  return hex;
}

// The reasons that errors carry in their description (support/errors.cpp and the staged writer),
// in the chosen language; the English is the description itself.
struct Reason {
  const char16_t* description;
  const char* words;
};
constexpr Reason kReasons[] = {
    {u"No such folder", QT_TRANSLATE_NOOP("picmap-cli", "フォルダーがありません")},
    {u"Read-only file system", QT_TRANSLATE_NOOP("picmap-cli", "読み取り専用のファイルシステムです")},
    {u"Permission denied", QT_TRANSLATE_NOOP("picmap-cli", "アクセス権がありません")},
    {u"Is a folder", QT_TRANSLATE_NOOP("picmap-cli", "フォルダーです")},
    {u"File name too long", QT_TRANSLATE_NOOP("picmap-cli", "ファイル名が長すぎます")},
    {u"A part of the path is not a folder",
     QT_TRANSLATE_NOOP("picmap-cli", "パスの途中がフォルダーではありません")},
    {u"Disk quota exceeded", QT_TRANSLATE_NOOP("picmap-cli", "ディスクの使用量の上限を超えています")},
    {u"File not found", QT_TRANSLATE_NOOP("picmap-cli", "ファイルが見つかりません")},
    {u"Bad file name or number",
     QT_TRANSLATE_NOOP("picmap-cli", "ファイル名またはファイル番号が正しくありません")},
    {u"Bad file mode", QT_TRANSLATE_NOOP("picmap-cli", "ファイルのモードが正しくありません")},
    {u"File already open", QT_TRANSLATE_NOOP("picmap-cli", "ファイルは既に開かれています")},
    {u"Device I/O error", QT_TRANSLATE_NOOP("picmap-cli", "デバイスの入出力でエラーが発生しました")},
    {u"File already exists", QT_TRANSLATE_NOOP("picmap-cli", "ファイルは既に存在します")},
    {u"Disk full", QT_TRANSLATE_NOOP("picmap-cli", "ディスクの空き容量が足りません")},
    {u"Input past end of file",
     QT_TRANSLATE_NOOP("picmap-cli", "ファイルの終わりを越えて読み込もうとしました")},
    {u"Bad file name", QT_TRANSLATE_NOOP("picmap-cli", "ファイル名が正しくありません")},
    {u"Too many files", QT_TRANSLATE_NOOP("picmap-cli", "開いているファイルが多すぎます")},
    {u"Device unavailable", QT_TRANSLATE_NOOP("picmap-cli", "デバイスが使用できません")},
    {u"Disk not ready", QT_TRANSLATE_NOOP("picmap-cli", "ディスクの準備ができていません")},
    {u"Path/File access error",
     QT_TRANSLATE_NOOP("picmap-cli", "パスまたはファイルへのアクセスでエラーが発生しました")},
    {u"Path not found", QT_TRANSLATE_NOOP("picmap-cli", "パスが見つかりません")},
    {u"Out of memory", QT_TRANSLATE_NOOP("picmap-cli", "メモリが足りません")},
    {u"Overflow", QT_TRANSLATE_NOOP("picmap-cli", "数値が扱える範囲を超えました")},
};

}  // namespace

std::u16string InWords(const std::u16string& description) {
  for (const Reason& r : kReasons)
    if (description == r.description) return Tr("picmap-cli", r.words);
  return description;
}

namespace {

// A file error's description carries its path after ": "; the line names the file already.
// The descriptions of the map reader end in "/" for the call path.
std::u16string Describe(const Error& e) {
  std::u16string d = e.Description();
  if (e.Number() >= 52 && e.Number() <= 76) {
    const size_t path = d.rfind(u": ");
    if (path != std::u16string::npos && d.find(u'/', path) != std::u16string::npos) d.resize(path);
    return InWords(d.empty() ? DefaultDescription(e.Number()) : d);
  }
  while (!d.empty() && d.back() == u'/') d.pop_back();
  return InWords(d);
}

void PrintFailure(const Error& e, const std::u16string& file) {
  const QString reason = TrQ("picmap-cli", "%1 (エラー %2)")
                             .arg(Q(Describe(e)), QString::fromStdString(NumberText(e.Number())));
  Fail(file.empty() ? reason : Q(file) + ": " + reason);
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
    Fail(Q(FileFirst(text)));
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

// Qt's own words for the two usual complaints, which its translations of Qt would give only
// where installed.
QString ParserComplaint(const QCommandLineParser& parser) {
  const QStringList unknown = parser.unknownOptionNames();
  if (!unknown.isEmpty()) return TrQ("picmap-cli", "不明なオプション '%1' です").arg(unknown.front());
  static const QRegularExpression missing("^Missing value after '(.*)'\\.?$");
  if (const auto m = missing.match(parser.errorText()); m.hasMatch())
    return TrQ("picmap-cli", "'%1' の後に値がありません").arg(m.captured(1));
  QString message = parser.errorText();
  if (message.endsWith('.')) message.chop(1);
  return message;
}

// Qt names the program alone in the usage line; a verb's usage names the verb too.
QString HelpText(const QCommandLineParser& parser) {
  QString text = parser.helpText();
  static const QRegularExpression usage("^Usage: \\S+");
  return text.replace(usage, QString("Usage: picmap-cli ") + gVerb);
}

// The arguments a verb takes, as its usage line names them ("MAP OUT").
QString ExpectedArguments(const QCommandLineParser& parser) {
  const QString usage = parser.helpText().section('\n', 0, 0);
  return usage.section(QStringLiteral("[options] "), 1).trimmed();
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

// Qt's complaint, with the option meant where one is near enough to the one typed.
QString UsageError(const QCommandLineParser& parser) {
  QString message = ParserComplaint(parser);
  const QStringList unknown = parser.unknownOptionNames();
  if (unknown.isEmpty()) return message;
  QString best;
  int bestDistance = 3;  // two typing slips at most
  for (const QString& known : KnownOptions(parser)) {
    const int d = EditDistance(unknown.front(), known);
    if (d < bestDistance) bestDistance = d, best = known;
  }
  if (!best.isEmpty()) message += TrQ("picmap-cli", " (--%1 のことですか?)").arg(best);
  return message + TrQ("picmap-cli", "; --help を参照してください");
}

QString TrQ(const char* context, const char* source) { return Q(Tr(context, source)); }

QString WithoutParticle(const QString& sentence) {
  static const QString particles = QString::fromUtf8("はにをが");
  if (sentence.size() > 1 && particles.contains(sentence.front())) return sentence.mid(1);
  return sentence;
}

int ParseVerb(QCommandLineParser& parser, const QStringList& args, int positionals) {
  parser.addHelpOption();
  parser.addOption({"verbose", "Print the full text of file-error reports."});
  parser.addOption({"lang", "The language of the messages, ja or en (default: English under an "
                            "English locale, else Japanese, as the window).", "LANG"});
  // GDAL's tools spell their options with one dash (-overwrite, -of GPKG): so may we.
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  if (!parser.parse(args)) return Fail(UsageError(parser), kExitUsage);
  if (parser.isSet("help")) {
    std::fputs(qPrintable(HelpText(parser)), stdout);
    return kExitOk;
  }
  gVerbose = parser.isSet("verbose");
  if (positionals >= 0 && parser.positionalArguments().size() != positionals)
    return Fail(TrQ("picmap-cli", "%1 を指定してください; --help を参照してください")
                    .arg(ExpectedArguments(parser)),
                kExitUsage);
  for (const QString& argument : parser.positionalArguments())
    if (argument.isEmpty()) return Fail(TrQ("picmap-cli", "ファイル名が空です"), kExitUsage);
  return -1;
}

int Fail(const std::string& message, int code) {
  if (*gVerb)
    std::fprintf(stderr, "picmap-cli %s: %s\n", gVerb, message.c_str());
  else
    std::fprintf(stderr, "picmap-cli: %s\n", message.c_str());
  return code;
}

int Fail(const QString& message, int code) { return Fail(message.toStdString(), code); }

void Report(const char* key, const QString& text) {
  std::printf("%s %s\n", key, qPrintable(text));
}

void ReportError(const Error& e, const QString& file) { PrintFailure(e, U(file)); }

void ReportMapReadError(const Error& e, const QString& path) {
  if (e.Number() == err::kMapVersion || e.Number() == err::kMapElement) {
    Fail(TrQ("picmap-cli", "%1: このプログラムが読める地図ファイルではありません (%2)")
             .arg(path, Q(Describe(e))));
    return;
  }
  ReportError(e, path);
}

bool LoadMapFile(clsMap& map, const QString& path, MapPart part) {
  if (path.endsWith(".MXY", Qt::CaseInsensitive)) map.MapMode(2);
  map.AssignFileName(U(path));
  if (QFileInfo(path).isDir()) {
    Fail(TrQ("picmap-cli", "%1: フォルダーです. 地図ファイルではありません").arg(path));
    return false;
  }
  try {
    // A missing file or a file error has been reported on the way.
    return (part == MapPart::kWhole ? map.Load() : map.LoadHeader()) == 0;
  } catch (const Error& e) {
    ReportMapReadError(e, path);
    return false;
  }
}

int EndVerb(const clsMap& map, int code) {
  if (map.Count() < 10000) return code;
  std::fflush(nullptr);
  std::_Exit(code);
}

int32_t SaveMap(clsMap& map, bool keepBackup, clsThings* things) {
  SaveTransaction save;
  if (!keepBackup) save.KeepNoBackups();
  if (const int32_t result = map.Save(); result != 0) return result;
  if (things) {
    things->FileName(map.FileName());
    things->Modify(true);
    if (const int32_t result = things->Save(); result != 0) {
      map.Modify(true);
      return result;
    }
  }
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
  Fail(TrQ("picmap-cli", "%1: 既にあります. 置き換えるには --overwrite を指定してください").arg(out));
  return true;
}

}  // namespace picmap::cli
