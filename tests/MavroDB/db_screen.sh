#!/usr/bin/env bash
# The database page on the screen: dbhost selects the fields of table Pupil
# and reports the node's and the list header's screen rectangles; in a
# screenshot the node's icon has the colour the icon script gives icon 217,
# and the list's header starts a third of the page's width in (±2 px).
# Arguments: emulator, dbhost, icon script, work folder.
set -u
EMU=$1 HOST=$2 ICONS=$3 WORK=$4
stop_host() {
  [ -n "${host:-}" ] || return 0
  kill -- "-$host" 2>/dev/null
  host=
}
fail() {
  echo "FAIL: $*"
  [ -f "$WORK/report.txt" ] && iconv -f GBK -t UTF-8 -c "$WORK/report.txt"
  stop_host
  exit 1
}
trap stop_host EXIT
rm -rf "$WORK" && mkdir -p "$WORK"
report="$WORK/report.txt"
# Windows are shown, not answered.
unset MAVRO_AUTOANSWER
setsid "$EMU" "$HOST" "$(winepath -w "$WORK")" "内部表/Pupil/字段" \
  "report=$(winepath -w "$report")" hold=20000 >"$WORK/out.txt" 2>&1 &
host=$!
for _ in $(seq 1 300); do
  grep -aq READY "$report" 2>/dev/null && break
  kill -0 "$host" 2>/dev/null || fail "dbhost ended early: $(cat "$WORK/out.txt")"
  sleep 0.1
done
grep -aq READY "$report" 2>/dev/null || fail "no report within 30 s"
sleep 0.5
import -window root "$WORK/page.png" || fail "screenshot"
read -r _ pl pt pr pb < <(grep -a '^PAGE ' "$report" | tr -d '\r')
read -r _ nl nt nr nb < <(grep -a '^NODE ' "$report" | tr -d '\r')
read -r _ hl ht hr hb < <(grep -a '^HEADER ' "$report" | tr -d '\r')
[ -n "${nl:-}" ] && [ -n "${hl:-}" ] && [ -n "${pl:-}" ] || fail "rectangles missing"
pixel() { convert "$WORK/page.png" -format "%[hex:p{$1,$2}]" info: | cut -c1-6; }
# The icon stands left of the label: 16 pixels ending a few before it.
want=$(python3 "$ICONS" --colour 217)
y=$(((nt + nb) / 2))
got=$(pixel $((nl - 10)) "$y")
[ "$got" = "$want" ] || fail "icon pixel ($((nl - 10)),$y) is $got, expected $want"
third=$(((pr - pl) / 3))
offset=$((hl - pl - third))
[ "${offset#-}" -le 2 ] || fail "header at $((hl - pl)) of a page $((pr - pl)) wide (third $third)"
iconv -f GBK -t UTF-8 -c "$report" | grep -a -A5 '^list:'
echo "PASS"
