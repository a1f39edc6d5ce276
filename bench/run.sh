#!/usr/bin/env bash
# Benchmark: whole-process batch exports of synthetic SU lines in every
# display type and format, the preview's redraw, peak memory, and the same
# plots made with numpy + matplotlib, measured in the same run.
#
#   bench/run.sh [BUILD_DIR] [WORK_DIR]
#
# BUILD_DIR (default: build) holds a Release build (src/tavelo,
# bench/tavelo_gen, bench/bench_replay); WORK_DIR (default: a temporary
# folder) receives the data and the outputs. Writes bench/results.md.
# QUICK=1 runs the small line only.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
work=${2:-$(mktemp -d /tmp/tavelo-bench.XXXXXX)}
mkdir -p "$work"
tavelo=$build/src/tavelo
gen=$build/bench/tavelo_gen
replay=$build/bench/bench_replay
results=$here/results.md
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$work/runtime}
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"

for tool in "$tavelo" "$gen" "$replay"; do
  [ -x "$tool" ] || { echo "missing $tool: build first (cmake --build $build)" >&2; exit 1; }
done

# matplotlib and numpy from Debian, for the comparison only.
python=/usr/bin/python3
if ! "$python" -c 'import matplotlib, numpy' 2>/dev/null; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  $sudo apt-get install -y -qq --no-install-recommends python3-matplotlib python3-numpy >&2
fi

# One timed run: prints "SECONDS PEAK_KB" (wall clock, maximum resident set).
timed() {
  local log=$work/time.log
  /usr/bin/time -f '%e %M' -o "$log" "$@" >/dev/null 2>"$work/stderr.log" || {
    echo "failed: $*" >&2
    cat "$work/stderr.log" >&2
    echo "- -"
    return 0
  }
  tail -n 1 "$log"
}

size_of() { stat -c %s "$1" 2>/dev/null || echo 0; }
mb() { awk -v b="$1" 'BEGIN { printf "%.1f", b / 1048576 }'; }
ratio2() { awk -v a="$1" -v b="$2" 'BEGIN { if (a + 0 > 0 && b + 0 > 0) printf "%.2f", a / b; else print "-" }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a + 0 > 0 && b + 0 > 0) printf "%.1f", a / b; else print "-" }'; }

names=("wiggle + area" "wiggle" "positive only" "colour" "grey" "colour + wiggle")

