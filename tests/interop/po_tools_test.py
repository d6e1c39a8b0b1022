#!/usr/bin/env python3
"""The PO files lettermoor-cli writes, against the tools translation teams use: GNU gettext's
msgfmt, msgcat and msgmerge, the Translate Toolkit's pocount, and polib; then a team's work
in one run: two translators fill halves of one export, msgcat merges them, the import writes
exactly their texts, and check --consistency finds a text they translated two ways.

Usage: po_tools_test.py LETTERMOOR_CLI WORK_DIR. Exits 77 (skipped) when a tool is missing."""

import csv
import io
import os
import re
import shutil
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from interop import CLI, WORK, check, finish, require, run  # noqa: E402

try:
    import polib
except ImportError:
    # scripts/test installs it first: there a missing library is a fault, not a reason to skip.
    print("not installed: python3-polib (scripts/install-deps installs it)")
    sys.exit(1 if os.environ.get("LETTERMOOR_REQUIRE_PO_TOOLS") else 77)
require(("msgfmt", "msgcat", "msgmerge", "pocount"), "scripts/install-deps installs them", "LETTERMOOR_REQUIRE_PO_TOOLS")


def cli(*args, expect=0):
    return run([CLI] + list(args), expect)


def counts_from(text):
    """(translated, fuzzy, untranslated) from a line as msgfmt --statistics or our report says it."""
    def one(pattern):
        m = re.search(r"(\d+) " + pattern, text)
        return int(m.group(1)) if m else 0
    return (one("translated message"), one("fuzzy translation"), one("untranslated message"))


def msgfmt_counts(path):
    r = run(["msgfmt", "--check", "--statistics", "-o", os.devnull, path])
    return counts_from(r.stderr)


def pocount_counts(path):
    r = run(["pocount", "--csv", path])
    rows = list(csv.reader(io.StringIO(r.stdout)))
    head, row = rows[0], rows[1]
    def col(name):
        return int(row[[h.strip() for h in head].index(name)])
    return (col("Translated Messages"), col("Fuzzy Messages"), col("Untranslated Messages"))


def script_texts(rom):
    """Each text address's text, from the script file export (the other format)."""
    cli("export", rom, "-o", "texts.txt")
    texts, address = {}, None
    for line in open(os.path.join(WORK, "texts.txt"), encoding="utf-8").read().split("\n"):
        if line.startswith("@ $"):
            address = "$" + line[3:].split(" ")[0]
        elif address and line and not line.startswith("#"):
            texts[address] = line
            address = None
    return texts


def outside_codes(text, change):
    out, depth = [], 0
    for c in text:
        depth += c == "["
        out.append(change(c) if depth == 0 else c)
        depth -= c == "]" and depth > 0
    return "".join(out)


def swapped(text):
    """A "translation" that keeps every code and the length: letters outside brackets swap case."""
    return outside_codes(text, str.swapcase)


def longer(text):
    """A translation a few words longer, with a quoted word, before its last code; a text without
    the end code there (which could not move) is swapped instead."""
    if not text.endswith("02]"):
        return swapped(text)
    at = text.rfind("[")
    return text[:at] + ' say "Ja" again' + text[at:]


def entries_of(path):
    return [e for e in polib.pofile(os.path.join(WORK, path)) if not e.obsolete]


os.makedirs(WORK, exist_ok=True)
for name in os.listdir(WORK):
    os.remove(os.path.join(WORK, name))
cli("make-sample", "orig.smc")
cli("make-sample", "--expanded", "rom.smc")
shutil.copy(os.path.join(WORK, "rom.smc"), os.path.join(WORK, "clean.smc"))

# --- Every file we write: msgfmt accepts it and counts as we do; pocount agrees; polib reads
# every context, id and string exactly (against the script export of the same texts).
r = cli("export", "rom.smc", "--original", "orig.smc", "-o", "team.po")
ours = counts_from(r.stderr)
check(msgfmt_counts("team.po") == ours, "msgfmt counts the fresh export as we do: %s" % (ours,))
check(pocount_counts("team.po") == ours, "pocount counts the fresh export as we do")
r = cli("export", "orig.smc", "--format", "po", "-o", "plain.po")
check(msgfmt_counts("plain.po") == counts_from(r.stderr), "msgfmt counts an export without an original as we do")
plain = script_texts("orig.smc")
entries = entries_of("plain.po")
check(len(entries) == len(plain), "one entry per text address: %d, %d" % (len(entries), len(plain)))
check(all(e.msgid == plain.get(e.msgctxt) and e.msgstr == "" for e in entries),
      "polib reads each msgctxt and msgid of an export without an original exactly")

