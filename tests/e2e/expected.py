"""What the user must see: the text catalogue in both languages and the six dialog layouts.

These tables are the checks' own copy of what the windows must show; they are compared with
what the running program shows and are deliberately not read from the resource script.
"""

# Text id -> (English, German). Python string escapes: "\r\n" is a carriage return and a
# line feed inside the text, as the message boxes break their lines.
TEXTS = {
    106: ("About Mavris function...",
          "Über Mavris-Funktion ..."),
    107: ("Info",
          "Info"),
    108: ("No supported modem found.",
          "Kein unterstütztes Modem gefunden."),
    109: ("1 supported modem found.",
          "1 unterstütztes Modem gefunden."),
    110: ("ORVA Mavris, version 1.0",
          "ORVA Mavris, Version 1.0"),
    111: ("(c) 2026 ORVA GmbH",
          "(c) 2026 ORVA GmbH"),
    113: ("Looking for connected modems.",
          "Sucht nach angeschlossenen Modems."),
    114: ("This might take a few minutes...",
          "Dies kann einige Minuten beanspruchen ..."),
    117: ("Select the modem:",
          "Wählen Sie ein Modem aus:"),
    118: (" supported modems found.",
          " unterstützte Modems gefunden."),
    119: ("http://www.orva.com",
          "http://www.orva.de"),
    120: ("Looking for modems...",
          "Sucht nach Modems ..."),
    121: ("Result of scan for modems:",
          "Ergebnis der Suche nach Modems:"),
    128: ("Autorun options",
          "Autorun-Optionen"),
    129: ("Cut connection",
          "Verbindung wird abgebrochen"),
    130: ("Stay connected",
          "Verbindung wird aufrechterhalten"),
    131: ("Run on Windows start",
          "Automatisch starten"),
    132: (" ORVA Mavris options...",
          " ORVA Mavris-Optionen ..."),
    133: ("Hide",
          "Minimieren"),
    134: ("Exit",
          "Beenden"),
    135: ("The new settings will be activated the next time                  \r\na new modem connection is made",
          "Neue Einstellungen werden beim Aufbau der                  \r\nnächsten Verbindung aktiviert"),
    136: ("Please select the modem your commands should go to",
          "Bitte wählen Sie das Modem, das Ihre Befehle empfangen soll"),
    138: ("Info",
          "Info"),
    139: ("Programm is closing...",
          "Das Programm wird geschlossen ..."),
    140: ("Configure the modem to respond to incoming calls",
          "Stellen Sie das Modem für den Empfang eingehender Anrufe ein"),
    144: ("Modem sound on/off",
          "Modemlautsprecher ein/aus"),
    145: ("Sound options on/off",
          "Lautsprecher-Optionen ein/aus"),
    146: ("Your modem is not configured for Germany\r\nthe features of this program are currently only supported in Germany\r\n\r\nORVA TERRAset can be used to change the country settings of your modem",
          "Ihr Modem ist nicht für die Nutzung in Deutschland konfiguriert\r\nDie Eigenschaften des Programms werden zur Zeit nur in Deutschland unterstützt\r\n\nMit ORVA TERRAset können Sie die Ländereinstellungen Ihres Modems ändern"),
    147: ("Registry write error",
          "Fehler beim Schreiben der Registry"),
    148: ("Could not reach telecommunications provider. \r\nLocal settings were changed",
          "Der Telekommunikationsanbieter konnte nicht erreicht werden.  \r\nLokale Einstellungen wurden geändert"),
    149: ("Modem sound on/off",
          "Lautsprecher ein/aus"),
    151: ("Check this option when you want the tool to run at windows startup",
          "Aktivieren Sie diese Option, wenn das Tool beim Hochfahren von Windows starten soll"),
    152: ("Check this option if you want the modem to have its sound on",
          "Aktivieren Sie diese Option, wenn der Modemlautsprecher eingeschaltet sein soll"),
    153: ("Additional settings",
          "Zusätzliche Einstellungen"),
    155: ("Code to send to the telecommunications provider to deactivate the feature",
          "Code für den Telekommunikationsanbieter zur Deaktivierung der Funktion"),
    157: ("Code to send to the telecommunications provider to activate the feature",
          "Code für den Telekommunikationsanbieter zur Aktivierung der Funktion"),
    158: ("Number(s) to dail for an external line",
          "Nummer(n) der Amtsholung"),
    159: ("Additional settings",
          "Zusätzliche Einstellungen"),
    160: ("External line",
          "Amtsholung"),
    161: ("Activate",
          "Aktivieren"),
    162: ("Deactivate",
          "Deaktivieren"),
    163: ("Help",
          "Help"),
    164: ("Check this option when telecommunications provider should be called",
          "Wählen Sie, wenn der Telekommunikationsanbieter angerufen werden soll"),
    165: ("Please wait for the response from the modem",
          "Warten Sie auf die Rückmeldung vom Modem"),
    166: ("Service setting by telephone",
          "Diensteinstellung über Telefon"),
    170: ("Modem port in use.",
          "Modemanschluss belegt."),
    171: ("Another program holds %s, for example a dial-up connection or a fax or answering "
          "program. Mavris could not look for a supported modem there.\r\n\r\nEnd the "
          "connection or the program, then start Mavris again.",
          "Ein anderes Programm belegt %s, zum Beispiel eine DFÜ-Verbindung oder ein Fax- oder "
          "Anrufbeantworter-Programm. Dort konnte Mavris nicht nach einem unterstützten Modem "
          "sehen.\r\n\r\nBeenden Sie die Verbindung oder das Programm und starten Sie Mavris "
          "dann erneut."),
    190: ("Windows blocks the pages of the help file because Mavris came from the Internet, and Mavris may not unblock the file in its folder.\r\n\r\nTo unblock it: in Explorer, open the folder \"help\" beside Mavris.exe, right-click Mavris.chm, choose \"Properties\", tick \"Unblock\" (or click \"Unblock\") and click \"OK\". If Windows does not let you, unblock the downloaded zip file the same way and unpack it again.",
          "Windows sperrt die Seiten der Hilfedatei, weil Mavris aus dem Internet stammt, und Mavris darf die Datei in ihrem Ordner nicht freigeben.\r\n\r\nSo geben Sie sie frei: Öffnen Sie im Explorer den Ordner \"help\" neben Mavris.exe, klicken Sie mit der rechten Maustaste auf Mavris.chm, wählen Sie \"Eigenschaften\", setzen Sie den Haken bei \"Zulassen\" (oder klicken Sie auf \"Zulassen\") und klicken Sie auf \"OK\". Lässt Windows das nicht zu, geben Sie die heruntergeladene Zip-Datei ebenso frei und entpacken Sie sie erneut."),
}

