#!/usr/bin/env python3
"""Compiles the translation files into the Installer's text tables.

    l10n_tables.py TEMPLATE.pot LINGUAS PO_DIR OUT.cpp OUT_IDS.h

Fails, naming the file and the text, when a language misses a text, holds one the template does
not, keeps a stale English source, is marked fuzzy, or changes a {placeholder}, and when the
template names a value no sentence carries. English is the template's msgids as they are; it is
written nowhere else. qps-ploc and qps-plocm are made from them here, so that nobody keeps them
by hand and they never lag behind. OUT_IDS.h names every text (TextId, the template's msgctxt)
and gives each text without values its constant in tw::app::text.
"""

import math
import re
import sys

PLACEHOLDER = re.compile(r"\{[a-z_]+\}")
# The values a sentence carries (app/sentence.h); a template naming another would show it raw.
VALUES = {"{host}", "{label}", "{volume}", "{size}", "{code}"}


class PoError(Exception):
    pass


def unquote(token, where):
    if not (token.startswith('"') and token.endswith('"')):
        raise PoError("%s: expected a quoted string, got %s" % (where, token))
    body = token[1:-1]
    out = []
    i = 0
    while i < len(body):
        c = body[i]
        if c == "\\":
            i += 1
            e = body[i]
            out.append({"n": "\n", "t": "\t", '"': '"', "\\": "\\"}.get(e))
            if out[-1] is None:
                raise PoError("%s: unknown escape \\%s" % (where, e))
        else:
            out.append(c)
        i += 1
    return "".join(out)


def read_po(path):
    """[(context, msgid, msgstr, flags)] in file order; the header entry is left out."""
    entries = []
    current = {}
    field = None
    pending_flags = set()  # the "#," lines above the next entry

    def close():
        nonlocal current
        if "msgid" in current:
            if current["msgid"] != "":
                if "msgctxt" not in current:
                    raise PoError("%s: %r has no msgctxt" % (path, current["msgid"]))
                entries.append((current["msgctxt"], current["msgid"], current.get("msgstr", ""),
                                current.get("flags", set())))
        current = {}

    with open(path, encoding="utf-8") as f:
        for number, raw in enumerate(f, 1):
            line = raw.strip()
            where = "%s:%d" % (path, number)
            if not line:
                continue
            if line.startswith("#,"):
                pending_flags |= {flag.strip() for flag in line[2:].split(",")}
                continue
            if line.startswith("#"):
                continue
            if line.startswith('"'):
                if field is None:
                    raise PoError("%s: a string outside any field" % where)
                current[field] += unquote(line, where)
                continue
            keyword, _, rest = line.partition(" ")
            if keyword not in ("msgctxt", "msgid", "msgstr"):
                raise PoError("%s: unknown keyword %s" % (where, keyword))
            if keyword == "msgctxt" or (keyword == "msgid" and "msgctxt" not in current):
                close()
                current["flags"] = pending_flags
                pending_flags = set()
            if keyword in current:
                raise PoError("%s: %s twice in one entry" % (where, keyword))
            current[keyword] = unquote(rest.strip(), where)
            field = keyword
    close()
    return entries


def placeholders(text):
    return sorted(PLACEHOLDER.findall(text))


def check_language(tag, path, template, entries):
    source = {context: msgid for context, msgid, _, _ in template}
    seen = {}
    for context, msgid, msgstr, flags in entries:
        where = "%s: %s" % (path, context)
        if context not in source:
            raise PoError("%s is not a text of the Installer" % where)
        if context in seen:
            raise PoError("%s is translated twice" % where)
        if msgid != source[context]:
            raise PoError("%s translates %r, but the English is now %r" % (where, msgid, source[context]))
        if "fuzzy" in flags:
            raise PoError("%s is marked fuzzy" % where)
        if not msgstr.strip():
            raise PoError("%s has no translation" % where)
        if placeholders(msgstr) != placeholders(msgid):
            raise PoError("%s has the placeholders %s where the English has %s"
                          % (where, placeholders(msgstr), placeholders(msgid)))
        seen[context] = msgstr
    missing = [context for context in source if context not in seen]
    if missing:
        raise PoError("%s misses %s" % (path, ", ".join(missing)))
    return [seen[context] for context, _, _, _ in template]


ACCENTED = dict(zip("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ",
                    "åƀçđéƒĝĥîĵķľɱñöþǫŕšţûṽŵẋýžÅƁÇĐÉƑĜĤÎĴĶĽṀÑÖÞǪŔŠŢÛṼŴẊÝŽ"))