# --- The team: two translators fill halves of team.po with polib (which writes its own way).
team = entries_of("team.po")
half = len(team) // 2
by_id = {}
for i, e in enumerate(team):
    by_id.setdefault(e.msgid, []).append(i)
# A text held twice is translated two ways on purpose, one copy by each translator.
twice = next(ids for ids in by_id.values() if len(ids) > 1 and any(c.isalpha() for c in team[ids[0]].msgid))
wanted = {}
for translator, part in (("a", range(0, half, 3)), ("b", range(half, len(team), 3))):
    po = polib.pofile(os.path.join(WORK, "team.po"))
    live = [e for e in po if not e.obsolete]
    for i in [i for i in part if i not in twice]:
        text = swapped(live[i].msgid) if translator == "a" else longer(live[i].msgid)
        if text == live[i].msgid:
            continue  # no letters to translate
        live[i].msgstr = text
        wanted[live[i].msgctxt] = text
    if translator == "b":
        e = live[twice[-1]]
        e.msgstr = wanted[e.msgctxt] = outside_codes(e.msgid, str.upper)
    if translator == "a":
        live[twice[0]].msgstr = wanted[live[twice[0]].msgctxt] = outside_codes(live[twice[0]].msgid, str.lower)
        live[1].flags.append("fuzzy")  # not sure of it yet: not imported
        wanted.pop(live[1].msgctxt, None)
        live[1].msgstr = "Maybe[02]"
    po.save(os.path.join(WORK, translator + ".po"))
# --use-first: an entry one translator left empty takes the other's translation, as a team
# merging halves wants (without it msgcat writes both versions into one fuzzy entry).
run(["msgcat", "--use-first", "-o", "merged.po", "a.po", "b.po"])
check(not any("#-#-#-#-#" in e.msgstr for e in entries_of("merged.po")), "msgcat merged the halves without conflicts")

# The import reports the counts msgfmt and pocount give for the merged file, and writes exactly
# the translators' texts.
counted = msgfmt_counts("merged.po")
check(pocount_counts("merged.po") == counted, "pocount counts the merged file as msgfmt does")
r = cli("import", "rom.smc", "merged.po", "--original", "orig.smc")
check(counts_from(r.stdout.splitlines()[0]) == counted, "our import counts the merged file as msgfmt: %s, %s" %
      (r.stdout.splitlines()[0], counted))
check("Not imported: 1 fuzzy" in r.stdout, "the fuzzy entry was not imported")
r = cli("export", "rom.smc", "--original", "orig.smc", "-o", "after.po")
after = {e.msgctxt: e.msgstr for e in entries_of("after.po")}
check({k: v for k, v in after.items() if v} == wanted, "the import wrote exactly the translated texts")
check(counts_from(r.stderr)[0] == len(wanted), "the export counts the translated texts")
check(msgfmt_counts("after.po") == counts_from(r.stderr), "msgfmt counts the translated export as we do")
check(pocount_counts("after.po") == counts_from(r.stderr), "pocount counts the translated export as we do")
r = cli("import", "rom.smc", "after.po", "--original", "orig.smc")
check("0 changed" in r.stdout, "importing the export of the result again writes nothing")

# msgmerge of the translations into a fresh template, and msgcat of the result, import into the
# clean ROM without loss: the same bytes as the translated ROM.
r = cli("export", "clean.smc", "--original", "orig.smc", "-o", "fresh.pot")
check(msgfmt_counts("fresh.pot") == counts_from(r.stderr), "msgfmt counts the fresh template as we do")
run(["msgmerge", "--quiet", "-o", "msgmerged.po", "after.po", "fresh.pot"])
run(["msgcat", "--width=40", "-o", "msgcatted.po", "msgmerged.po"])
translated_rom = open(os.path.join(WORK, "rom.smc"), "rb").read()
for name in ("msgmerged.po", "msgcatted.po"):
    cli("import", "clean.smc", name, "--original", "orig.smc", "-o", "out.smc")
    check(open(os.path.join(WORK, "out.smc"), "rb").read() == translated_rom, name + " imports without loss")
    msgfmt_counts(name)

# --- The consistency check finds the text translated two ways, with the lines of each.
r = cli("check", "rom.smc", "--original", "orig.smc", "--consistency", expect=1)
heading = "Translated 2 ways: " + team[twice[0]].msgid
check(heading in r.stdout.splitlines(), "check --consistency reports the text translated two ways")

finish("all PO interop checks passed")
