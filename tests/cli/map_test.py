#!/usr/bin/env python3
"""photogeo map end to end: the page's data against ExifTool's reading of the photos (position,
direction, thumbnail bytes), a hostile file name that must not break out of the page's script,
then the page in headless Chromium with every outside host blocked: markers and track lines
counted in the rendered DOM, no script error. The screenshot is kept in ARTIFACT_DIR.
    map_test.py PHOTOGEO SOURCE_DIR ARTIFACT_DIR
Exit status 77 (skipped) when chromium is not installed, after the checks that need no browser."""
import base64, json, os, re, shutil, subprocess, sys, tempfile

BIN, SRC, ARTIFACTS = sys.argv[1:4]
SKIPPED = 77
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAIL:", what, file=sys.stderr)


def exiftool(*args, binary=False):
    return subprocess.run(["exiftool", *args], capture_output=True, check=True,
                          text=not binary).stdout


work = tempfile.mkdtemp()
try:
    S = os.path.join(SRC, "samples")
    tree = os.path.join(work, "photos")  # taken with -r
    os.makedirs(os.path.join(tree, "sub"))
    garden = os.path.join(tree, "garden.jpg")  # records a direction (270 true)
    hostile = os.path.join(tree, "sub", "a'\"<!--<script>&\u2028.jpg")  # a thumbnail, no direction
    shutil.copy(os.path.join(S, "kyoto-garden.jpg"), garden)
    shutil.copy(os.path.join(S, "no-exif.jpg"), tree)
    thumb = os.path.join(work, "thumb.jpg")
    subprocess.run(["convert", "-size", "24x16", "gradient:red-blue", thumb], check=True)
    exiftool("-q", "-o", hostile, "-ThumbnailImage<=" + thumb, "-GPSImgDirection=",
             "-GPSImgDirectionRef=", os.path.join(S, "tokyo-tower.jpg"))
    nmea = os.path.join(work, "log.nmea")
    with open(nmea, "w") as f:  # two fixes near the tower: one more track line
        f.write("$GPRMC,020000,A,3539.500,N,13944.700,E,,,280208,,*1A\n"
                "$GPRMC,020100,A,3539.600,N,13944.800,E,,,280208,,*17\n")
    gpx = os.path.join(S, "kyoto-walk.gpx")
    lines = open(gpx).read().count("<trkseg>") + 1
    page = os.path.join(work, "map.html")
    args = [BIN, "map", "-r", tree, "--gpx", gpx, "--gpx", nmea]
    r = subprocess.run(args + ["-o", page], capture_output=True)
    check(r.returncode == 0, f"map exit status {r.returncode}: {r.stderr[-300:]}")
    check(b"no-exif.jpg: records no position" in r.stderr, "a photo without a position is reported")
    raw = open(page, "rb").read()
    check(subprocess.run(args + ["-o", "-"], capture_output=True).stdout == raw,
          "-o - writes the same page")
    check(subprocess.run([BIN, "map", garden, "-o", work], capture_output=True).returncode == 1,
          "a directory as OUT is refused")

    # The data as the page's script sees it, against ExifTool.
    value = re.search(r"var PG_DATA = (.*);\n", raw.decode()).group(1)
    check(not set("<>&\u2028") & set(value), "file name escaped in the script")
    data = json.loads(value)
    photos = {p["name"]: p for p in data["photos"]}
    check(sorted(photos) == sorted(map(os.path.basename, [garden, hostile])), f"photos {sorted(photos)}")
    for path in (garden, hostile):
        p = photos.get(os.path.basename(path), {})
        ref = json.loads(exiftool("-j", "-n", "-GPSLatitude", "-GPSLongitude", "-GPSImgDirection", path))[0]
        check(abs(p.get("lat", 0) - ref["GPSLatitude"]) < 1e-9 and
              abs(p.get("lon", 0) - ref["GPSLongitude"]) < 1e-9, f"position of {path}")
        check(p.get("bearing") == ref.get("GPSImgDirection"), f"direction of {path}")
    want = exiftool("-b", "-ThumbnailImage", hostile, binary=True)
    got = photos.get(os.path.basename(hostile), {}).get("thumb", "")
    check(got.startswith("data:image/jpeg;base64,") and base64.b64decode(got[23:]) == want,
          "thumbnail is the EXIF thumbnail")
    check("thumb" not in photos.get("garden.jpg", {}), "no thumbnail invented")
    check([len(t["segments"]) for t in data["tracks"]] == [lines - 1, 1], "track segments")

    # The page in a browser that reaches no outside host.
    browser = shutil.which("chromium")
    if not browser:
        print("SKIPPED: chromium is not installed (apt-get install chromium)", file=sys.stderr)
        sys.exit(1 if failures else SKIPPED)
    os.makedirs(ARTIFACTS, exist_ok=True)
    shot = os.path.join(ARTIFACTS, "map.png")
    profile = os.path.join(work, "profile")
    dom = subprocess.run([browser, "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
                          "--disable-background-networking", "--disable-component-update",
                          "--disable-sync", "--user-data-dir=" + profile,
                          "--host-resolver-rules=MAP * ~NOTFOUND", "--window-size=1024,768",
                          "--virtual-time-budget=5000", "--screenshot=" + shot, "--dump-dom",
                          "file://" + page], capture_output=True, timeout=120).stdout.decode("utf-8", "replace")
    # The serialised DOM quotes every attribute; the error list is plain text.
    drawn = " ".join(re.findall(r'\sclass="([^"]*)"', dom)).split()
    errors = re.search(r'id="pg-errors"[^>]*>([^<]*)', dom)
    check(drawn.count("pg-photo") == 2, f"photo markers drawn: {drawn.count('pg-photo')}")
    check(drawn.count("pg-arrow") == 1, "the photo with a direction drawn as an arrow")
    check(drawn.count("pg-track") == lines, f"track lines drawn: {drawn.count('pg-track')}")
    check(not errors or not errors.group(1), f"script errors: {errors and errors.group(1)}")
    check(os.path.getsize(shot) > 0 if os.path.exists(shot) else False, "screenshot taken")
finally:
    shutil.rmtree(work, ignore_errors=True)

print(f"map: {len(failures)} failed", file=sys.stderr)
sys.exit(1 if failures else 0)
