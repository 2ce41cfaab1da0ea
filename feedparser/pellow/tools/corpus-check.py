#!/usr/bin/env python3
# corpus-check.py PELLOW_DUMP TESTDATA [-v]: reads a public corpus of feed
# fixtures (each X.xml with its expectation X.json, in the layout of the
# testdata folder of Debian's golang-github-mmcdole-gofeed-dev) through
# pellow-dump and compares what the parser gives with each expectation, field
# by field. A feed passes when every expectation that one of this program's
# fields can hold is met; an expectation no field holds (contributors, link
# types, ...) or one that keeps markup where the field holds plain text (a
# title written with <p>) is counted apart, and listed, with -v, per feed.
import json, subprocess, sys, os, glob, re, datetime, email.utils, html

DUMP = sys.argv[1]
ROOT = sys.argv[2]
VERBOSE = "-v" in sys.argv[3:]

NOFIT = "nofit"

def when(text):
    if not text:
        return None
    text = text.strip()
    try:
        d = email.utils.parsedate_to_datetime(text)
        if d.tzinfo is None:
            d = d.replace(tzinfo=datetime.timezone.utc)
        return d.timestamp()
    except Exception:
        pass
    try:
        t = text.replace("Z", "+00:00")
        d = datetime.datetime.fromisoformat(t)
        if d.tzinfo is None:
            d = d.replace(tzinfo=datetime.timezone.utc)
        return d.timestamp()
    except Exception:
        return None

def first(seq):
    return seq[0] if isinstance(seq, list) and seq else None

