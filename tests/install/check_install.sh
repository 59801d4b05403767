#!/usr/bin/env bash
# Installs a build into a scratch root as the Debian package lays it out
# (prefix /usr) and checks what a desktop and a shell find there.
#   check_install.sh BUILD-DIR INSTALLED-FILES SCRATCH-ROOT
set -euo pipefail
build=$1
expected=$2
root=$3
id=example.venko.Quarvel
usr=$root/usr
export LC_ALL=C.UTF-8

rm -rf "$root"
DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# The file list, nothing missing and nothing more.
if ! diff -u "$expected" <(cd "$root" && find . -type f -o -type l | sed 's|^\./||' | sort); then
  fail "the installed files are not those of $(basename "$expected")"
fi

# The desktop entry and the metadata, as the desktop's tools read them.
desktop=$usr/share/applications/$id.desktop
metainfo=$usr/share/metainfo/$id.metainfo.xml
desktop-file-validate "$desktop" || fail "desktop-file-validate $desktop"
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate $metainfo"
# "Open with" hands the window one file; the entry's icon is one installed.
grep -qx 'Exec=quarvel %f' "$desktop" || fail "the desktop entry does not pass a file to quarvel"
grep -qx 'MimeType=text/plain;' "$desktop" || fail "the desktop entry does not open text files"
icon=$(sed -n 's/^Icon=//p' "$desktop")
[[ -f $usr/share/icons/hicolor/scalable/apps/$icon.svg ]] || fail "no icon named $icon"
grep -q "<launchable type=\"desktop-id\">$(basename "$desktop")</launchable>" "$metainfo" ||
  fail "the metadata launches another desktop entry"

# Each PNG is as large as its folder says (width and height from its header).
for png in "$usr"/share/icons/hicolor/*x*/apps/"$id".png; do
  folder=${png#"$usr"/share/icons/hicolor/}
  folder=${folder%%/*}
  read -r width height < <(od -An -tu1 -j16 -N8 "$png" |
    awk '{ print $1*16777216 + $2*65536 + $3*256 + $4, $5*16777216 + $6*65536 + $7*256 + $8 }')
  [[ ${width}x$height == "$folder" ]] || fail "$png is ${width}x$height"
done

# Both programs run from the tree and tell the release of the metadata.
release=$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' "$metainfo")
[[ $("$usr/bin/quarvel-cli" --version) == "quarvel-cli $release" ]] ||
  fail "quarvel-cli --version is not $release"
[[ $("$usr/bin/quarvel" --version) == "quarvel $release" ]] || fail "quarvel --version is not $release"

# The manual pages render without a warning, and quarvel-cli's names every
# option of its --help.
for page in quarvel quarvel-cli; do
  warnings=$(MANWIDTH=80 man --warnings -l "$usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null)
  [[ -z $warnings ]] || fail "$page(1): $warnings"
done
manual=$(MANWIDTH=200 man -l "$usr/share/man/man1/quarvel-cli.1.gz" 2>/dev/null | sed 's/.\x08//g')
help_options=$("$usr/bin/quarvel-cli" --help | grep -o -- '--[a-z][a-z-]*' | sort -u)
for option in $help_options; do
  grep -q -- "$option" <<<"$manual" || fail "quarvel-cli(1) does not name $option"
done

# The completion, run as bash-completion runs it.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/results"
touch "$scratch/sunspots.txt"
completion() {
  (cd "$scratch" && bash -c '
    source /usr/share/bash-completion/bash_completion
    source "$1"
    shift
    COMP_WORDS=(quarvel-cli "$@")
    COMP_CWORD=$#
    COMP_LINE="quarvel-cli $*"
    COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    _quarvel_cli quarvel-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    if ((${#COMPREPLY[@]})); then printf "%s\n" "${COMPREPLY[@]}" | sort | tr "\n" " "; fi
  ' completion "$usr/share/bash-completion/completions/quarvel-cli" "$@")
}
expect_completion() {
  local want=$1
  shift
  local got
  got=$(completion "$@")
  [[ $got == "$want" ]] || fail "completing \"quarvel-cli $*\" offers \"$got\", not \"$want\""
}
expect_completion "$(tr '\n' ' ' <<<"$help_options")" --
expect_completion "--selection " --sel
expect_completion "fitness overselect tournament " --population-size 5 --selection ""
expect_completion "ramped " --growth=r
expect_completion "" --generations ""
expect_completion "results sunspots.txt " --training ""
expect_completion "results " --output ""

if ((failures)); then
  echo "$failures check(s) of the installation failed" >&2
  exit 1
fi
echo "installation in $root: files, desktop entry, metadata, icons, versions, manual pages and completion as expected"