def pseudo(text):
    """Accented, 40 % longer and bracketed; placeholders and the spaces around them kept."""
    parts = PLACEHOLDER.split(text)
    names = PLACEHOLDER.findall(text)
    out = []
    for i, part in enumerate(parts):
        out.append("".join(ACCENTED.get(c, c) for c in part))
        if i < len(names):
            out.append(names[i])
    body = "".join(out)
    # The padding counts the English without its placeholders, whose values are not translated;
    # it comes in short words so that a wrapping control can still wrap it.
    letters = sum(len(part) for part in parts)
    pad = max(1, math.ceil(letters * 0.4) - 1)
    words = []
    while pad > 0:
        n = min(pad, 4)
        words.append("!" * n)
        pad -= n + 1
    return ("[" if not body.startswith(" ") else " [") + body.lstrip(" ") + " " + " ".join(words) + "]"


def wide_literal(text):
    out = ['L"']
    for c in text:
        code = ord(c)
        if c in '"\\':
            out.append("\\" + c)
        elif 0x20 <= code < 0x7F:
            out.append(c)
        elif code <= 0xFFFF:
            out.append("\\u%04x" % code)
        else:
            out.append("\\U%08x" % code)
    out.append('"')
    return "".join(out)


def emit(out_path, template, languages):
    lines = ["// Made by cmake/l10n_tables.py from l10n/; edit the translation files, not this.",
             '#include "app/l10n_data.h"', "", "namespace tw::app::l10n {", "namespace {", ""]
    for tag, texts in languages:
        lines.append("const wchar_t* const texts_%s[] = {" % re.sub(r"\W", "_", tag))
        lines += ["    %s," % wide_literal(text) for text in texts]
        lines += ["};", ""]
    lines += ["}  // namespace", "", "const char* const text_ids[] = {"]
    lines += ['    "%s",' % context for context, _, _, _ in template]
    lines += ["};", "", "const Catalogue catalogues[] = {"]
    lines += ['    {"%s", texts_%s},' % (tag, re.sub(r"\W", "_", tag)) for tag, _ in languages]
    lines += ["};", "",
              "static_assert(sizeof text_ids / sizeof *text_ids == text_count);",
              "static_assert(sizeof catalogues / sizeof *catalogues == catalogue_count);", "",
              "}  // namespace tw::app::l10n", ""]
    with open(out_path, "w", encoding="ascii") as f:
        f.write("\n".join(lines))


def emit_ids(out_path, template, catalogue_count):
    contexts = [context for context, _, _, _ in template]
    plain = [context for context, msgid, _, _ in template if not placeholders(msgid)]
    lines = ["#pragma once", "// Made by cmake/l10n_tables.py from l10n/texts.pot; edit the template, not this.",
             "#include <cstddef>", "#include <cstdint>", "", "namespace tw::app {", "",
             "enum class TextId : std::uint16_t {"]
    lines += ["    %s," % context for context in contexts]
    lines += ["};", "", "namespace l10n {",
              "inline constexpr std::size_t text_count = %d;" % len(contexts),
              "inline constexpr std::size_t catalogue_count = %d;" % catalogue_count,
              "}  // namespace l10n", "",
              "// The texts that carry no values; app/texts.h makes the others from their values.",
              "namespace text {"]
    lines += ["inline constexpr TextId %s = TextId::%s;" % (context, context) for context in plain]
    lines += ["}  // namespace text", "", "}  // namespace tw::app", ""]
    with open(out_path, "w", encoding="ascii") as f:
        f.write("\n".join(lines))


def main(argv):
    template_path, linguas_path, po_dir, out_path, ids_path = argv[1:6]
    try:
        template = read_po(template_path)
        if not template:
            raise PoError("%s holds no text" % template_path)
        for context, msgid, _, _ in template:
            if not re.fullmatch(r"[a-z_]+", context):
                raise PoError("%s: %r is not a text name" % (template_path, context))
            unknown = sorted(set(placeholders(msgid)) - VALUES)
            if unknown:
                raise PoError("%s: %s has %s, which no sentence carries" % (template_path, context, ", ".join(unknown)))
        english = [msgid for _, msgid, _, _ in template]
        languages = [("en", english)]
        with open(linguas_path, encoding="utf-8") as f:
            tags = [w for line in f if not line.startswith("#") for w in line.split()]
        for tag in tags:
            path = "%s/%s.po" % (po_dir, tag)
            languages.append((tag, check_language(tag, path, template, read_po(path))))
        languages.append(("qps-ploc", [pseudo(text) for text in english]))
        languages.append(("qps-plocm", [pseudo(text) for text in english]))
        emit(out_path, template, languages)
        emit_ids(ids_path, template, len(languages))
    except (PoError, OSError) as e:
        print("l10n: %s" % e, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