# Each expectation: (key path, expected, our value or NOFIT, kind)
def expectations(kind, exp, ch, items):
    out = []
    item0 = items[0] if items else {}
    def add(path, expected, ours, how="eq"):
        out.append((path, expected, ours, how))
    # An Atom link: the alternate one's address is the link; the rest has no field.
    def atom_link(path, link, ours):
        alternate = link.get("rel", "alternate") == "alternate"
        if link.get("href") and alternate: add(path + ".href", link["href"], ours)
        for k in link:
            if k not in ("href", "rel"): add(path + "." + k, link[k], NOFIT)
        if not alternate: add(path + ".rel", link["rel"], NOFIT)
    # An Atom person: the name is the field; the rest has none.
    def atom_person(path, person, ours):
        if "name" in person: add(path + ".name", person["name"], ours)
        for k in person:
            if k != "name": add(path + "." + k, person[k], NOFIT)
    if kind == "parser/rss":
        simple = ["title", "link", "description", "language", "copyright", "managingEditor", "webMaster",
                  "generator", "docs", "ttl", "rating"]
        for k in simple:
            if k in exp: add(k, exp[k], ch.get(k, ""))
        for k in ["pubDate", "lastBuildDate"]:
            if k in exp: add(k, exp[k], ch.get(k, ""), "date")
        if "categories" in exp:
            c = first(exp["categories"])
            if c.get("value"): add("categories.value", c["value"], ch.get("category", ""))
            if c.get("domain"): add("categories.domain", c["domain"], ch.get("category_domain", ""))
        if "cloud" in exp:
            add("cloud.domain", exp["cloud"].get("domain", ""), ch.get("cloud", ""))
            for k in exp["cloud"]:
                if k != "domain": add("cloud." + k, exp["cloud"][k], NOFIT)
        for k, v in exp.get("image", {}).items():
            add("image." + k, v, ch.get("image_" + k, "") if k != "description" else NOFIT)
        for k, v in exp.get("textInput", {}).items():
            add("textInput." + k, v, ch.get("textInput_" + k, ""))
        for k in ["skipHours", "skipDays"]:
            if k in exp: add(k, " ".join(exp[k]), NOFIT)
        if "items" in exp and exp["items"]:
            e = exp["items"][0]
            for k in ["title", "link", "author", "comments"]:
                if k in e: add("item." + k, e[k], item0.get(k, ""))
            if "description" in e: add("item.description", e["description"], item0.get("original_description", ""))
            if "pubDate" in e: add("item.pubDate", e["pubDate"], item0.get("pubDate", ""), "date")
            if "categories" in e:
                c = first(e["categories"])
                if c.get("value"): add("item.categories.value", c["value"], item0.get("category", ""))
                if c.get("domain"): add("item.categories.domain", c["domain"], item0.get("category_domain", ""))
            for k, v in e.get("enclosure", {}).items():
                add("item.enclosure." + k, v, item0.get("enclosure_" + k, ""))
            if "guid" in e: add("item.guid", e["guid"].get("value", ""), item0.get("guid", ""))
            if "source" in e:
                if "title" in e["source"]: add("item.source.title", e["source"]["title"], item0.get("source", ""))
                if "url" in e["source"]: add("item.source.url", e["source"]["url"], item0.get("source_url", ""))
            if "custom" in e:
                for k, v in e["custom"].items(): add("item.custom." + k, v, NOFIT)
            if "links" in e: add("item.links", first(e["links"]), item0.get("link", ""))
    elif kind == "parser/atom":
        for k, ours in [("title", "title"), ("subtitle", "description"), ("rights", "copyright"), ("language", "language")]:
            if k in exp: add(k, exp[k], ch.get(ours, ""))
        if "updated" in exp: add("updated", exp["updated"], ch.get("lastBuildDate", ""), "date")
        if "generator" in exp:
            g = exp["generator"]
            if "value" in g: add("generator.value", g["value"], ch.get("generator", ""))
            for k in g:
                if k != "value": add("generator." + k, g[k], NOFIT)
        for k in ["logo", "icon"]:
            if k in exp: add(k, exp[k], ch.get("image_url", "") if k == "logo" or "logo" not in exp else NOFIT)
        if "id" in exp: add("id", exp["id"], NOFIT)
        if "links" in exp: atom_link("links", first(exp["links"]), ch.get("link", ""))
        if "authors" in exp: atom_person("authors", first(exp["authors"]), ch.get("managingEditor", ""))
        if "contributors" in exp: add("contributors", exp["contributors"], NOFIT)
        if "entries" in exp and exp["entries"]:
            e = exp["entries"][0]
            if "title" in e: add("entry.title", e["title"], item0.get("title", ""))
            if "summary" in e: add("entry.summary", e["summary"], item0.get("original_description", ""))
            if "content" in e:
                c = e["content"]
                if "value" in c:
                    ours = item0.get("original_description", "") if "summary" not in e else NOFIT
                    add("entry.content", c["value"], ours)
                if "src" in c: add("entry.content.src", c["src"], NOFIT)
            if "id" in e: add("entry.id", e["id"], item0.get("guid", ""))
            if "published" in e: add("entry.published", e["published"], item0.get("pubDate", ""), "date")
            if "updated" in e:
                add("entry.updated", e["updated"], item0.get("pubDate", "") if "published" not in e else NOFIT, "date")
            if "rights" in e: add("entry.rights", e["rights"], NOFIT)
            if "links" in e: atom_link("entry.links", first(e["links"]), item0.get("link", ""))
            if "authors" in e: atom_person("entry.authors", first(e["authors"]), item0.get("author", ""))
            if "contributors" in e: add("entry.contributors", e["contributors"], NOFIT)
            if "categories" in e:
                c = first(e["categories"])
                if "term" in c: add("entry.categories.term", c["term"], item0.get("category", ""))
                if "scheme" in c: add("entry.categories.scheme", c["scheme"], item0.get("category_domain", ""))
                if "label" in c: add("entry.categories.label", c["label"], NOFIT)
            if "source" in e:
                s = e["source"]
                if "title" in s: add("entry.source.title", s["title"], item0.get("source", ""))
                for k in s:
                    if k != "title": add("entry.source." + k, s[k], NOFIT)
    elif kind.startswith("translator") or kind.startswith("extensions"):
        for k, ours in [("title", "title"), ("description", "description"), ("language", "language"),
                        ("copyright", "copyright"), ("generator", "generator"), ("link", "link")]:
            if k in exp: add(k, exp[k], ch.get(ours, ""))
        if "image" in exp:
            for k, v in exp["image"].items(): add("image." + k, v, ch.get("image_" + k, ""))
        if "published" in exp: add("published", exp["published"], ch.get("pubDate", ""), "date")
        if "updated" in exp: add("updated", exp["updated"], ch.get("lastBuildDate", ""), "date")
        if "author" in exp:
            for k, v in exp["author"].items():
                add("author." + k, v, ch.get("managingEditor", "") or ch.get("webMaster", ""), "in")
        if "categories" in exp: add("categories", first(exp["categories"]), ch.get("category", ""))
        if "feedLink" in exp: add("feedLink", exp["feedLink"], NOFIT)
        if "items" in exp and exp["items"]:
            e = exp["items"][0]
            for k, ours in [("title", "title"), ("link", "link"), ("guid", "guid")]:
                if k in e: add("item." + k, e[k], item0.get(ours, ""))
            if "description" in e: add("item.description", e["description"], item0.get("original_description", ""))
            if "content" in e: add("item.content", e["content"], item0.get("original_description", "") if "description" not in e else NOFIT)
            if "published" in e: add("item.published", e["published"], item0.get("pubDate", ""), "date")
            if "updated" in e: add("item.updated", e["updated"], item0.get("pubDate", "") if "published" not in e else NOFIT, "date")
            if "author" in e:
                for k, v in e["author"].items(): add("item.author." + k, v, item0.get("author", ""), "in")
            if "categories" in e: add("item.categories", first(e["categories"]), item0.get("category", ""))
            if "enclosures" in e:
                for k, v in first(e["enclosures"]).items(): add("item.enclosure." + k, v, item0.get("enclosure_" + k, ""))
            if "custom" in e:
                for k, v in e["custom"].items(): add("item.custom." + k, v, NOFIT)
            if "itunesExt" in e:
                for k, v in e["itunesExt"].items(): add("item.itunes." + k, v, item0.get("original_description", "") if k == "summary" else NOFIT)
    return out

