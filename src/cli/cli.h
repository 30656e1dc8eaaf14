// picmap-cli: the command-line tool. Main picks the verb (the first argument) and runs it.
#pragma once

#include <QStringList>

namespace picmap::cli {

// Exit codes: 0 success, 1 a failure, 2 a usage error.
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// Each verb gets its own arguments: the program name, then everything after the verb, so it
// can run its own QCommandLineParser. It returns the exit code.
using VerbFunction = int (*)(const QStringList& args);

struct Verb {
  const char* name;
  const char* synopsis;
  VerbFunction run;
  bool draws = false;  // needs the Gui module's painting and fonts, not only pictures
};

int Main(int argc, char** argv);

// picmap-cli convert: a picture to a map file and a thing file (verbs_convert.cpp).
int RunConvert(const QStringList& args);

// picmap-cli things THG: the thing file as JSON on standard output.
int RunThings(const QStringList& args);

// picmap-cli info MAP / dump MAP / copy MAP OUT [--version 104|105|106]: map files.
int RunMapInfo(const QStringList& args);
int RunMapDump(const QStringList& args);
int RunMapCopy(const QStringList& args);

// picmap-cli render MAP OUT.png|OUT.svg [--width] [--area] / export MAP OUT [-f FORMAT]
// [--dissolve] [--overwrite] (verbs_output.cpp).
int RunRender(const QStringList& args);
int RunExport(const QStringList& args);

}  // namespace picmap::cli
