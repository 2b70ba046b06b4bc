#!/usr/bin/env python3
"""The tool's output contract, with independent oracles: every --json line over the samples
and some hard-case photos (made with ExifTool) parsed strictly (NaN refused) and validated
against docs/json-schema.json; info's raw values against ExifTool's; the same JSON under two
time zones; streams and exit statuses; kanji against Python's codecs; a man page for every
command that names every option of its --help.
    output_test.py PHOTOGEO SOURCE_DIR MAN_DIR"""
import json, os, re, shutil, subprocess, sys, tempfile
import jsonschema

BIN, SRC, MAN = sys.argv[1:4]
SCHEMA = json.load(open(os.path.join(SRC, "docs/json-schema.json")))
jsonschema.Draft202012Validator.check_schema(SCHEMA)
VALIDATOR = jsonschema.Draft202012Validator(SCHEMA)
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAIL:", what, file=sys.stderr)


def run(*args, stdin=b"", env=None):
    return subprocess.run([BIN, *args], input=stdin, capture_output=True,
                          env={**os.environ, **(env or {})})


def strict_lines(out, what):
    """The JSON objects of out, one a line; NaN and Infinity refused."""
    objects = []
    for line in out.decode().splitlines():
        try:
            obj = json.loads(line, parse_constant=lambda c: 1 / 0)
        except (ValueError, ZeroDivisionError) as e:
            check(False, f"{what}: not strict JSON ({e}): {line[:120]}")
            continue
        errors = [e.message for e in VALIDATOR.iter_errors(obj)]
        check(not errors, f"{what}: {errors[:2]} in {line[:160]}")
        objects.append(obj)
    return objects


def exiftool_copy(source, target, *args):
    subprocess.run(["exiftool", "-q", "-o", target, *args, source], check=True)


