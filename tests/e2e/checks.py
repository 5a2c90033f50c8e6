"""Comparisons of an inspected dialog (ui-inspect dump) with the expected layouts and texts."""

import expected


def control_label(dialog_id, row, index):
    return f"dialog {dialog_id}, control #{index} (id {row['id']}, {row['kind']})"


def check_frame(tc, dump, dialog_id):
    """Window styles and client size of a dialog."""
    layout = expected.DIALOGS[dialog_id]
    style = int(dump["style"], 16)
    exstyle = int(dump["exstyle"], 16)
    tc.assertEqual(dump["class"], "#32770", f"dialog {dialog_id} class")
    tc.assertEqual(tuple(dump["client_dlu"][2:]), layout["size"], f"dialog {dialog_id} size")
    tc.assertEqual(bool(style & expected.WS_CAPTION == expected.WS_CAPTION), layout["caption"],
                   f"dialog {dialog_id} caption")
    tc.assertEqual(bool(style & expected.WS_SYSMENU), layout["caption"],
                   f"dialog {dialog_id} system menu")
    tc.assertTrue(style & expected.DS_MODALFRAME, f"dialog {dialog_id} modal frame")
    tc.assertEqual(bool(exstyle & expected.WS_EX_APPWINDOW), layout["appwindow"],
                   f"dialog {dialog_id} own taskbar button")


def muldiv(a, b, c):
    """Windows' MulDiv for numbers that are not negative: a * b / c, halves rounded up."""
    return (2 * a * b + c) // (2 * c)


def picture_frames(layout, base_units, dpi):
    """Where the dialogs put each picture of a layout, in pixels (x, y, width, height), by
    the index of its row: a strip fills its rectangle of the layout, mapped as the dialog
    manager maps a control's; a rule keeps its own left edge, takes the top and height of the
    strip it stands beside and is one pixel wide at 96 dpi, proportionally wider above.
    Returns (frames, the strip's frame)."""
    bx, by = base_units

    def mapped(row):
        x, y, w, h = row["dlu"]
        return (muldiv(x, bx, 4), muldiv(y, by, 8), muldiv(w, bx, 4), muldiv(h, by, 8))

    rows = [(i, row) for i, row in enumerate(layout["controls"]) if row["kind"] == "picture"]
    strips = [mapped(row) for _, row in rows if row["dlu"][2] > 1]
    strip = max(strips, key=lambda f: f[3]) if strips else None
    rule_width = max(1, muldiv(1, dpi, 96))
    frames = {}
    for i, row in rows:
        x, y, w, h = mapped(row)
        frames[i] = (x, y, w, h) if row["dlu"][2] > 1 else (x, strip[1], rule_width, strip[3])
    return frames, strip