# The PDF's text: a Latin title against a Cyrillic + Greek + Polish one (both
# in embedded font subsets), 2000 traces, wiggle + area; median of 5 runs.
title_rows() {
  local su=$work/line_2000x1500.su
  [ -f "$su" ] || "$gen" --traces 2000 --samples 1500 --dt 2000 "$su"
  local latin="Profile 7 - Omega, Lodz" unicode="Профиль 7 – Ωμέγα, Łódź"
  echo "## PDF text: Latin against Unicode title (2000 traces, wiggle + area)"
  echo
  echo "Median of 5 runs each; the orientation texts in the title's script too."
  echo
  echo "| title | time (s) | file (bytes) |"
  echo "|---|---:|---:|"
  local name title times t
  declare -A median size
  for name in latin unicode; do
    title=${!name}
    times=()
    for _ in 1 2 3 4 5; do
      read -r t _ <<<"$(timed "$tavelo" --settings-dir "$work/settings" --export "$work/title_$name.pdf" \
        "${paper[@]}" --set combo1=0 --set "Text1=$title" --set "Text13=${title%% *}" --set "Text14=${title##* }" "$su")"
      times+=("$t")
    done
    median[$name]=$(printf '%s\n' "${times[@]}" | sort -n | sed -n 3p)
    size[$name]=$(size_of "$work/title_$name.pdf")
    echo "| $title | ${median[$name]} | ${size[$name]} |"
  done
  echo
  echo "Unicode / Latin: $(awk -v a="${median[unicode]}" -v b="${median[latin]}" 'BEGIN { printf "%.3f", a / b }') in time" \
    "(bound 1.10), $(( ${size[unicode]} - ${size[latin]} )) bytes more in the file."
  echo
  rm -f "$work/title_latin.pdf" "$work/title_unicode.pdf"
}
if [ "${TITLES_ONLY:-0}" = 1 ]; then
  title_rows
  exit 0
fi
paper=(--paper 1200x900 --set Text4=1100 --set Text5=800)

declare -A run_time run_size run_peak run_file run_samples
lines=("2000 1500")
[ "${QUICK:-0}" = 1 ] || lines+=("10000 2000")

{
  echo "# TAVELO benchmark"
  echo
  echo "$(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg);"
  echo "section 1100 x 800 mm on 1200 x 900 mm paper; times are whole processes (wall clock)."
  echo
} >"$results.head"
: >"$results.tmp"

for line in "${lines[@]}"; do
  read -r traces samples <<<"$line"
  su=$work/line_${traces}x${samples}.su
  [ -f "$su" ] || "$gen" --traces "$traces" --samples "$samples" --dt 2000 "$su"
  filesize=$(size_of "$su")
  cat "$su" >/dev/null  # warm the cache: every run below reads it from memory
  start=$(date +%s%N)
  cat "$su" >/dev/null
  floor=$(awk -v ns=$(($(date +%s%N) - start)) 'BEGIN { printf "%.3f", ns / 1e9 }')

  {
    echo "## ${traces} traces x ${samples} samples ($(mb "$filesize") MB)"
    echo
    echo "Floor (reading the file once): ${floor} s."
    echo
    echo "| display type | format | time (s) | file (MB) | peak memory (MB) | memory / SU file |"
    echo "|---|---|---:|---:|---:|---:|"
  } >>"$results.tmp"
  for mode in 0 1 2 3 4 5; do
    # The long line: PNG and SVG of its wiggle + area page only.
    formats=(pdf svg png wmf)
    [ "$traces" -gt 2000 ] && formats=(pdf wmf) && [ "$mode" = 0 ] && formats=(pdf svg png wmf)
    for format in "${formats[@]}"; do
      out=$work/out_${traces}_${mode}.${format}
      dpi=()
      [ "$format" = png ] && dpi=(--dpi 150)
      read -r seconds peak <<<"$(timed "$tavelo" --settings-dir "$work/settings" --export "$out" \
        "${paper[@]}" "${dpi[@]}" --set combo1=$mode "$su")"
      if [ "$mode" = 0 ]; then
        run_time[$traces/$format]=$seconds
        run_size[$traces/$format]=$(size_of "$out")
        run_peak[$traces/$format]=$((${peak/-/0} * 1024))
        run_file[$traces]=$filesize
        run_samples[$traces]=$samples
      fi
      [ "$mode" = 0 ] && [ "$format" = pdf ] && eval "pdf_${traces}_wiggle=(\$seconds \$(size_of \"\$out\"))"
      [ "$mode" = 3 ] && [ "$format" = pdf ] && eval "pdf_${traces}_colour=(\$seconds \$(size_of \"\$out\"))"
      [ "$mode" = 4 ] && [ "$format" = pdf ] && eval "pdf_${traces}_grey=(\$seconds \$(size_of \"\$out\"))"
      echo "| ${names[$mode]} | $format | $seconds | $(mb "$(size_of "$out")") | $(mb $((${peak/-/0} * 1024))) | $(ratio $((${peak/-/0} * 1024)) "$filesize") |" >>"$results.tmp"
      echo "$traces ${names[$mode]} $format: $seconds s, peak $peak KB" >&2
      rm -f "$out"
    done
  done
  echo >>"$results.tmp"
done

title_rows >>"$results.tmp"

# The preview: the page's redraw into a window-sized image.
su=$work/line_2000x1500.su
{
  echo "## Preview redraw (2000 traces, 1280 x 800 pixels)"
  echo
  echo "The preview widget, the page fitted in a 1280 x 800 view: its first picture (a"
  echo "replay; drawn in the background when slow, the first paint then showing the"
  echo "sheet white, timed as \"sheet\"), a redraw from its cached picture (median of 10), a paint while the"
  echo "window is being resized (the cached picture scaled, median of 10 sizes), the"
  echo "paint once the exact picture at the new size is there (replayed in the background"
  echo "meanwhile; \"-\": there at once) and how long after the last resize it was ready."
  echo "The window edge is dragged 40 x 30 pixels in 10 steps, after the levels of the"
  echo "fitted zoom next to the page's own are drawn in the background (\"levels\": how long"
  echo "that took once the picture was there). Last, the view goes to three quarters of its"
  echo "size, beyond those levels (\"far\": how long until its exact picture was ready)."
  echo
  echo "| display type | first picture (ms) | sheet (ms) | redraw (ms) | levels (ms) | while resizing (ms) | once resized (ms) | ready after (ms) | far (ms) |"
  echo "|---|---:|---:|---:|---:|---:|---:|---:|---:|"
} >>"$results.tmp"
for mode in 0 3; do
  "$tavelo" --settings-dir "$work/settings" --export "$work/preview.wmf" --dump "$work/preview.txt" \
    "${paper[@]}" --set combo1=$mode "$su" >/dev/null 2>&1
  read -r _ first _ redraw _ resizing _ settled _ ready _ _ _ sheet _ levels _ far _ <<<"$("$replay" \
    "$work/preview.txt" --preview --size 1280x800 --repeat 10 2>/dev/null)"
  echo "| ${names[$mode]} | $first | $sheet | $redraw | $levels | $resizing | $settled | $ready | $far |" >>"$results.tmp"
  [ "$mode" = 0 ] && preview=("$first" "$redraw" "$resizing" "$settled" "$ready" "$sheet" "$levels" "$far")
  rm -f "$work/preview.txt" "$work/preview.wmf"
done
echo >>"$results.tmp"

# Scrolling a 400 % view of the long line's page, a single step at a time.
scroll=(- - - -)
if [ "${QUICK:-0}" != 1 ]; then
  "$tavelo" --settings-dir "$work/settings" --export "$work/scroll.wmf" --dump "$work/scroll.txt" \
    "${paper[@]}" --set combo1=0 "$work/line_10000x2000.su" >/dev/null 2>&1
  read -r _ sfirst _ sstep _ smax _ ssteps _ <<<"$("$replay" "$work/scroll.txt" --preview --zoom 400 --size 1280x800 \
    --repeat 20 2>/dev/null)"
  scroll=("$sfirst" "$sstep" "$smax" "$ssteps")
  {
    echo "## Preview scroll (10000 traces, 400 %, 1280 x 800 pixels)"
    echo
    echo "The preview at 400 %: its first paint at the page's top-left corner, then single"
    echo "steps of the scroll bars (down, then right)."
    echo
    echo "| first paint (ms) | step, median (ms) | step, worst (ms) | steps |"
    echo "|---:|---:|---:|---:|"
    echo "| $sfirst | $sstep | $smax | $ssteps |"
    echo
  } >>"$results.tmp"
  rm -f "$work/scroll.txt" "$work/scroll.wmf"
fi

# numpy + matplotlib on the same file, same paper size.
read -r mpl_wiggle _ <<<"$(timed "$python" "$here/mpl_section.py" wiggle "$su" "$work/mpl_wiggle.pdf")"
read -r mpl_grey _ <<<"$(timed "$python" "$here/mpl_section.py" grey "$su" "$work/mpl_grey.pdf")"
mpl_wiggle_size=$(size_of "$work/mpl_wiggle.pdf")
mpl_grey_size=$(size_of "$work/mpl_grey.pdf")
{
  echo "## Against numpy + matplotlib (2000 x 1500, PDF, same run)"
  echo
  echo "| plot | matplotlib (s) | matplotlib (MB) | TAVELO (s) | TAVELO (MB) | speed-up |"
  echo "|---|---:|---:|---:|---:|---:|"
  echo "| wiggle + positive fill | $mpl_wiggle | $(mb "$mpl_wiggle_size") | ${pdf_2000_wiggle[0]} | $(mb "${pdf_2000_wiggle[1]}") | $(ratio "$mpl_wiggle" "${pdf_2000_wiggle[0]}") |"
  echo "| grey image / amplitude grey | $mpl_grey | $(mb "$mpl_grey_size") | ${pdf_2000_grey[0]} | $(mb "${pdf_2000_grey[1]}") | $(ratio "$mpl_grey" "${pdf_2000_grey[0]}") |"
  echo "| grey image / amplitude colour | $mpl_grey | $(mb "$mpl_grey_size") | ${pdf_2000_colour[0]} | $(mb "${pdf_2000_colour[1]}") | $(ratio "$mpl_grey" "${pdf_2000_colour[0]}") |"
  echo
  echo "Reproduce: \`cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release && cmake --build build && bench/run.sh build\`"
} >>"$results.tmp"

# The exports and the preview against their goals, the PDF the yardstick.
status() { awk -v v="$1" -v bound="$2" 'BEGIN { if (v == "-" || v == "") print "not measured"; else if (v + 0 <= bound + 0) print "met"; else print "not met" }'; }
{
  echo "## Against the goals (wiggle + area; PNG at 150 dpi)"
  echo
  echo "Time and size against the same line's PDF, peak memory against its SU file."
  echo
  echo "| line | format | time (s) | file (MB) | peak (MB) | time / PDF | size / PDF | peak / SU file | goal | status |"
  echo "|---|---|---:|---:|---:|---:|---:|---:|---|---|"
  for traces in 2000 10000; do
    [ -n "${run_time[$traces/pdf]:-}" ] || continue
    for format in pdf png svg; do
      t=${run_time[$traces/$format]}; b=${run_size[$traces/$format]}; p=${run_peak[$traces/$format]}
      tr=$(ratio2 "$t" "${run_time[$traces/pdf]}"); sr=$(ratio2 "$b" "${run_size[$traces/pdf]}")
      mr=$(ratio2 "$p" "${run_file[$traces]}")
      case $format in
        pdf) goal="the yardstick"; verdict="-" ;;
        png) goal="time ≤ 3 × PDF"; verdict=$(status "$tr" 3) ;;
        svg) goal="time and size ≤ 3 × PDF"
             verdict=$(status "$tr" 3); [ "$verdict" = met ] && verdict=$(status "$sr" 3) ;;
      esac
      if [ "$traces" = 10000 ] && [ "$format" != pdf ]; then
        goal="$goal; peak < 3 × SU file"
        [ "$verdict" = met ] && verdict=$(awk -v r="$mr" 'BEGIN { print (r + 0 < 3) ? "met" : "not met" }')
      fi
      echo "| $traces x ${run_samples[$traces]} ($(mb "${run_file[$traces]}") MB) | $format | $t | $(mb "$b") | $(mb "$p") | $tr | $sr | $mr | $goal | $verdict |"
    done
  done
  echo
  echo "| preview (1280 x 800) | figure (ms) | goal | status |"
  echo "|---|---:|---|---|"
  echo "| first picture, 2000 traces fitted | ${preview[0]} | < 100 ms | $(status "${preview[0]}" 99.99) |"
  echo "| first paint (the sheet, the picture drawn in the background) | ${preview[5]} | | |"
  echo "| redraw | ${preview[1]} | | |"
  echo "| while resizing | ${preview[2]} | | |"
  echo "| exact picture once resized: ready after the last resize | ${preview[4]} | < 50 ms (\"-\": exact at every size) | $( [ "${preview[4]}" = - ] && echo met || status "${preview[4]}" 49.99) |"
  echo "| exact picture once resized: its paint | ${preview[3]} | | |"
  echo "| the levels next to the fitted one, drawn in the background | ${preview[6]} | | |"
  echo "| exact picture at 3/4 of the view, beyond those levels: ready after | ${preview[7]} | < 50 ms | $( [ "${preview[7]}" = - ] && echo met || status "${preview[7]}" 49.99) |"
  echo "| scroll step at 400 %, 10000 traces: median | ${scroll[1]} | < 50 ms | $(status "${scroll[1]}" 49.99) |"
  echo "| scroll step at 400 %, 10000 traces: worst | ${scroll[2]} | < 50 ms | $(status "${scroll[2]}" 49.99) |"
  echo
} >"$results.goals"
cat "$results.head" "$results.goals" "$results.tmp" >"$results"
rm -f "$results.head" "$results.goals" "$results.tmp"
cat "$results"
