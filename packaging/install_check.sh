#!/usr/bin/env bash
# Installs the build into a scratch DESTDIR and checks the tree a desktop
# needs: exactly the expected files, a menu entry whose program, icon and
# file type are all installed, icons of the right sizes, a manual page that
# lists every option of --help, and the installed program plotting the
# installed sample.
#
#   install_check.sh BUILD_DIR PREFIX VERSION "16;22;...;256"
set -euo pipefail
build="$1" prefix="$2" version="$3"
IFS=';' read -r -a sizes <<<"$4"

tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
have() { command -v "$1" >/dev/null 2>&1; }

if ! DESTDIR="$tmp/dest" cmake --install "$build" >"$tmp/install.log" 2>&1; then
  cat "$tmp/install.log" >&2
  echo "FAIL: cmake --install" >&2
  exit 1
fi
root="$tmp/dest$prefix"
share="$root/share"

# --- Exactly the expected files, nothing more, nothing missing.
expected=(
  bin/tavelo
  share/applications/tavelo.desktop
  share/mime/packages/tavelo.xml
  share/icons/hicolor/scalable/apps/tavelo.svg
  share/man/man1/tavelo.1.gz
  share/doc/tavelo/README.md
  share/tavelo/sample/line.su
  share/tavelo/sample/line.NMO
  share/tavelo/sample/line.txt
  share/tavelo/sample/TAVELO3.ini
  share/tavelo/sample/Korvane.ini
)
for s in "${sizes[@]}"; do expected+=("share/icons/hicolor/${s}x${s}/apps/tavelo.png"); done
# Every file under DESTDIR, so one installed outside the prefix shows too.
printf "$prefix/%s\n" "${expected[@]}" | sed 's|//*|/|g' | sort >"$tmp/expected"
(cd "$tmp/dest" && find . \( -type f -o -type l \) | sed 's|^\.||' | sort) >"$tmp/installed"
if ! diff -u "$tmp/expected" "$tmp/installed" >"$tmp/manifest.diff"; then
  fail "installed files differ from the expected list (- missing, + extra):"
  tail -n +3 "$tmp/manifest.diff" >&2
fi

[ -x "$root/bin/tavelo" ] || fail "bin/tavelo is not executable"
if have readelf && readelf -d "$root/bin/tavelo" 2>/dev/null | grep -E 'R(UN)?PATH' | grep -qF "$build"; then
  fail "bin/tavelo still looks for libraries in the build folder"
fi

# --- Version from the one place it is set.
got="$("$root/bin/tavelo" --version)" || fail "tavelo --version failed"
[ "$got" = "tavelo $version" ] || fail "tavelo --version printed \"$got\", not \"tavelo $version\""

# --- Icons: PNG files of the sizes their folders name, not blank.
png_size() {  # width and height from the PNG header
  local w h
  read -r w h < <(od -An -tu4 --endian=big -j16 -N8 "$1")
  echo "${w}x${h}"
}
for s in "${sizes[@]}"; do
  png="$share/icons/hicolor/${s}x${s}/apps/tavelo.png"
  [ -f "$png" ] || continue
  [ "$(head -c 8 "$png" | od -An -tx1 | tr -d ' \n')" = "89504e470d0a1a0a" ] || fail "$png is not a PNG file"
  [ "$(png_size "$png")" = "${s}x${s}" ] || fail "$png is $(png_size "$png") pixels, not ${s}x${s}"
done
big="$share/icons/hicolor/256x256/apps/tavelo.png"
# A blank 256 px image compresses to a few hundred bytes; the drawing to several kB.
if [ -f "$big" ] && [ "$(stat -c %s "$big")" -lt 3000 ]; then fail "$big looks blank"; fi
grep -q '<svg' "$share/icons/hicolor/scalable/apps/tavelo.svg" || fail "the scalable icon is not SVG"