def check_layout(tc, dump, dialog_id, template_visibility=True, fitted=True, dpi=96):
    """Order (= tab order), ids, kinds, positions and sizes of every control.

    template_visibility: the controls' visibility is still that of the template (nothing
    has shown or hidden one yet). fitted: the pictures were fitted to their frames, as the
    dialogs do (picture_frames, for a display of dpi); otherwise they show their bitmaps at
    the bitmaps' own size at the layout's places, as a bare layout does. Fitted, the etched
    frame runs level with the picture strip.
    """
    layout = expected.DIALOGS[dialog_id]
    check_frame(tc, dump, dialog_id)
    controls = dump["controls"]
    frames, strip = picture_frames(layout, dump["base_units"], dpi) if fitted else ({}, None)
    tc.assertEqual([c["id"] for c in controls], [r["id"] for r in layout["controls"]],
                   f"dialog {dialog_id}: control ids in template order")
    for index, (row, got) in enumerate(zip(layout["controls"], controls)):
        label = control_label(dialog_id, row, index)
        # The style bits are checked on the template: at run time controls change some of
        # theirs (a combo box hands its scroll bar to its list, a progress bar turns its
        # border into an edge, the default button moves with the focus).
        cls, _ = expected.KINDS[row["kind"]]
        tc.assertEqual(got["class"].lower(), cls.lower(), f"{label}: class")
        if template_visibility:
            tc.assertEqual(got["visible"], not row["hidden"], f"{label}: visible at start")
        x, y, w, h = row["dlu"]
        if row["kind"] == "picture" and fitted:
            tc.assertEqual(tuple(got["px"]), frames[index], f"{label}: fills its frame")
        elif row["kind"] == "picture":
            # A bare picture takes its bitmap's pixel size; its position is in dialog units.
            tc.assertEqual(tuple(got["px"][2:]), expected.IMAGES[row["image"]],
                           f"{label}: image size in pixels")
            tc.assertEqual(tuple(got["dlu"][:2]), (x, y), f"{label}: position")
        elif row["kind"] == "icon" or row["fits"]:
            tc.assertEqual(tuple(got["dlu"][:2]), (x, y), f"{label}: position")
        elif row["kind"] == "dropdown":
            # The closed box has the font's height; the template height is the open list's.
            tc.assertEqual(tuple(got["dlu"][:3]), (x, y, w), f"{label}: position and width")
            tc.assertTrue(got["dlu_exact"] or got["dlu"][3] > 0, label)
            dropped = got.get("dropped")
            tc.assertIsNotNone(dropped, f"{label}: list rectangle")
            tc.assertGreater(dropped["dlu"][3], got["dlu"][3] + 20,
                             f"{label}: the opened list is taller than the closed box")
            tc.assertLessEqual(dropped["dlu"][3], h, f"{label}: opened list height")
        else:
            tc.assertEqual(tuple(got["dlu"]), (x, y, w, h), f"{label}: position and size")
            tc.assertTrue(got["dlu_exact"], f"{label}: pixels {got['px']} are whole dialog units")
        if row["kind"] == "frame" and strip is not None:
            tc.assertEqual((got["px"][1], got["px"][3]), (strip[1], strip[3]),
                           f"{label}: level with the picture strip")
    check_keyboard_order(tc, dialog_id, [(c["id"], int(c["style"], 16)) for c in controls])


def check_texts(tc, dump, dialog_id, lang, skip=()):
    """The title and every control caption in the language of the run."""
    layout = expected.DIALOGS[dialog_id]
    if layout["title"] is not None:
        tc.assertEqual(dump["title"], expected.text(layout["title"], lang),
                       f"dialog {dialog_id} title ({lang})")
    for index, (row, got) in enumerate(zip(layout["controls"], dump["controls"])):
        if row["text"] is None or row["id"] in skip:
            continue
        want = row["text"] if isinstance(row["text"], str) else expected.text(row["text"], lang)
        tc.assertEqual(got["text"], want, f"{control_label(dialog_id, row, index)}: text ({lang})")


WS_TABSTOP = 0x10000
FOCUSABLE = {"button", "default-button", "check", "edit", "edit-readonly", "dropdown", "link"}


def check_keyboard_order(tc, dialog_id, controls):
    """Labels right before the fields they name, and the tab stops in the expected order.

    controls: (id, style) of every control in template (z) order.
    """
    layout = expected.DIALOGS[dialog_id]
    ids = [cid for cid, _ in controls]
    for label, field in layout.get("labels", {}).items():
        tc.assertEqual(ids.index(label) + 1, ids.index(field),
                       f"dialog {dialog_id}: label {label} right before field {field}")
    if "tab_order" in layout:
        tc.assertEqual([cid for cid, style in controls if style & WS_TABSTOP],
                       layout["tab_order"], f"dialog {dialog_id}: tab order")