# Ids that must not exist in either language.
MISSING_TEXTS = [112, 115, 116, 122, 123, 124, 125, 126, 127, 137, 141, 142, 143, 150, 154, 156]

LANGUAGES = {
    # language run -> (LANG, column of TEXTS: 0 English, 1 German)
    "de": ("de_DE.UTF-8", 1),
    "en": ("en_US.UTF-8", 0),
    "fr": ("fr_FR.UTF-8", 0),  # no French column: the English one is shown
}
LOCALES = {lang: locale for lang, (locale, _) in LANGUAGES.items()}


def text(text_id, lang):
    return TEXTS[text_id][LANGUAGES[lang][1]]


# The tray menu 125: one popup "Tray" with (depth, kind, command id, English, German).
TRAY_MENU = [
    (1, "item", 32771, "Open", "\u00d6ffnen"),
    (1, "separator", 0, "", ""),
    (1, "popup", 0, "Selected Modem", "Ausgew\u00e4hltes Modem"),
    (2, "item", 32774, "Stay Connected", "Verbindung wird aufrechterhalten"),
    (2, "item", 32775, "Cut the Line", "Verbindung wird abgebrochen"),
    (1, "separator", 0, "", ""),
    (1, "item", 32772, "E&xit", "E&xit"),
]

# The bitmaps as shipped, in pixels: twice the strips' size at 96 dpi and wider than their
# motif, so that up to 200 % a picture is only ever reduced to its frame; a rule as tall as
# the strips it stands beside. A picture control of a bare layout shows its bitmap at this
# size; the dialogs fit every picture to its frame (checks.picture_frames).
IMAGES = {104: (376, 514), 105: (244, 334), 156: (525, 514), 163: (1, 334), 165: (1, 514),
          171: (244, 334), 175: (376, 514)}

