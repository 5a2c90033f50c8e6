"""The help file: every page and link is there, in both languages, and it was compiled.

The page checks read the HTML sources; the compiled file is looked for where the win32 build
puts it (skipped when that build has not made it yet).
"""

import configparser
import re
import unittest

from harness import REPO, build_dir

HELP = REPO / "help"
TOPICS = ["start", "tray", "options", "extra", "messages"]

# Words a page about each topic must contain, per language: the names the user sees.
TOPIC_WORDS = {
    ("en", "tray"): ["Open", "Stay Connected", "Cut the Line", "Exit", "*43#", "#43#"],
    ("de", "tray"): ["&Ouml;ffnen", "Verbindung wird aufrechterhalten",
                     "Verbindung wird abgebrochen", "*43#", "#43#"],
    ("en", "extra"): ["External line", "*43#", "#43#", "Service setting by telephone", "comma"],
    ("de", "extra"): ["Amtsholung", "*43#", "#43#", "Diensteinstellung &uuml;ber Telefon",
                      "Komma"],
    ("en", "options"): ["Run on Windows start", "Modem sound on/off", "Extra", "Hide"],
    ("de", "options"): ["Automatisch starten", "Lautsprecher ein/aus", "Extra", "Minimieren"],
    ("en", "start"): ["Germany", "Looking for modems..."],
    ("de", "start"): ["Deutschland", "Sucht nach Modems ..."],
    ("en", "messages"): ["Registry write error", "Could not reach telecommunications provider",
                         "not configured for Germany", "No supported modem found."],
    ("de", "messages"): ["Fehler beim Schreiben der Registry",
                         "Der Telekommunikationsanbieter konnte nicht erreicht werden",
                         "nicht f&uuml;r die Nutzung in Deutschland konfiguriert",
                         "Kein unterst&uuml;tztes Modem gefunden."],
}


def project_files():
    parser = configparser.ConfigParser(allow_no_value=True, delimiters=("=",))
    parser.optionxform = str
    parser.read(HELP / "Mavris.hhp")
    return parser


class HelpSourcesTest(unittest.TestCase):
    def test_every_page_of_both_languages_is_in_the_project(self):
        listed = {name.replace("\\", "/") for name in project_files()["FILES"]}
        pages = {f"{lang}/{topic}.htm" for lang in ("en", "de") for topic in TOPICS}
        self.assertLessEqual(pages | {"index.htm", "style.css"}, listed)
        for name in listed:
            self.assertTrue((HELP / name).is_file(), name)

    def test_default_topic_and_tables_exist(self):
        options = project_files()["OPTIONS"]
        self.assertEqual(options["Compiled file"], "Mavris.chm")
        for key in ("Default topic", "Contents file", "Index file"):
            self.assertTrue((HELP / options[key]).is_file(), key)

    def test_links_lead_to_existing_pages(self):
        for page in sorted(HELP.rglob("*.htm")) + [HELP / "Mavris.hhc", HELP / "Mavris.hhk"]:
            text = page.read_text(encoding="ascii")
            targets = re.findall(r'(?:href|src)="([^"#]+)', text)
            targets += re.findall(r'name="Local" value="([^"]+)"', text)
            self.assertTrue(targets or page.suffix != ".hhc", page)
            for target in targets:
                base = HELP if page.suffix in (".hhc", ".hhk") else page.parent
                with self.subTest(page=page.name, target=target):
                    self.assertTrue((base / target).resolve().is_file())

    def test_pages_name_what_the_user_sees(self):
        for (lang, topic), words in TOPIC_WORDS.items():
            text = (HELP / lang / f"{topic}.htm").read_text(encoding="ascii")
            for word in words:
                with self.subTest(page=f"{lang}/{topic}", word=word):
                    self.assertIn(word, text)

    def test_pages_are_plain_ascii_with_entities(self):
        # The help viewer reads the pages in the system's code page; letters beyond ASCII
        # are written as entities so they come out right in any.
        for page in HELP.rglob("*.htm"):
            page.read_bytes().decode("ascii")


class ReadMeTest(unittest.TestCase):
    def test_the_read_mes_say_to_unblock_the_zip_before_unpacking_it(self):
        # Explorer copies the download's mark of the web onto every file it unpacks, and the
        # help viewer then shows blank pages.
        for name, unblock, unpack in (("README.txt", '"Unblock"', "Then unpack"),
                                      ("LIESMICH.txt", '"Zulassen"', "Dann in einen Ordner")):
            text = (REPO / "packaging" / name).read_text(encoding="utf-8")
            zip_item = text[text.index("- ", text.index("setup.exe")) + 2:]
            zip_item = zip_item[:zip_item.index("\n\n")]
            with self.subTest(read_me=name):
                self.assertIn(unblock, zip_item)
                self.assertLess(zip_item.index(unblock), zip_item.index(unpack))


class CompiledHelpTest(unittest.TestCase):
    def test_compiled_file_holds_every_page(self):
        chm = build_dir() / "help" / "Mavris.chm"
        if not chm.exists():
            self.skipTest(f"{chm} not built")
        data = chm.read_bytes()
        self.assertEqual(data[:4], b"ITSF")
        for name in ["index.htm"] + [f"{lang}/{topic}.htm" for lang in ("en", "de")
                                     for topic in TOPICS]:
            self.assertIn(("/" + name).encode(), data, name)


if __name__ == "__main__":
    unittest.main()