work = tempfile.mkdtemp()
try:
    photos = [os.path.join(SRC, "samples", f) for f in sorted(os.listdir(os.path.join(SRC, "samples")))
              if f.endswith(".jpg")]
    base = os.path.join(SRC, "samples/tokyo-tower.jpg")
    # Hard cases: a recorded offset, blanks and control characters, raw camera values; a
    # latitude without longitude; GPS seconds stored as 0/0.
    hard = os.path.join(work, "hard.jpg")
    exiftool_copy(base, hard, "-OffsetTimeOriginal=+05:30", "-Make=Photogeo   ",
                  "-ImageDescription=red\x1b[31m\ttext", "-Orientation#=6", "-Flash#=25", "-ISO=3200",
                  "-FocalLength=4.5", "-ExposureTime=1/8000", "-GPSDateStamp=2008:02:28",
                  "-GPSLatitude=12.5", "-GPSLatitudeRef=S", "-Comment=a\rb")
    latonly = os.path.join(work, "lat-only.jpg")
    exiftool_copy(os.path.join(SRC, "samples/no-exif.jpg"), latonly, "-GPSLatitude=35.5",
                  "-GPSLatitudeRef=N")
    zero = os.path.join(work, "zero-seconds.jpg")
    dump = subprocess.run(["exiftool", "-v3", latonly], capture_output=True, text=True).stdout
    at = int(re.search(r"GPSLatitude = .*\n.*Tag 0x0002.*\n\D*([0-9a-f]{4}):", dump).group(1), 16)
    data = bytearray(open(latonly, "rb").read())
    data[at + 20:at + 24] = b"\0\0\0\0"  # the seconds' denominator (-v3 gives file offsets)
    open(zero, "wb").write(data)
    corpus = photos + [hard, latonly, zero]

    # --- info --json: schema, ExifTool's raw values, and no dependence on TZ -------------------
    outs = {tz: run("info", "--json", *corpus, env={"TZ": tz}) for tz in ("UTC", "America/New_York")}
    check(outs["UTC"].returncode == 0, "info --json exit status")
    check(outs["UTC"].stdout == outs["America/New_York"].stdout, "info --json depends on TZ")
    info = {os.path.basename(o["file"]): o for o in strict_lines(outs["UTC"].stdout, "info --json")}
    oracle = {os.path.basename(o["SourceFile"]): o for o in json.loads(subprocess.run(
        ["exiftool", "-j", "-n", *corpus], capture_output=True, check=True).stdout)}
    pairs = {"latitude": "GPSLatitude", "longitude": "GPSLongitude", "altitude": "GPSAltitude",
             "direction": "GPSImgDirection", "exposure_time": "ExposureTime", "f_number": "FNumber",
             "iso": "ISO", "focal_length": "FocalLength", "orientation": "Orientation", "flash": "Flash"}
    for name, obj in info.items():
        for key, tag in pairs.items():
            want = oracle[name].get(tag)
            want = want if isinstance(want, (int, float)) else None
            got = obj[key]
            check((got is None and want is None) or (None not in (got, want) and abs(got - want) < 1e-6),
                  f"info {name} {key}: {got}, ExifTool {want}")
    check(info["hard.jpg"]["date_time_original"] == "2008-02-28T10:15:00+05:30", "recorded offset")
    check(info["hard.jpg"]["date_time"] == "2008-02-28T10:20:00", "no offset invented")
    check(info["hard.jpg"]["gps_time"] == "2008-02-28T01:15:00Z", "GPS date and time")
    check(info["hard.jpg"]["items"]["make"] == "Photogeo", "trailing blanks trimmed")
    check(info["zero-seconds.jpg"]["latitude"] is None, "0/0 seconds give null")
    check("°" in info["tokyo-tower.jpg"]["items"]["latitude"], "degree sign")

    # --- text: escapes, degree sign, --all without EXIF ----------------------------------------
    text = run("info", "--all", hard, zero, os.path.join(SRC, "samples/no-exif.jpg")).stdout.decode()
    check("red\\x1B[31m\\ttext" in text and "\x1b" not in text, "control characters escaped")
    check("(unreadable)" in text and "nan" not in text, "unreadable seconds")
    check(b"a\\rb" in run("decode", "--info", hard).stdout, "decode --info escapes the comment")
    check(not re.search(r" +$", text, re.M), "trailing blanks in the listing")
    check("1970" not in text.split("no-exif.jpg")[1] and "0°00'" not in text, "--all invents values")

    # --- streams and exit statuses -------------------------------------------------------------
    piped = run("info", "-", stdin=open(base, "rb").read())
    check(piped.returncode == 0 and piped.stdout.split(b"\n")[1:] == run("info", base).stdout.split(b"\n")[1:],
          "info - reads standard input")
    check(run("decode", "--info", "-", stdin=open(base, "rb").read()).returncode == 0, "decode - reads standard input")
    with open("/dev/full", "wb") as full:
        rc = subprocess.run([BIN, "info", base], stdout=full, stderr=subprocess.PIPE)
    check(rc.returncode == 1 and b"No space left" in rc.stderr, "info > /dev/full must fail")
    for args in [("info",), ("info", "--bogus", base), ("noise", "cloud", "--cover", "300", "-"),
                 ("noise", "cloud", "--sharpness", "2", "-")]:
        check(run(*args).returncode == 2, f"{args}: wrong usage expected")

    # --- the other commands' --json --------------------------------------------------------------
    cases = [("bearing", "--json", base, os.path.join(SRC, "samples/kyoto-garden.jpg")),
             ("magvar", "--json", "51.5", "-0.13", "--date", "2026-12-01"),
             ("magvar", "--json", "-33.87", "151.21", "--date", "2005-06-01", "--model", "legacy"),
             ("geotag", "--json", "--dry-run", "--offset", "+09:00", "--gpx", os.path.join(SRC, "samples/kyoto-walk.gpx"),
              "--in-place", *photos),
             ("decode", "--info", "--json", "--quant", *photos)]
    for args in cases:
        r = run(*args)
        check(r.returncode == 0, f"{args[0]} --json exit status {r.returncode}: {r.stderr[:200]}")
        objs = strict_lines(r.stdout, args[0] + " --json")
        check(objs and all(o["command"] == args[0] for o in objs), f"{args[0]} --json objects")

    # --- kanji: against Python's codecs (UTF-8 legs: cp932) ---------------------------------------
    # Every CP932 character the converter carries (JIS X 0208 and NEC's rows), 40 a line.
    def decoded(pair):
        try:
            return pair.decode("cp932")
        except UnicodeDecodeError:
            return ""
    chars = [c for c in (decoded(bytes([a, b])) for a in [*range(0x81, 0xA0), *range(0xE0, 0xF0)]
                         for b in range(0x40, 0xFD)) if len(c) == 1 and c.encode("cp932")[0] < 0xF0]
    text = "\n".join("".join(chars[i:i + 40]) for i in range(0, len(chars), 40)) + "\nASCII only\n"
    legs = [(["--to", "sjis"], text.encode(), text.encode("cp932")),
            (["--from", "sjis", "--to", "utf8"], text.encode("cp932"), text.encode()),
            (["--to", "utf8", "-"], text.encode(), text.encode()),
            (["--to", "utf8"], "ｶﾀｶﾅ\n".encode(), "カタカナ\n".encode()),
            (["--to", "utf8", "--options", "x"], "ｶﾀｶﾅ\n".encode(), "ｶﾀｶﾅ\n".encode())]
    short, codec = "カナ漢字テスト ABC\n二行目\n", {"euc": "euc_jp", "sjis": "cp932", "jis": "iso2022_jp"}
    legs += [(["--to", to], short.encode(codec[src]), short.encode(codec[to]))
             for src, to in [("euc", "sjis"), ("sjis", "euc"), ("sjis", "jis"), ("jis", "sjis"), ("euc", "jis")]]
    for args, given, want in legs:
        r = run("kanji", *args, stdin=given)
        check(r.returncode == 0 and r.stdout == want, f"kanji {' '.join(args)}: {r.stderr[:200]}")
    for args, given, status in [(["--to", "sjis"], "a😀".encode(), 1), (["--to", "sjis"], "\ue000".encode(), 1),
                                (["--from", "utf8"], b"\xff\xfe", 1), (["--options", "qqq"], b"", 2),
                                (["--options", "f999"], b"", 2), (["--to", "latin1"], b"", 2),
                                (["--to", "sjis", "--options", "l"], b"", 2)]:
        check(run("kanji", *args, stdin=given).returncode == status, f"kanji {args} {given!r} status")

    # --- man pages: one per command, naming every option of --help --------------------------------
    commands = re.findall(r"^  ([a-z]+) ", run("--help").stdout.decode().split("Commands:")[1], re.M)
    check(os.path.exists(os.path.join(MAN, "photogeo.1")), "photogeo.1 installed")
    for cmd in commands:
        page = os.path.join(MAN, f"photogeo-{cmd}.1")
        if not os.path.exists(page):
            check(False, f"no man page for {cmd}")
            continue
        roff = open(page).read().replace("\\-", "-")
        for opt in set(re.findall(r"(?<![\w-])--[a-z][a-z0-9-]*", run(cmd, "--help").stdout.decode())) - {"--help"}:
            check(opt in roff, f"photogeo-{cmd}.1 does not mention {opt}")
finally:
    shutil.rmtree(work)
print(f"output: {len(failures)} failed")
sys.exit(1 if failures else 0)