def check_template(tc, dialog_id, header, items):
    """The dialog template as stored: font, styles, and every item exactly as laid out.

    header: (style, exstyle, (x, y, cx, cy), points, face); items: (id, class, style,
    exstyle, (x, y, cx, cy), text) in template order.
    """
    layout = expected.DIALOGS[dialog_id]
    style, exstyle, box, points, face = header
    tc.assertEqual((points, face), (8, "MS Sans Serif"), f"dialog {dialog_id} font")
    tc.assertEqual(box[2:], layout["size"], f"dialog {dialog_id} size")
    tc.assertTrue(style & 0x80000000, f"dialog {dialog_id} is a popup")
    tc.assertTrue(style & expected.DS_MODALFRAME, f"dialog {dialog_id} modal frame")
    tc.assertEqual(style & expected.WS_CAPTION == expected.WS_CAPTION, layout["caption"],
                   f"dialog {dialog_id} caption")
    tc.assertEqual(bool(style & expected.WS_SYSMENU), layout["caption"],
                   f"dialog {dialog_id} system menu")
    tc.assertEqual(bool(style & expected.WS_VISIBLE), layout["visible"],
                   f"dialog {dialog_id} visible")
    tc.assertEqual(bool(exstyle & expected.WS_EX_APPWINDOW), layout["appwindow"],
                   f"dialog {dialog_id} own taskbar button")
    tc.assertEqual([item[0] for item in items], [r["id"] for r in layout["controls"]],
                   f"dialog {dialog_id}: control ids in template (tab) order")
    check_keyboard_order(tc, dialog_id, [(item[0], item[2]) for item in items])
    for index, (row, item) in enumerate(zip(layout["controls"], items)):
        cid, cls, cstyle, _, rect, text = item
        label = control_label(dialog_id, row, index)
        want_cls, style_ok = expected.KINDS[row["kind"]]
        tc.assertEqual(cls.lower(), want_cls.lower(), f"{label}: class")
        tc.assertTrue(style_ok(cstyle), f"{label}: style {cstyle:#x}")
        tc.assertEqual(rect, row["dlu"], f"{label}: position and size")
        tc.assertEqual(not cstyle & expected.WS_VISIBLE, row["hidden"], f"{label}: hidden")
        tc.assertEqual(bool(cstyle & WS_TABSTOP), row["kind"] in FOCUSABLE,
                       f"{label}: tab stop")
        if row["kind"] == "picture":
            tc.assertEqual(text, f"#{row['image']}", f"{label}: image")
        elif row["kind"] == "icon":
            tc.assertEqual(text, "#140", f"{label}: icon")
        elif row["kind"] in ("button", "default-button") and isinstance(row["text"], str):
            # Fixed labels ("OK", "Ok", "Cancel", "Extra", "Info") stay as the template has them.
            tc.assertEqual(text, row["text"], f"{label}: fixed label")


def check_tips(tc, dump, dialog_id, lang):
    """The control tips: the tools, their flags and owner, and the text they show."""
    layout = expected.DIALOGS[dialog_id]
    tips = dump["tooltips"]
    by_control = {tip["control_id"]: tip for tip in tips}
    tc.assertEqual(sorted(by_control), sorted(layout["tips"]), f"dialog {dialog_id}: tools")
    tc.assertEqual(len(tips), len(layout["tips"]), f"dialog {dialog_id}: one tool per control")
    for control, text_id in layout["tips"].items():
        tip = by_control[control]
        label = f"dialog {dialog_id}, tip of control {control}"
        # TTF_IDISHWND | TTF_SUBCLASS, nothing else.
        tc.assertEqual(int(tip["flags"], 16), 0x11, f"{label}: flags")
        tc.assertEqual(tip["hwnd"], dump["hwnd"], f"{label}: owner is the dialog")
        tc.assertEqual(tip["text_id"], text_id, f"{label}: text id")
        tc.assertEqual(tip["text"], expected.text(text_id, lang), f"{label}: text ({lang})")
        # No TTS_ALWAYSTIP: tips show only while the dialog is the active window.
        tc.assertEqual(int(tip["tooltip_style"], 16) & 0x1, 0, f"{label}: tip window style")


def window_rect(dump):
    return tuple(dump["window_px"])
