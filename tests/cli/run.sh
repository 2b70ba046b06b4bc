#!/usr/bin/env bash
# Integration test of the photogeo command-line tool: runs the built (or installed) binary
# against copies of the bundled samples and checks outputs, written files and exit statuses.
#   bash tests/cli/run.sh PATH/TO/photogeo PATH/TO/samples
# Independent oracles: ExifTool for the EXIF that geotag writes, iconv for Shift-JIS output,
# ImageMagick for decoded pixels; jq reads the JSON output.
set -u
BIN=$1
SAMPLES=$2
DATA=$(dirname "$0")/../data/cli
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
export LC_ALL=C.UTF-8
# The samples were shot in Japan time.
export TZ=JST-9
passed=0
failed=0

ok() { passed=$((passed + 1)); }
bad() {
    failed=$((failed + 1))
    echo "FAIL: $*" >&2
}
# expect STATUS NAME COMMAND...: runs COMMAND with stdout to $WORK/out and stderr to $WORK/err.
expect() {
    local want=$1 name=$2
    shift 2
    "$@" >"$WORK/out" 2>"$WORK/err"
    local got=$?
    if [ "$got" -eq "$want" ]; then ok; else bad "$name: exit status $got, expected $want"; sed 's/^/  | /' "$WORK/err" >&2; fi
}
# gives STATUS NAME out|err PATTERN COMMAND...: expect, then has on that stream of COMMAND.
gives() {
    local want=$1 name=$2 stream=$3 pattern=$4
    shift 4
    expect "$want" "$name" "$@"
    has "$name" "$WORK/$stream" "$pattern"
}
# has NAME FILE PATTERN: FILE contains a line matching the extended regular expression.
has() {
    if grep -Eq -- "$3" "$2"; then ok; else bad "$1: no line matching '$3' in $(basename "$2")"; sed 's/^/  | /' "$2" | head -20 >&2; fi
}
# near NAME VALUE EXPECTED TOLERANCE
near() {
    if awk -v a="$2" -v b="$3" -v t="$4" 'BEGIN { d = a - b; if (d < 0) d = -d; exit !(a != "" && d <= t) }'; then ok; else bad "$1: $2 is not within $4 of $3"; fi
}
# same NAME A B: the two files are equal byte for byte.
same() {
    if cmp -s "$2" "$3"; then ok; else bad "$1: $(basename "$2") and $(basename "$3") differ"; diff "$2" "$3" | head -20 >&2; fi
}
# golden NAME FILE [INPUT]: standard output (or INPUT), with the work folder taken out of the
# paths, equals the listing tests/data/cli/FILE, checked by hand when it was recorded
# (PHOTOGEO_WRITE_GOLDEN=1 records it again, as for the C++ tests' golden texts).
golden() {
    sed "s|$WORK/||g" "${3:-$WORK/out}" >"$WORK/listing"
    [ -z "${PHOTOGEO_WRITE_GOLDEN:-}" ] || cp "$WORK/listing" "$DATA/$2"
    same "$1" "$WORK/listing" "$DATA/$2"
}

# --- program ---------------------------------------------------------------------------------
gives 0 "--version" out '^photogeo [0-9]+\.[0-9]+\.[0-9]+$' "$BIN" --version
expect 0 "--help" "$BIN" --help
for cmd in $(awk '/^Commands:/ { on = 1; next } on && /^  [a-z]/ { print $1 }' "$WORK/out"); do
    gives 0 "$cmd --help" out "^Usage: photogeo $cmd" "$BIN" "$cmd" --help
done
gives 2 "unknown command" err "unknown command 'frobnicate'" "$BIN" frobnicate

# --- magvar ----------------------------------------------------------------------------------
# IGRF-14 (the default) against the published declination at London; the legacy model keeps
# its regional approximation in Japan (-6.7993 at 35 N 139 E on any date).
expect 0 "magvar London" "$BIN" magvar 51.5 -0.13 --date 2026-12-01
near "magvar London" "$(awk 'NR == 1 { print $1 }' "$WORK/out")" 1.222 0.002
gives 0 "magvar legacy Japan" out '^-6\.7993 \(6\.7993 W\)$' "$BIN" magvar 35 139 --date 2008-02-28 --model legacy
expect 0 "magvar json" "$BIN" magvar 40 -105 --date 2026-12-01T00:00:00Z --json
near "magvar json" "$(jq .declination "$WORK/out")" 7.505 0.002
has "magvar json" "$WORK/out" '"model":"igrf14","latitude":40(\.0)?,"longitude":-105(\.0)?,"height":0(\.0)?,"time":"2026-12-01T00:00:00Z"'
has "magvar before 1900" <("$BIN" magvar 0 0 --date 1899-12-31 2>&1) 'before 1900-01-01'

