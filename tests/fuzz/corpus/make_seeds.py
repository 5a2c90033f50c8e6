#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets: real reply framings, registry values and
outside-line prefixes in the input layout that each target's header comment describes.
Run it from anywhere; it rewrites the seed files next to it and leaves other files alone."""
import pathlib

HERE = pathlib.Path(__file__).resolve().parent
CRLF = b"\r\n"


def reply(echo, *lines, doubled=False):
    """A modem's answer: the echo (or none), then each line framed by CR LF."""
    end = CRLF * 2 if doubled else CRLF
    return (echo or b"") + b"".join(end + line + end for line in lines)


REPLIES = {
    "maker_echo_on": reply(b"at+gmi?\r", b"+GMI: ORVA", b"OK"),
    "maker_echo_off": reply(None, b"+GMI: ORVA", b"OK"),
    "maker_lower_case": reply(b"at+gmi?\r", b"+GMI: orva", b"OK"),
    "model_quoted": reply(b"at+gmm?\r", b'+GMM: "ORVA 56k V.92"', b"OK"),
    "model_bare": reply(b"at+gmm?\r", b"+GMM: ORVA 56k V.92", b"OK"),
    "model_quote_at_start": reply(b"at+gmm?\r", b'+GMM: "ORVA 56k', b"OK"),
    "model_lone_quote": reply(b"at+gmm?\r", b'+GMM: "', b"OK"),
    "value_on_next_line": b"at+gmm?\r\r\n+GMM:   \r\nORVA 56k\r\n\r\nOK\r\n",
    "country_doubled_crlf": reply(b"at+gci?\r", b"+GCI: 04", b"OK", doubled=True),
    "country_42": reply(b"at+gci?\r", b"+GCI: 42", b"OK"),
    "country_4": reply(None, b"+GCI: 4", b"OK"),
    "country_abroad": reply(b"at+gci?\r", b"+GCI: 3D", b"OK"),
    "country_list": reply(b"at+gci?\r", b"+GCI: (04,3D,B5)", b"OK"),
    "country_lf_only": b"at+gci?\r\n+GCI: 04\n\nOK\n",
    "pcw_echo_on": reply(b"at+pcw?\r", b"+PCW: 0", b"OK"),
    "pcw_ok_first": reply(None, b"OK"),
    "pcw_error": reply(b"at+pcw?\r", b"ERROR"),
    "cut_mid_line": b"at+gmi?\r\r\n+GM",
    "second_burst_of_a_cut_reply": b"I: ORVA\r\n\r\nOK\r\n",
    "trailing_garbage": reply(b"at+gci?\r", b"+GCI: 04", b"OK") + b"\x00\xff\x1b[2J~+GCI:99\r",
    "reset_reply_left_over": b"OK\r\nat+gmi?\r\r\n+GMI: ORVA\r\n\r\nOK\r\n",
    "no_colon": reply(b"at+gmi?\r", b"ERROR"),
}

PROBE_COMMANDS = [b"at&f\r", b"at+gmi?\r", b"at+gmm?\r", b"at+pcw?\r", b"at+gci?\r"]


def answers(echo=True, model=b'"ORVA 56k V.92"', country=b"04", doubled=False):
    lines = [[b"OK"], [b"+GMI: ORVA", b"OK"], [b"+GMM: " + model, b"OK"],
             [b"+PCW: 0", b"OK"], [b"+GCI: " + country, b"OK"]]
    return [reply(command if echo else None, *body, doubled=doubled)
            for command, body in zip(PROBE_COMMANDS, lines)]


def literal(data):
    """Bytes 0x00 to 0x05 of a reply, escaped for the probe target."""
    return b"".join(b"\x05" + bytes([c]) if c <= 5 else bytes([c]) for c in data)


def probe(*modems, split=None):
    """Replies of both modems in the order the scan asks; split puts a pause into each reply."""
    parts = []
    for modem in modems:
        for text in modem:
            text = literal(text)
            if split is not None:
                cut = min(split, len(text))
                text = text[:cut] + SPLIT_PAUSE + text[cut:]
            parts.append(text)
    return b"\x00".join(parts)


SPLIT_PAUSE = b"\x02"  # 300 ms: the read ends inside the line
PROBE = {
    "two_good_modems_echo_on": probe(answers(), answers()),
    "two_good_modems_echo_off": probe(answers(echo=False), answers(echo=False)),
    "bare_model_doubled_crlf": probe(answers(model=b"ORVA 56k V.92", doubled=True), answers()),
    "bursts_split_mid_line": probe(answers(), answers(), split=12),
    "short_pause_keeps_the_read": probe(answers(), answers()).replace(b"OK", b"O\x01K"),
    "late_answers": probe(answers(), answers()).replace(b"\r\n+", b"\x03\r\n+"),
    "first_abroad": probe(answers(country=b"3D"), answers()),
    "other_model_on_the_port": probe(answers(model=b"ORVA 56k modem"), answers()),
    "unknown_model": probe(answers(model=b"ACME 33k"), answers()),
    "silent": b"",
    "reset_only": b"OK\r\n",
    "long_reset_reply": probe([b"at&f\r\r\nOK\r\n\r\nOK\r\n"] + answers()[1:], answers()),
    "garbage": b"\xff\xfe+++ATH\r\n:::\r\r\r\x00\x00NO CARRIER\r\n\x04\x00OK",
}

NAMES = {"AttachedTo": 0, "Model": 1, "UserInit": 2}
SZ, EXPAND_SZ, BINARY, DWORD = range(4)