# --- Menu entry: valid, and everything it names is installed.
desktop="$share/applications/tavelo.desktop"
if [ -f "$desktop" ]; then
  if have desktop-file-validate; then
    desktop-file-validate "$desktop" >&2 || fail "desktop-file-validate rejects tavelo.desktop"
  else
    echo "note: desktop-file-validate is not installed; entry checked by hand only" >&2
  fi
  key() { sed -n "s/^$1=//p" "$desktop" | head -n 1; }
  exec_line="$(key Exec)"
  [ -x "$root/bin/${exec_line%% *}" ] || fail "Exec=$exec_line names no installed program"
  case " $exec_line " in *" %f "*) ;; *) fail "Exec=$exec_line does not pass the file as %f" ;; esac
  icon="$(key Icon)"
  [ -f "$share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "Icon=$icon has no installed SVG"
  [ -f "$share/icons/hicolor/48x48/apps/$icon.png" ] || fail "Icon=$icon has no installed 48 px PNG"
  IFS=';' read -r -a types <<<"$(key MimeType)"
  [ ${#types[@]} -gt 0 ] || fail "the entry opens no file type"
  for t in "${types[@]}"; do
    grep -q "<mime-type type=\"$t\"" "$share/mime/packages/tavelo.xml" ||
      fail "MimeType $t is not defined in mime/packages/tavelo.xml"
  done
fi

# --- File type: shared-mime-info accepts it and maps .su files to it.
if have update-mime-database; then
  mkdir -p "$tmp/mime/packages"
  cp "$share/mime/packages/tavelo.xml" "$tmp/mime/packages/"
  if update-mime-database "$tmp/mime" >"$tmp/mime.log" 2>&1; then
    for glob in '\*\.su' '\*\.SU'; do
      grep -q "^[0-9]*:application/x-seismic-unix:$glob\(:\|\$\)" "$tmp/mime/globs2" ||
        fail "the type database does not map ${glob//\\/} to application/x-seismic-unix"
    done
    for glob in '\*\.sgy' '\*\.segy'; do
      grep -q "^[0-9]*:application/x-segy:$glob\(:\|\$\)" "$tmp/mime/globs2" ||
        fail "the type database does not map ${glob//\\/} to application/x-segy"
    done
  else
    cat "$tmp/mime.log" >&2
    fail "update-mime-database rejects mime/packages/tavelo.xml"
  fi
elif have xmllint; then
  xmllint --noout "$share/mime/packages/tavelo.xml" || fail "tavelo.xml is not well-formed XML"
fi

# --- Manual page: renders cleanly and lists every option --help lists.
man="$share/man/man1/tavelo.1.gz"
if [ -f "$man" ]; then
  gzip -dc "$man" >"$tmp/tavelo.1" || fail "the manual page is not gzip data"
  if have groff; then
    groff -man -ww -z -Tutf8 "$tmp/tavelo.1" 2>"$tmp/groff.log" || fail "groff cannot render the manual page"
    [ ! -s "$tmp/groff.log" ] || { fail "groff warns about the manual page:"; cat "$tmp/groff.log" >&2; }
  fi
  grep -q "^\.TH TAVELO 1 .*\"tavelo $version\"" "$tmp/tavelo.1" || fail "the manual page does not carry version $version"
  options="$("$root/bin/tavelo" --help | grep -o -- '--[a-z][a-z-]*' | sort -u)"
  [ -n "$options" ] || fail "tavelo --help lists no options"
  for o in $options; do
    grep -qF -- "${o//-/\\-}" "$tmp/tavelo.1" || fail "the manual page does not mention $o"
  done
fi

# --- The installed program plots the installed sample, leaving it untouched.
sample="$share/tavelo/sample"
if [ -f "$sample/line.su" ]; then
  before="$(cd "$sample" && sha256sum ./*)"
  mkdir -p "$tmp/settings" "$tmp/home"
  cp "$sample/TAVELO3.ini" "$sample/Korvane.ini" "$tmp/settings/"
  if HOME="$tmp/home" XDG_CONFIG_HOME="$tmp/home/.config" XDG_RUNTIME_DIR="$tmp" \
      "$root/bin/tavelo" --settings-dir "$tmp/settings" --export "$tmp/line.pdf" "$sample/line.su" \
      2>"$tmp/export.log"; then
    [ "$(head -c 5 "$tmp/line.pdf")" = "%PDF-" ] || fail "the exported sample is not a PDF"
    if have pdftotext; then
      text="$(pdftotext "$tmp/line.pdf" -)"
      for word in line.su CDP Fold Elevation; do
        grep -qF "$word" <<<"$text" || fail "the exported sample page has no \"$word\""
      done
    fi
  else
    cat "$tmp/export.log" >&2
    fail "the installed tavelo could not export the installed sample"
  fi
  [ "$before" = "$(cd "$sample" && sha256sum ./*)" ] || fail "plotting the installed sample changed it"
fi

if [ "$failures" -gt 0 ]; then
  echo "$failures install check(s) failed" >&2
  exit 1
fi
echo "installed tree under $prefix checked: ${#expected[@]} files"