# Control kinds: window class and a check of the style bits.
SS_TYPEMASK = 0x1F
KINDS = {
    "static": ("Static", lambda s: s & SS_TYPEMASK == 0x0),           # SS_LEFT
    "static-noprefix": ("Static", lambda s: s & SS_TYPEMASK == 0x0 and s & 0x80),  # SS_NOPREFIX
    "static-nowrap": ("Static", lambda s: s & SS_TYPEMASK == 0xC),    # SS_LEFTNOWORDWRAP
    "link": ("Static", lambda s: s & SS_TYPEMASK == 0x0),             # SS_LEFT, a tab stop
    "button": ("Button", lambda s: s & 0xF == 0x0),                   # BS_PUSHBUTTON
    "default-button": ("Button", lambda s: s & 0xF == 0x1),           # BS_DEFPUSHBUTTON
    "check": ("Button", lambda s: s & 0xF in (0x2, 0x3)),             # (AUTO)CHECKBOX
    "group": ("Button", lambda s: s & 0xF == 0x7),                    # BS_GROUPBOX
    "edit": ("Edit", lambda s: s & 0x80 and not s & 0x800),          # ES_AUTOHSCROLL
    "edit-readonly": ("Edit", lambda s: s & 0x80 and s & 0x800),     # ES_READONLY
    "dropdown": ("ComboBox",                                          # sorted drop-down list
                 lambda s: s & 0x3 == 0x3 and s & 0x100 and s & 0x200000),
    "frame": ("Static", lambda s: s & SS_TYPEMASK == 0x12),           # SS_ETCHEDFRAME
    "picture": ("Static", lambda s: s & SS_TYPEMASK == 0xE),          # SS_BITMAP
    "icon": ("Static", lambda s: s & SS_TYPEMASK == 0x3),             # SS_ICON
    "progress": ("msctls_progress32",                                 # vertical, bordered
                 lambda s: s & 0x4 and s & 0x800000),
}

WS_VISIBLE = 0x10000000
WS_CAPTION = 0x00C00000
WS_SYSMENU = 0x00080000
DS_MODALFRAME = 0x80
WS_EX_APPWINDOW = 0x40000


def _c(cid, kind, x, y, w, h, text=None, hidden=False, image=None, fits=False):
    """One control row: text is a text id, a fixed "string", or None for no caption.

    fits: the control sizes itself to its text at run time (the link); only its template
    and its position are fixed.
    """
    return {"id": cid, "kind": kind, "dlu": (x, y, w, h), "text": text, "hidden": hidden,
            "image": image, "fits": fits}