def value(name, data, kind=SZ, legacy=False, both=False, long=False):
    code = NAMES[name] | kind << 2 | legacy << 4 | both << 5 | long << 6
    return bytes([code, len(data)]) + data


def next_key(skip=0, legacy=False, both=False):
    # The entry's length says how many numbers are skipped; its bytes are not used.
    return bytes([3 | legacy << 4 | both << 5, skip]) + bytes(skip)


def modem(port, model=b"ORVA 56k V.92\x00", user_init=None, **layout):
    entries = value("AttachedTo", port, **layout) + value("Model", model, **layout)
    if user_init is not None:
        entries += value("UserInit", user_init, **layout)
    return entries


REGISTRY = {
    "one_modem": modem(b"COM3\x00", user_init=b"at s7=60 l2\x00"),
    "legacy_layout": modem(b"COM1\x00", legacy=True) + next_key(legacy=True)
    + modem(b"COM2\x00", legacy=True),
    "both_layouts": modem(b"COM1\x00", both=True) + value("AttachedTo", b"COM9\x00", legacy=True),
    "duplicate_ports": modem(b"COM3\x00") + next_key() + modem(b"COM1\x00") + next_key()
    + modem(b"COM3\x00", model=b"ORVA 56k\x00"),
    "gap_in_the_numbers": modem(b"COM1\x00") + next_key(skip=1) + modem(b"COM4\x00")
    + next_key(skip=2, legacy=True) + modem(b"COM5\x00", legacy=True),
    "attached_to_shapes": modem(b"COM\x00") + next_key() + modem(b"LPT1") + next_key()
    + modem(b"COM 12x") + next_key() + modem(b"COM-1\x00") + next_key()
    + modem(b"COM99999999999\x00") + next_key() + modem(b"COM+7"),
    "no_nul_and_binary": value("AttachedTo", b"COM5", kind=BINARY)
    + value("Model", b"ORVA 56k V.92", kind=EXPAND_SZ) + value("UserInit", b"&k3", kind=DWORD),
    "too_long_values": value("AttachedTo", b"COM3\x00") + value("Model", b"ORVA ", long=True)
    + value("UserInit", b"S7=60 ", long=True),
    "missing_values": next_key() + modem(b"COM2\x00"),
    "reported_model_left_over": modem(b"COM3\x00", model=b"ORVA 56k\x00") + b"\x01\xffORVA 56k V.92",
}


def userinit(mode, data=None, layout=0, kind=SZ):
    setup = mode | layout << 2 | (data is not None) << 4 | kind << 5
    return bytes([setup]) + (data or b"")


USERINIT = {
    "absent": userinit(2),
    "empty": userinit(2, b""),
    "plain": userinit(2, b"S7=60\x00"),
    "lower_case_and_blanks": userinit(1, b"s7=60 &k3\x00"),
    "leading_at": userinit(1, b"at s7=60\x00"),
    "at_before_the_setting": userinit(2, b"AT+PCW=1;ATS0=1\x00"),
    "old_setting": userinit(2, b"+PCW=1;S7=60\x00"),
    "setting_in_the_middle": userinit(1, b"S7=60+PCW=2;&K3\x00"),
    "setting_without_semicolon": userinit(2, b"S7=60+PCW=1&K3\x00"),
    "setting_without_semicolon_before_one": userinit(2, b"+PCW=1&K3;X\x00"),
    "two_settings": userinit(2, b"+PCW=1;S7=60;+PCW=0\x00"),
    "setting_split_by_another": userinit(2, b"+PC+PCW=1;W=0\x00"),
    "legacy_layout": userinit(1, b"+pcw=2;\x00", layout=1),
    "both_layouts": userinit(2, b"S0=0\x00", layout=2),
    "no_nul_binary": userinit(1, b"ATS7=60", kind=BINARY),
    "non_ascii": userinit(2, b"S7=60\xe4\xfc\xdf;+PCW=\xff\x00"),
    "limit_minus_one": userinit(1, b"S" * 247),
    "limit": userinit(1, b"S" * 248),
    "limit_plus_one": userinit(1, b"S" * 249),
    "too_long_to_read": userinit(2, b"S7=60;" * 43),
}


def dial(prefix, mode=1, sound=1, registry=False, kind=SZ, repeat=False, late_ok=False,
         read_by_call=False):
    setup = (mode == 2) | sound << 1 | registry << 2 | kind << 3 | repeat << 5 | late_ok << 6 \
        | read_by_call << 7
    return bytes([setup]) + prefix


DIAL = {
    "no_prefix": dial(b""),
    "zero": dial(b"0", mode=2, sound=0),
    "zero_wait": dial(b"0W", late_ok=True),
    "pauses": dial(b"0,,w"),
    "control_characters": dial(b"0\r\nat&f;h\x00 9"),
    "from_location": dial(b"0\x00", registry=True),
    "from_location_no_nul": dial(b"9W", registry=True, kind=BINARY),
    "from_location_control": dial(b"0\r\nat&f;", registry=True),
    "from_location_at_the_call": dial(b"0W\x00", registry=True, read_by_call=True),
    "longest_that_fits": dial(b"1" * 237),
    "one_too_long": dial(b"1" * 238),
    "past_the_field": dial(b"0,;x" * 40, repeat=True),
}


def main():
    for target, seeds in [("fuzz_replies", REPLIES), ("fuzz_probe", PROBE),
                          ("fuzz_registry", REGISTRY), ("fuzz_userinit", USERINIT),
                          ("fuzz_dial", DIAL)]:
        folder = HERE / target
        folder.mkdir(exist_ok=True)
        for name, data in seeds.items():
            (folder / name).write_bytes(data)


if __name__ == "__main__":
    main()