# --- kanji -----------------------------------------------------------------------------------
printf 'a\0b' >"$WORK/nul.txt"
gives 1 "kanji NUL byte" err 'NUL' "$BIN" kanji <"$WORK/nul.txt"

# Samples are used from copies, so the tests never change the repository.
S="$WORK/samples"
mkdir -p "$S"
cp "$SAMPLES"/*.jpg "$SAMPLES"/*.gpx "$S/"

# --- info ------------------------------------------------------------------------------------
expect 0 "info all samples" "$BIN" info "$S"/*.jpg
golden "info all samples" info.txt
# Shift-JIS output is the same listing, but for the degree sign (a half-width kana mark there).
expect 0 "info --sjis" "$BIN" info --sjis "$S"/*.jpg
golden "info --sjis" info.txt <(iconv -f CP932 -t UTF-8 "$WORK/out" | sed -E 's/([0-9])ﾟ/\1°/g')
# The quick read gives the position but not the camera.
gives 0 "info --quick" out '^  緯度 ' "$BIN" info --quick "$S/tokyo-tower.jpg"
if grep -q 'メーカー' "$WORK/out"; then bad "info --quick lists the maker"; else ok; fi
gives 0 "info --all" out '^  測地系 +-$' "$BIN" info --all "$S/no-exif.jpg"
# A failing file is named with its cause, and the others are still listed.
gives 1 "info missing file" err 'missing\.jpg: cannot open: No such file or directory' "$BIN" info "$S/missing.jpg" "$S/tokyo-tower.jpg" "$S/kyoto-walk.gpx"
has "info not a JPEG" "$WORK/err" 'kyoto-walk\.gpx: not a JPEG file'
has "info goes on after a failure" "$WORK/out" 'Tokyo Tower'
expect 0 "info --json" "$BIN" info --json "$S"/*.jpg
golden "info --json" info.jsonl <(jq -c 'del(.declination)' "$WORK/out")  # its last bits follow the model's

# --- decode ----------------------------------------------------------------------------------
# close NAME ORACLE OURS: ImageMagick's decoding as the oracle; the decoders differ only in rounding.
close() {
    local psnr
    psnr=$(compare -metric PSNR "$2" "$3" null: 2>&1)
    if awk -v p="$psnr" 'BEGIN { exit !(p == "inf" || p + 0 > 30) }'; then ok; else bad "$1: PSNR $psnr dB against ImageMagick"; fi
}
for f in tokyo-tower kyoto-garden lake-progressive no-exif; do
    expect 0 "decode $f" "$BIN" decode "$S/$f.jpg" "$WORK/$f.bmp"
    # Header and rows of three bytes a pixel, each padded to a multiple of four bytes.
    read -r w h < <(exiftool -s3 -ImageWidth -ImageHeight "$S/$f.jpg" | tr '\n' ' '; echo)
    near "decode $f file size" "$(stat -c %s "$WORK/$f.bmp")" $((54 + (3 * w + 3) / 4 * 4 * h)) 0
    has "decode $f is a BMP" <(identify -format '%m %w %h\n' "$WORK/$f.bmp") "^BMP3? $w $h\$"
    close "decode $f" "$S/$f.jpg" "$WORK/$f.bmp"
done
# Orientation 6 (a quarter turn clockwise to stand upright) set on a copy by ExifTool.
cp "$S/tokyo-tower.jpg" "$WORK/turned.jpg" && exiftool -q -n -Orientation=6 -overwrite_original "$WORK/turned.jpg"
expect 0 "decode --orient to PNG" "$BIN" decode --orient "$WORK/turned.jpg" "$WORK/turned.png"
convert "$WORK/turned.jpg" -auto-orient "$WORK/upright.png" && close "decode --orient" "$WORK/upright.png" "$WORK/turned.png"
expect 0 "decode --info --quant" "$BIN" decode --info --quant "$S"/*.jpg
golden "decode --info --quant" decode-info.txt
gives 1 "decode not a JPEG" err 'kyoto-walk\.gpx: ' "$BIN" decode "$S/kyoto-walk.gpx" "$WORK/x.bmp"
if [ -e "$WORK/x.bmp" ]; then bad "decode left a BMP after a failure"; else ok; fi
gives 1 "decode unwritable output" err 'no/such: No such file or directory' "$BIN" decode "$S/no-exif.jpg" "$WORK/no/such/dir.bmp"

# --- html ------------------------------------------------------------------------------------
expect 0 "html" "$BIN" html "$S/html-comment.jpg" "$WORK/page.html"
has "html" "$WORK/page.html" '^<html><head><title>Walk</title></head><body><p>Tokyo Tower, 150 m</p></body></html>$'
gives 1 "html plain comment" err 'not an HTML page' "$BIN" html "$S/kyoto-garden.jpg" "$WORK/none.html"
if [ -e "$WORK/none.html" ]; then bad "html wrote a file for a plain comment"; else ok; fi
expect 1 "html no comment" "$BIN" html "$S/tokyo-tower.jpg" "$WORK/none.html"

# --- bearing ---------------------------------------------------------------------------------
# The true bearing is the magnetic one plus the declination at the photo's place, height and
# time (tokyo-tower.jpg: 123.45 magnetic, 150 m, 2008-02-28 10:15 Japan time).
var=$("$BIN" magvar 35.658581 139.745433 --height 150 --date 2008-02-28T01:15:00Z | awk 'NR == 1 { print $1 }')
expect 0 "bearing magnetic" "$BIN" bearing "$S/tokyo-tower.jpg"
near "bearing variation" "$(awk '/magnetic variation/ { print $3 }' "$WORK/out")" "$var" 0.006
near "bearing true" "$(awk '/true bearing/ { print $3 }' "$WORK/out")" "$(awk -v v="$var" 'BEGIN { print 123.45 + v }')" 0.006
expect 0 "bearing json" "$BIN" bearing --json "$S/tokyo-tower.jpg" "$S/kyoto-garden.jpg"
near "bearing json" "$(jq -s '.[0].true_bearing - .[0].recorded_bearing - .[0].declination' "$WORK/out")" 0 1e-9
has "bearing json true north" "$WORK/out" '"bearing_ref":"T","true_bearing":270(\.0)?,'
gives 1 "bearing without position" err 'lake-progressive\.jpg: records no position' "$BIN" bearing "$S/lake-progressive.jpg"
# A photo from 1965 (before the 32-bit record's 1970) takes its time from the EXIF text.
cp "$S/tokyo-tower.jpg" "$WORK/1965.jpg"
exiftool -q -overwrite_original -DateTimeOriginal="1965:06:01 12:00:00" "$WORK/1965.jpg"
var=$("$BIN" magvar 35.658581 139.745433 --height 150 --date 1965-06-01T03:00:00Z | awk 'NR == 1 { print $1 }')
expect 0 "bearing 1965" "$BIN" bearing "$WORK/1965.jpg"
near "bearing 1965" "$(awk '/magnetic variation/ { print $3 }' "$WORK/out")" "$var" 0.006
gives 1 "bearing 1965 legacy" err "outside the legacy model's 1970-2038" "$BIN" bearing --model legacy "$WORK/1965.jpg"

# --- geotag: typed values --------------------------------------------------------------------
G="$WORK/geotag"
mkdir -p "$G"
expect 0 "geotag copy" "$BIN" geotag "$S/no-exif.jpg" --lat 35.5 --lon -139.25 --alt 12.7 \
    --dir 360 --dir-ref M --datum TOKYO --title 'テスト写真' --comment '日本語のコメント' -o "$G/new.jpg"
has "geotag copy report" "$WORK/out" 'no-exif\.jpg: 35\.500000, -139\.250000, 12\.7 m -> '
# A bearing of 360 is north, stored as 0 (EXIF directions run 0 to 359.99).
has "geotag direction and datum" <(exiftool -n -s3 -GPSImgDirection -GPSImgDirectionRef -GPSMapDatum "$G/new.jpg" | paste -sd " ") '^0 M TOKYO$'
gives 0 "geotag round trip longitude" out "^  経度 +W139°15'00\.0\"$" "$BIN" info "$G/new.jpg"
# --rebuild: the block rebuilt by the library, texts in Shift-JIS, whole metres.
expect 0 "geotag --rebuild" "$BIN" geotag "$S/no-exif.jpg" --lat 35.5 --lon -139.25 --alt 12.7 --title 'テスト写真' --rebuild -o "$G/rebuilt.jpg"
near "geotag --rebuild altitude" "$(exiftool -n -s3 -GPSAltitude "$G/rebuilt.jpg")" 12 0
has "geotag --rebuild title in Shift-JIS" <(exiftool -b -ImageDescription "$G/rebuilt.jpg" | iconv -f CP932 -t UTF-8; echo) '^テスト写真$'
# The picture itself is copied untouched.
"$BIN" decode "$G/new.jpg" "$WORK/new.bmp" && same "geotag keeps the picture" "$WORK/new.bmp" "$WORK/no-exif.bmp"
# The source is never changed by a copy.
same "geotag copy leaves the source" "$S/no-exif.jpg" "$SAMPLES/no-exif.jpg"

cp "$S/kyoto-garden.jpg" "$G/kyoto.jpg"
expect 0 "geotag in place, big-endian" "$BIN" geotag "$G/kyoto.jpg" --lat -33.8688 --lon 151.2093 --in-place
near "geotag in place latitude" "$(exiftool -n -s3 -GPSLatitude "$G/kyoto.jpg")" -33.8688 0.00001
gives 0 "geotag keeps the JIS comment" out '^  コメント +京都の庭園、池の北側から$' "$BIN" info "$G/kyoto.jpg"

cp "$S/tokyo-tower.jpg" "$G/tokyo.jpg"
gives 0 "geotag patch report" out 'patched in place' "$BIN" geotag "$G/tokyo.jpg" --lat 35.710063 --lon 139.8107 --patch
near "geotag patch latitude" "$(exiftool -n -s3 -GPSLatitude "$G/tokyo.jpg")" 35.710063 0.0001
near "geotag patch longitude" "$(exiftool -n -s3 -GPSLongitude "$G/tokyo.jpg")" 139.8107 0.0001
near "geotag patch keeps the length" "$(stat -c %s "$G/tokyo.jpg")" "$(stat -c %s "$S/tokyo-tower.jpg")" 0
cp "$S/no-exif.jpg" "$G/plain.jpg"
gives 1 "geotag patch without EXIF" err 'plain\.jpg: has no EXIF block to patch' "$BIN" geotag "$G/plain.jpg" --lat 1 --lon 2 --patch
same "geotag patch without EXIF leaves the file" "$G/plain.jpg" "$S/no-exif.jpg"
cp "$S/lake-progressive.jpg" "$G/lake.jpg"
gives 1 "geotag patch without GPS entries" err 'lake\.jpg: the position would not arrive: a patch changes only' "$BIN" geotag "$G/lake.jpg" --lat 1 --lon 2 --patch
same "geotag patch without GPS entries leaves the file" "$G/lake.jpg" "$S/lake-progressive.jpg"
gives 0 "geotag dry run" out 'would write' "$BIN" geotag "$G/plain.jpg" --lat 1 --lon 2 --in-place --dry-run
same "geotag dry run writes nothing" "$G/plain.jpg" "$S/no-exif.jpg"

mkdir -p "$G/out"
gives 1 "geotag missing file" err 'none\.jpg: cannot open' "$BIN" geotag "$G/none.jpg" "$G/plain.jpg" --lat 1 --lon 2 -o "$G/out"
has "geotag goes on after a failure" "$WORK/out" 'plain\.jpg: 1\.000000, 2\.000000 -> '

# --- geotag: GPX track -----------------------------------------------------------------------
T="$WORK/tracked"
mkdir -p "$T"
expect 0 "geotag --gpx" "$BIN" geotag --gpx "$S/kyoto-walk.gpx" "$S"/*.jpg -o "$T"
golden "geotag --gpx" geotag-gpx.txt
near "gpx latitude written" "$(exiftool -n -s3 -GPSLatitude "$T/lake-progressive.jpg")" 35.043 0.00001
if [ -e "$T/tokyo-tower.jpg" ]; then bad "gpx wrote a skipped photo"; else ok; fi
gives 0 "gpx with the camera's offset" out 'lake-progressive\.jpg: would write 35\.043000' "$BIN" geotag --gpx "$S/kyoto-walk.gpx" --offset +09:00 "$S/lake-progressive.jpg" -o "$T" -n
gives 3 "gpx with another offset" out 'shot at 2008-02-28T03:12:30Z, outside the track' "$BIN" geotag --gpx "$S/kyoto-walk.gpx" --offset +08:00 "$S/lake-progressive.jpg" -o "$T" -n
gives 3 "gpx gap" out 'skipped, shot at 2008-02-28T02:12:30Z, more than 60 s from a track point' "$BIN" geotag --gpx "$S/kyoto-walk.gpx" --max-gap 60 "$S/lake-progressive.jpg" -o "$T" -n
expect 0 "gpx --json" "$BIN" geotag --json --gpx "$S/kyoto-walk.gpx" "$S"/*.jpg -o "$T" -n
has "gpx --json" <(jq -r 'select(.file|endswith("lake-progressive.jpg"))|"\(.outcome) \(.position.altitude) \(.seconds_from_track_point)"' "$WORK/out") '^would_write 67 150$'
printf '<gpx><trk><trkseg><trkpt lat="x" lon="1"><time>2008-02-28T01:55:00Z</time></trkpt>' >"$WORK/broken.gpx"
gives 1 "gpx broken track" err 'broken\.gpx: not well-formed XML' "$BIN" geotag --gpx "$WORK/broken.gpx" "$S/lake-progressive.jpg" -o "$T"

# Several tracks: Tokyo from a second file; a photo in the gap between files takes no line across it.
printf '<gpx><trk><trkseg><trkpt lat="35.65" lon="139.74"><time>2008-02-28T01:10:00Z</time></trkpt><trkpt lat="35.67" lon="139.76"><time>2008-02-28T01:20:00Z</time></trkpt></trkseg><trkseg><trkpt lat="35.0" lon="138.0"><time>2008-02-28T03:10:00Z</time></trkpt><trkpt lat="35.1" lon="138.1"><time>2008-02-28T03:20:00Z</time></trkpt></trkseg></trk></gpx>' >"$WORK/tokyo.gpx"
expect 0 "gpx two files" "$BIN" geotag --gpx "$S/kyoto-walk.gpx" --gpx "$WORK/tokyo.gpx" "$S/tokyo-tower.jpg" "$S/lake-progressive.jpg" "$S/html-comment.jpg" -o "$T" -n
golden "gpx two files" geotag-two-tracks.txt
# Its neighbours lie 287 m apart: over --max-distance, the photo takes the earlier one (a tie).
gives 0 "gpx --max-distance" out 'lake-progressive\.jpg: would write 35\.042000, 135\.731000' "$BIN" geotag --gpx "$S/kyoto-walk.gpx" --max-distance 250 "$S/lake-progressive.jpg" -o "$T" -n

# --- geotag: folder trees --------------------------------------------------------------------
# -r takes the JPEGs below a folder (hidden ones left out) and -o DIR mirrors the tree.
D="$WORK/day"
mkdir -p "$D/kyoto/lake" "$D/.trash" "$WORK/mirror" "$WORK/empty"
cp "$S/kyoto-garden.jpg" "$D/kyoto/"
cp "$S/lake-progressive.jpg" "$D/kyoto/lake/IMG_0001"
cp "$S/tokyo-tower.jpg" "$D/.trash/"
echo text >"$D/kyoto/notes.txt"
expect 0 "geotag -r" "$BIN" geotag -r --gpx "$S/kyoto-walk.gpx" "$D" -o "$WORK/mirror"
golden "geotag -r" geotag-r.txt
near "geotag -r mirrors the tree" "$(exiftool -n -s3 -GPSLatitude "$WORK/mirror/kyoto/lake/IMG_0001")" 35.043 0.00001
expect 3 "geotag -r without photos" "$BIN" geotag -r --lat 1 --lon 2 "$WORK/empty" --in-place
gives 1 "geotag folder without -r" err 'day: is a directory \(give -r' "$BIN" geotag --lat 1 --lon 2 "$D" -o "$WORK/empty"
gives 2 "geotag -r name collision" err 'would both be written to .*/empty/kyoto/kyoto-garden\.jpg' "$BIN" geotag -r --lat 1 --lon 2 "$D" "$WORK/mirror" -o "$WORK/empty"
if [ -z "$(ls -A "$WORK/empty")" ]; then ok; else bad "geotag -r name collision wrote something"; fi
cp -r "$WORK/mirror" "$WORK/mirror2"
gives 3 "geotag --skip-tagged" out 'IMG_0001: skipped, already has a position' "$BIN" geotag -r --skip-tagged --lat 1 --lon 2 "$WORK/mirror" --in-place
same "geotag --skip-tagged leaves the photo" "$WORK/mirror/kyoto/lake/IMG_0001" "$WORK/mirror2/kyoto/lake/IMG_0001"