MARKUP_FIELDS = ("item.description", "entry.summary", "entry.content", "item.content", "item.itunes.summary")

def strip_tags(text):
    return re.sub(r"\s+", " ", re.sub(r"<[^>]*>", "", text)).strip()

# A plain-text field holds the text of markup an expectation keeps as markup.
def same_text(path, expected, ours):
    if path in MARKUP_FIELDS or ours is NOFIT or not isinstance(expected, str):
        return False
    ours = ours.strip()
    return ours in (strip_tags(expected), html.unescape(expected).strip(), strip_tags(html.unescape(expected)))

def matches(expected, ours, how):
    if how == "date":
        a, b = when(expected), when(ours)
        return a is not None and a == b or expected.strip() == ours.strip()
    expected = str(expected).strip()
    if how == "in":
        return expected in ours
    return expected == ours.strip()

def main():
    pairs = []
    for kind in ["parser/rss", "parser/atom", "translator/rss", "translator/atom", "extensions/itunes"]:
        for x in sorted(glob.glob(os.path.join(ROOT, kind, "*.xml"))):
            j = x[:-4] + ".json"
            if os.path.exists(j):
                pairs.append((kind, x, j))
    out = subprocess.run([DUMP] + [p[1] for p in pairs], capture_output=True, text=True,
                         env=dict(os.environ, ASAN_OPTIONS="detect_leaks=0")).stdout
    dumped = {}
    for line in out.splitlines():
        try:
            d = json.loads(line)
            dumped[d["file"]] = d
        except Exception:
            pass
    counts = {"pass": 0, "fail": 0, "nofit": 0, "refused": 0}
    nofit_keys = {}
    for kind, x, j in pairs:
        exp = json.load(open(j))
        d = dumped.get(x, {})
        name = os.path.relpath(x, ROOT)
        if d.get("result") != "0x00000000":
            counts["refused"] += 1
            counts["fail"] += 1
            if VERBOSE: print("REFUSED", name, d.get("result"))
            continue
        checks = expectations(kind, exp, d.get("channel", {}), d.get("items", []))
        bad = [c for c in checks if c[2] is not NOFIT and not matches(c[1], c[2], c[3]) and not same_text(*c[:3])]
        unfit = [c for c in checks if c[2] is NOFIT or (not matches(c[1], c[2], c[3]) and same_text(*c[:3]))]
        if bad:
            counts["fail"] += 1
            if VERBOSE:
                for c in bad: print("FAIL", name, c[0], repr(c[1]), "got", repr(c[2]))
        elif unfit:
            counts["nofit"] += 1
            for c in unfit:
                key = c[0] + (" (markup as text)" if c[2] is not NOFIT else "")
                nofit_keys[key] = nofit_keys.get(key, 0) + 1
            if VERBOSE: print("NOFIT", name, [c[0] for c in unfit])
        else:
            counts["pass"] += 1
    total = len(pairs)
    print("feeds", total, counts)
    print("pass (all expectations our fields hold met): %d / %d = %.1f%%" % (counts["pass"] + counts["nofit"], total,
          100.0 * (counts["pass"] + counts["nofit"]) / total))
    print("expectations without a field here:", sorted(nofit_keys.items(), key=lambda kv: -kv[1]))

main()
