#!/usr/bin/env bash
# Integration test of the photogeo command-line tool: runs the built (or installed) binary
# against copies of the bundled samples and checks outputs, written files and exit statuses.
#   bash tests/cli/run.sh PATH/TO/photogeo PATH/TO/samples
# Independent oracles where they exist: exiftool for the EXIF that geotag writes, ImageMagick
# for decoded pixels, iconv for converted text.
set -u
BIN=$1
SAMPLES=$2
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
export LC_ALL=C.UTF-8
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
    if cmp -s "$2" "$3"; then ok; else bad "$1: $(basename "$2") and $(basename "$3") differ"; fi
}

# --- program ---------------------------------------------------------------------------------
expect 0 "--version" "$BIN" --version
has "--version" "$WORK/out" '^photogeo [0-9]+\.[0-9]+\.[0-9]+$'
expect 0 "--help" "$BIN" --help
for cmd in $(awk '/^Commands:/ { on = 1; next } on && /^  [a-z]/ { print $1 }' "$WORK/out"); do
    expect 0 "$cmd --help" "$BIN" "$cmd" --help
    has "$cmd --help" "$WORK/out" "^Usage: photogeo $cmd"
done
expect 2 "no command" "$BIN"
expect 2 "unknown command" "$BIN" frobnicate
has "unknown command" "$WORK/err" "unknown command 'frobnicate'"

# --- magvar ----------------------------------------------------------------------------------
# Inside the Japan box the regional approximation gives about -6.80 at 35 N 139 E on any date.
expect 0 "magvar Japan" "$BIN" magvar 35 139 --date 2008-02-28
near "magvar Japan" "$(awk '{ print $1 }' "$WORK/out")" -6.7993 0.0001
has "magvar Japan" "$WORK/out" '\(6\.7993 W\)'
# Sydney, mid-2005: published declination about 12.6 degrees east.
expect 0 "magvar Sydney" "$BIN" magvar -33.87 151.21 --date 2005-06-01
near "magvar Sydney" "$(awk '{ print $1 }' "$WORK/out")" 12.6 0.3
expect 2 "magvar latitude out of range" "$BIN" magvar 91 0
expect 2 "magvar bad date" "$BIN" magvar 0 0 --date 2008-02-30
has "magvar bad date" "$WORK/err" "--date"
expect 2 "magvar date past 2038" "$BIN" magvar 0 0 --date 2040-01-01
expect 2 "magvar missing LON" "$BIN" magvar 35
expect 2 "magvar unknown option" "$BIN" magvar 35 139 --heigth 3

# --- kanji -----------------------------------------------------------------------------------
printf 'カナ漢字テスト ABC\n二行目\n' >"$WORK/text.utf8"
iconv -f UTF-8 -t EUC-JP "$WORK/text.utf8" >"$WORK/text.euc"
iconv -f UTF-8 -t CP932 "$WORK/text.utf8" >"$WORK/text.sjis"
iconv -f UTF-8 -t ISO-2022-JP "$WORK/text.utf8" >"$WORK/text.jis"
for pair in euc:sjis sjis:euc sjis:jis jis:sjis euc:jis; do
    from=${pair%%:*} to=${pair##*:}
    expect 0 "kanji $from to $to" "$BIN" kanji --to "$to" <"$WORK/text.$from"
    same "kanji $from to $to" "$WORK/out" "$WORK/text.$to"
done
# Half-width katakana are widened by default and kept with the x option.
printf 'ｶﾀｶﾅ\n' | iconv -f UTF-8 -t CP932 >"$WORK/hw.sjis"
expect 0 "kanji widens kana" "$BIN" kanji --to euc --options S <"$WORK/hw.sjis"
has "kanji widens kana" <(iconv -f EUC-JP -t UTF-8 "$WORK/out") '^カタカナ$'
expect 0 "kanji keeps kana" "$BIN" kanji --to sjis --options Sx <"$WORK/hw.sjis"
same "kanji keeps kana" "$WORK/out" "$WORK/hw.sjis"
expect 2 "kanji bad encoding" "$BIN" kanji --to utf8 </dev/null
expect 2 "kanji Latin-1 to Shift-JIS" "$BIN" kanji --to sjis --options l </dev/null
printf 'a\0b' >"$WORK/nul.txt"
expect 1 "kanji NUL byte" "$BIN" kanji <"$WORK/nul.txt"
has "kanji NUL byte" "$WORK/err" 'NUL'

echo "cli: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