DIALOGS = {
    100: {
        "name": "about", "size": (221, 132), "title": 106, "caption": True, "visible": False,
        "appwindow": False,
        "controls": [
            _c(1016, "static-noprefix", 90, 20, 119, 8, 110),
            _c(1017, "static", 90, 36, 125, 8, 111),
            _c(1, "default-button", 134, 111, 50, 14, "OK"),
            _c(1015, "link", 90, 85, 76, 8, 119, fits=True),
            _c(-1, "frame", 75, 2, 143, 103),
            _c(-1, "picture", 2, 2, 1, 103, image=163),
            _c(-1, "picture", 4, 2, 67, 103, image=105),
            _c(-1, "picture", 72, 2, 1, 103, image=163),
        ],
        "tips": {},
        "tab_order": [1, 1015],
    },
    102: {
        "name": "main", "size": (300, 200), "title": 132, "caption": True, "visible": True,
        "appwindow": True,
        "controls": [
            _c(1008, "default-button", 173, 174, 50, 14, 133),
            _c(1019, "button", 78, 174, 50, 14, 134),
            _c(1004, "static", 135, 15, 130, 8),
            _c(1005, "static", 140, 50, 135, 10),
            _c(1003, "dropdown", 135, 25, 130, 68, hidden=True),
            _c(1018, "group", 135, 70, 130, 25, "", hidden=True),
            _c(1014, "check", 145, 80, 93, 10, 131, hidden=True),
            _c(1026, "group", 135, 100, 130, 25, ""),
            _c(1027, "check", 145, 110, 91, 10, 149),
            _c(1038, "button", 235, 130, 30, 14, "Extra"),
            _c(-1, "picture", 2, 2, 1, 103, image=165),
            _c(-1, "picture", 4, 2, 103, 158, image=104),
            _c(-1, "picture", 108, 2, 1, 103, image=165),
            _c(-1, "frame", 112, 2, 185, 158),
            _c(1039, "button", 135, 130, 30, 14, "Info"),
        ],
        "tips": {1003: 136, 1014: 151, 1027: 152, 1038: 153, 1039: 163},
    },
    103: {
        "name": "scan", "size": (302, 162), "title": 120, "caption": True, "visible": False,
        "appwindow": False,
        "controls": [
            # A German line a few pixels too wide is clipped, not wrapped into an invisible
            # second line; the longer second one has room for two lines.
            _c(1001, "static-nowrap", 165, 70, 127, 8, 113),
            _c(1002, "static", 165, 80, 127, 16, 114),
            _c(-1, "picture", 2, 2, 1, 103, image=165),
            _c(-1, "picture", 4, 2, 144, 158, image=156),
            _c(-1, "picture", 151, 2, 1, 103, image=165),
            _c(-1, "frame", 155, 2, 144, 158),
        ],
        "tips": {},
    },
    150: {
        "name": "extra", "size": (221, 132), "title": 159, "caption": True, "visible": False,
        "appwindow": False,
        "controls": [
            _c(1029, "static", 90, 20, 60, 8, 160),
            _c(1028, "edit", 165, 15, 40, 14),
            _c(1036, "static", 90, 50, 70, 8, 161),
            _c(1033, "edit-readonly", 165, 45, 40, 14, "*43#"),
            _c(1037, "static", 90, 70, 70, 8, 162),
            _c(1034, "edit-readonly", 165, 65, 40, 14, "#43#"),
            _c(1, "default-button", 135, 112, 50, 14, "Ok"),
            _c(2, "button", 39, 112, 50, 14, "Cancel"),
            _c(-1, "picture", 2, 2, 1, 103, image=163),
            _c(-1, "picture", 4, 2, 67, 103, image=171),
            _c(-1, "picture", 72, 2, 1, 103, image=163),
            _c(-1, "frame", 75, 2, 143, 103),
            _c(1040, "check", 90, 90, 115, 10, 166),
        ],
        "tips": {1028: 158, 1033: 157, 1034: 155, 1040: 164},
        # Each label right before the field it names (screen readers name a field so), and
        # the fields in the tab order they always had.
        "labels": {1029: 1028, 1036: 1033, 1037: 1034},
        "tab_order": [1028, 1033, 1034, 1, 2, 1040],
    },
    172: {
        "name": "wait", "size": (222, 47), "title": None, "caption": False, "visible": False,
        "appwindow": False,
        "controls": [
            _c(1041, "progress", 10, 10, 10, 29),
            _c(1042, "static", 25, 30, 160, 8, 165),
            _c(-1, "icon", 190, 5, 21, 20),
        ],
        "tips": {},
    },
    176: {
        "name": "info", "size": (300, 200), "title": 139, "caption": True, "visible": True,
        "appwindow": True,
        "controls": [
            _c(1044, "default-button", 173, 174, 50, 14, 134),
            _c(-1, "picture", 2, 2, 1, 103, image=165),
            _c(-1, "picture", 4, 2, 103, 158, image=175),
            _c(-1, "picture", 108, 2, 1, 103, image=165),
            _c(-1, "frame", 112, 2, 185, 158),
            _c(1043, "static", 135, 40, 155, 8, 108),
            _c(1045, "static", 135, 56, 155, 96, hidden=True),
        ],
        "tips": {},
    },
}