# --- geotag: camera clock and parallel batches -------------------------------------------------
# Paris went to summer time at 01:00Z on 2026-03-29: 01:30 and 03:30 on the camera's clock are
# 00:30Z and 01:30Z, each on a track point.
C="$WORK/clock"
mkdir -p "$C/in" "$C/j1" "$C/j2"
printf '<gpx><trk><trkseg><trkpt lat="47.5" lon="2"><time>2026-03-29T00:00:00Z</time></trkpt><trkpt lat="48" lon="2"><time>2026-03-29T00:30:00Z</time></trkpt><trkpt lat="49" lon="2"><time>2026-03-29T01:30:00Z</time></trkpt></trkseg></trk></gpx>' >"$C/paris.gpx"
for t in 01:30 03:30; do
    exiftool -q -o "$C/in/$t.jpg" -DateTimeOriginal="2026:03:29 $t:00" -OffsetTimeOriginal= "$S/kyoto-garden.jpg"
done
gives 0 "geotag --tz winter time" out '01:30\.jpg: 48\.000000, 2\.000000 .*0 s from' "$BIN" geotag --gpx "$C/paris.gpx" --tz Europe/Paris "$C/in/01:30.jpg" "$C/in/03:30.jpg" -o "$C/j1"
has "geotag --tz summer time" "$WORK/out" '03:30\.jpg: 49\.000000, 2\.000000 .*0 s from'
has "geotag GPS time for ExifTool" <(exiftool -s3 -GPSDateStamp -GPSTimeStamp "$C/j1/03:30.jpg" | paste -sd " ") '^2026:03:29 01:30:00$'
gives 0 "geotag --drift" out 'would write 49\.000000' "$BIN" geotag --gpx "$C/paris.gpx" --offset +01:00:00 --drift 3600 "$C/in/03:30.jpg" -o "$C/j1" -n
gives 0 "geotag --sync" out 'would write 47\.500000' "$BIN" geotag --gpx "$C/paris.gpx" --tz Europe/Paris --sync "$C/in/03:30.jpg=2026-03-29T01:00:00Z" "$C/in/01:30.jpg" -o "$C/j1" -n
# --jobs: the same report and the same files as one job.
for i in 1 2 3; do mkdir -p "$C/in/sub$i"; cp "$S"/*.jpg "$C/in/sub$i/"; done
for j in 1 2; do
    expect 0 "geotag --jobs $j" "$BIN" geotag -r --jobs $j --lat 35 --lon 135 "$C/in" -o "$C/j$j"
    sed "s|$C/j$j|OUT|" "$WORK/out" >"$C/report$j"
done
same "geotag --jobs report" "$C/report1" "$C/report2"
if diff -r "$C/j1" "$C/j2" >/dev/null; then ok; else bad "geotag --jobs 2 wrote other files than --jobs 1"; fi

# --- track: export and round trip -------------------------------------------------------------
# The photos tagged above, exported and read back by geotag on fresh copies: the same positions.
R="$WORK/track"
mkdir -p "$R"
gives 0 "track leaves out a photo without a position" err 'no-exif\.jpg: records no position' "$BIN" track "$T"/*.jpg "$S/no-exif.jpg" -o "$WORK/photos.gpx"
has "track gpx point" "$WORK/photos.gpx" '<trkpt lat="35\.04300000" lon="135\.73200000"><ele>67\.000</ele><time>2008-02-28T02:12:30Z</time><name>lake-progressive\.jpg</name><link href=".*/lake-progressive\.jpg"/>'
expect 0 "track geojson" "$BIN" track "$T"/*.jpg -o - --format geojson
cp "$WORK/out" "$WORK/photos.geojson"
golden "track geojson" track.geojson
for fmt in gpx geojson; do
    mkdir -p "$R/$fmt"
    expect 0 "track round trip $fmt" "$BIN" geotag --gpx "$WORK/photos.$fmt" --max-gap 0 "$S/kyoto-garden.jpg" "$S/lake-progressive.jpg" -o "$R/$fmt"
    for f in kyoto-garden lake-progressive; do
        same "track round trip $fmt $f" <(exiftool -n -s3 -GPSLatitude -GPSLongitude -GPSAltitude "$R/$fmt/$f.jpg") <(exiftool -n -s3 -GPSLatitude -GPSLongitude -GPSAltitude "$T/$f.jpg")
    done
done
expect 0 "track csv by extension" "$BIN" track "$T/lake-progressive.jpg" -o "$WORK/photos.csv"
has "track csv" "$WORK/photos.csv" '^.*lake-progressive\.jpg,2008-02-28T02:12:30Z,35\.04300000,135\.73200000,67\.000$'

# --- noise -----------------------------------------------------------------------------------
expect 0 "noise cloud" "$BIN" noise cloud "$WORK/cloud.pgm"
has "noise cloud header" <(head -c 15 "$WORK/cloud.pgm" | tr '\n' ' '; echo) '^P5 256 256 255 $'
near "noise cloud size" "$(stat -c %s "$WORK/cloud.pgm")" $((15 + 256 * 256)) 0
# The lattice wraps every 256 units: at one pixel a unit, column x and x + 256 are equal.
for kind in cloud bump; do
    expect 0 "noise $kind tiles" "$BIN" noise "$kind" --size 512x4 --scale 1 --octaves 3 "$WORK/wide.pgm"
    tail -c $((512 * 4)) "$WORK/wide.pgm" | od -An -v -tu1 -w512 >"$WORK/rows.txt"
    if awk '{ for (i = 1; i <= 256; i++) if ($i != $(i + 256)) exit 1 }' "$WORK/rows.txt"; then ok; else bad "noise $kind does not tile every 256 units"; fi
    if [ "$(tr -s ' \n' '\n\n' <"$WORK/rows.txt" | sort -u | wc -l)" -gt 8 ]; then ok; else bad "noise $kind is nearly flat"; fi
done
expect 0 "noise bump" "$BIN" noise bump --size 64x64 "$WORK/bump.pgm"
expect 0 "noise ridged bump" "$BIN" noise bump --size 64x64 --ridge "$WORK/ridge.pgm"
if cmp -s "$WORK/bump.pgm" "$WORK/ridge.pgm"; then bad "noise --ridge changes nothing"; else ok; fi
expect 0 "noise offset" "$BIN" noise bump --size 64x64 --offset 7 "$WORK/offset.pgm"
if cmp -s "$WORK/bump.pgm" "$WORK/offset.pgm"; then bad "noise --offset changes nothing"; else ok; fi
# Wrong usage ends with status 2: no command; magvar with a place out of range or half given, an
# unknown option or model, an impossible date or one outside the model; geotag with no mode or
# two, half a position, out of range, many files to one, nothing to write, a track with a typed
# position, a bad offset, an unknown zone, a zone with an offset; info --json with --sjis; decode
# with one argument; track without an output format or with an unknown one; noise out of range.
P="geotag $G/plain.jpg" K="--gpx $S/kyoto-walk.gpx"
for args in "" "magvar 91 0" "magvar 35" "magvar 35 139 --heigth 3" "magvar 0 0 --model x" \
    "magvar 0 0 --date 2008-02-30" "magvar 0 0 --date 1899-12-31" "magvar 0 0 --date 2030-01-01T00:00:01Z" \
    "magvar 0 0 --date 1969-12-31 --model legacy" "$P --lat 1 --lon 2" "$P --lat 1 --lon 2 --patch --in-place" \
    "$P --lat 1 --in-place" "$P --lat 91 --lon 2 --in-place" "$P $G/tokyo.jpg --lat 1 --lon 2 -o $G/x.jpg" \
    "$P --in-place" "$P $K --lat 1 --lon 2 -o $G" "$P $K --offset 9 -o $G" "$P $K --tz Mars/Olympus -o $G" \
    "$P $K --tz UTC --offset +01:00 -o $G" "info --json --sjis $S/tokyo-tower.jpg" "decode $S/no-exif.jpg" \
    "track $T/kyoto-garden.jpg -o -" "track $T/kyoto-garden.jpg -o $WORK/photos.txt" \
    "noise cloud --octaves 21 $WORK/x.pgm" "noise cloud --size 0x5 $WORK/x.pgm" \
    "noise cloud --ridge $WORK/x.pgm" "noise marble $WORK/x.pgm"; do
    # shellcheck disable=SC2086
    expect 2 "usage: $args" "$BIN" $args
done

# --- file safety -----------------------------------------------------------------------------
# Every writing command refuses a target that is not a regular file and leaves it as it was (a
# directory, a FIFO, a device node as root; for geotag also DIR/NAME), leaves no temporary file,
# and "-" is standard output.
F="$WORK/targets"
# target KIND PATH: makes a directory, FIFO or device node at PATH.
target() {
    mkdir -p "$(dirname "$2")"
    case $1 in dir) mkdir "$2" ;; fifo) mkfifo "$2" ;; node) mknod "$2" c 1 3 2>/dev/null ;; esac
}
for kind in dir fifo node; do
    target $kind "$F/$kind" || { echo "cli: not root: device nodes as targets are not checked" >&2; continue; }
    target $kind "$F/in-$kind/no-exif.jpg"
    for cmd in decode noise html geotag geotag-n; do
        case $cmd in
            decode) args=(decode "$S/no-exif.jpg" "$F/$kind") ;;
            noise) args=(noise cloud --size 8x8 "$F/$kind") ;;
            html) args=(html "$S/html-comment.jpg" "$F/$kind") ;;
            geotag) args=(geotag "$S/no-exif.jpg" --lat 1 --lon 2 -o "$F/in-$kind") ;;
            geotag-n) [ $kind = dir ] && continue; args=(geotag "$S/no-exif.jpg" --lat 1 --lon 2 -n -o "$F/$kind") ;;
        esac
        t=${args[-1]}
        [ $cmd = geotag ] && t=$t/no-exif.jpg
        gives 1 "$cmd onto a $kind" err "refusing to replace $t: " timeout 20 "$BIN" "${args[@]}"
        [ "$(stat -c %F "$t")" = "$(stat -c %F "$F/$kind")" ] && ok || bad "$cmd onto a $kind: the target changed"
    done
done
if ls -A "$F" "$F"/* | grep -q photogeo-; then bad "a refused write left a temporary file"; else ok; fi
expect 0 "noise to standard output" "$BIN" noise bump --size 8x8 -
near "noise to standard output" "$(stat -c %s "$WORK/out")" $((11 + 64)) 0
expect 0 "html to standard output" "$BIN" html "$S/html-comment.jpg" -
same "html to standard output" "$WORK/out" "$WORK/page.html"
cp "$S/no-exif.jpg" "$F/old.jpg"
touch -d '2001-02-03 04:05:06' "$F/old.jpg"
chmod 640 "$F/old.jpg"
for mode in "--in-place" "-o $F/copy.jpg"; do
    expect 0 "geotag --keep-time $mode" "$BIN" geotag "$F/old.jpg" --lat 1 --lon 2 --keep-time $mode
    out=${mode#-o }
    [ "$out" = --in-place ] && out="$F/old.jpg"
    has "geotag --keep-time $mode" <(stat -c '%y' "$out") '^2001-02-03 04:05:06'
done
has "geotag --in-place keeps the permissions" <(stat -c '%a' "$F/old.jpg") '^640$'

# --- damaged files ---------------------------------------------------------------------------
# Every command meets truncated photos with a plain failure or a partial result, never a crash.
crashes=0
for f in tokyo-tower kyoto-garden lake-progressive; do
    size=$(stat -c %s "$S/$f.jpg")
    for ((n = 0; n < size; n += 61)); do
        head -c "$n" "$S/$f.jpg" >"$WORK/cut.jpg"
        for cmd in "info --json @" "decode @ $WORK/cut.bmp" "geotag @ --lat 1 --lon 2 -o $WORK/cut-out.jpg" "bearing @"; do
            # shellcheck disable=SC2086
            "$BIN" ${cmd//@/$WORK/cut.jpg} >/dev/null 2>"$WORK/err"
            rc=$?
            if [ $rc -gt 1 ]; then
                crashes=$((crashes + 1))
                echo "  | $cmd on $f cut at $n bytes: exit status $rc" >&2
                sed 's/^/  | /' "$WORK/err" | head -5 >&2
            fi
        done
    done
done
if [ $crashes -eq 0 ]; then ok; else bad "$crashes runs on truncated photos ended abnormally"; fi

# --- progress on a terminal ------------------------------------------------------------------
if command -v script >/dev/null; then
    many=()
    for i in $(seq 1 40); do many+=("$S/tokyo-tower.jpg"); done
    script -qec "$(printf '%q ' "$BIN" info --quick "${many[@]}") >/dev/null" /dev/null </dev/null >"$WORK/tty.txt" 2>&1
    has "progress on a terminal" "$WORK/tty.txt" '\[40/40\]'
    "$BIN" info --quick "${many[@]}" >/dev/null 2>"$WORK/err"
    if [ -s "$WORK/err" ]; then bad "progress shown when stderr is not a terminal"; else ok; fi
fi

echo "cli: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
