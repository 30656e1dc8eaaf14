"""Writes the finished translations of a Qt .ts file as a C++ table, for code without Qt
(the GDAL plugin speaks the program's language without loading Qt into its host)."""
import sys
import xml.etree.ElementTree as ET


def literal(text):
    # Octal escapes end after three digits, so a following digit never joins them.
    out = []
    for byte in text.encode("utf-8"):
        ch = chr(byte)
        if ch in '"\\':
            out.append("\\" + ch)
        elif 32 <= byte < 127 and ch != "?":  # no trigraphs either
            out.append(ch)
        else:
            out.append("\\%03o" % byte)
    return '"' + "".join(out) + '"'


def text_of(element):
    """The element's whole text: Qt writes a control character as <byte value="xd"/>."""
    parts = [element.text or ""]
    for child in element:
        if child.tag == "byte":
            value = child.get("value", "")
            parts.append(chr(int(value[1:], 16) if value.startswith("x") else int(value)))
        parts.append(child.tail or "")
    return "".join(parts)


def main(ts_file, out_file):
    rows = []
    for context in ET.parse(ts_file).getroot().iter("context"):
        name = context.findtext("name")
        for message in context.iter("message"):
            translation = message.find("translation")
            if translation is None or translation.get("type") or not text_of(translation):
                continue
            rows.append("    {%s, %s, %s}," % (literal(name), literal(text_of(message.find("source"))),
                                                literal(text_of(translation))))
    with open(out_file, "w", encoding="ascii") as out:
        out.write("// Made from %s at build time; do not edit.\n" % ts_file.rsplit("/", 1)[-1])
        out.write("\n".join(rows) + "\n")


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
