#!/usr/bin/env bash
# Every text the window shows has its English translation: lupdate, run over the sources as
# the build runs it, finds no text that the translation file lacks or leaves unfinished (a
# text added without its translation would show in Japanese in the English window).
# Usage: translations_complete.sh LUPDATE TS_FILE LUPDATE_ARGUMENTS...
set -u
lupdate="$1"
ts="$2"
shift 2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$ts" "$work/check.ts"
"$lupdate" "$@" -ts "$work/check.ts" >"$work/log" 2>&1 || { cat "$work/log"; exit 1; }
python3 - "$work/check.ts" <<'PY'
import sys, xml.etree.ElementTree as ET
missing = []
for context in ET.parse(sys.argv[1]).getroot().iter("context"):
    for m in context.iter("message"):
        t = m.find("translation")
        if t.get("type") == "unfinished" or not (t.text or "").strip():
            missing.append(f'{context.findtext("name")}: {m.findtext("source")}')
for line in missing:
    print("no English translation:", line)
print(f"{len(missing)} text(s) without an English translation")
sys.exit(1 if missing else 0)
PY
