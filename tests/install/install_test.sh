#!/usr/bin/env bash
# install_test.sh BUILD_DIR VERSION
# Stages an install of BUILD_DIR (prefix /usr) in a temporary DESTDIR and
# checks what a user would get: the file list; the desktop entry, the
# metainfo and the man pages through their validators; the icon sizes; one
# version everywhere; lirrevo-cli's man page in step with its --help; its
# bash completion.
set -euo pipefail
build=$1
version=$2

fail() { echo "FAIL: $*" >&2; exit 1; }

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
DESTDIR=$stage cmake --install "$build" --prefix /usr >/dev/null
root=$stage/usr

files=$(cd "$stage" && find . -type f -o -type l | sort)
expected="./usr/bin/lirrevo
./usr/bin/lirrevo-cli
./usr/share/applications/org.lirrevo.Lirrevo.desktop
./usr/share/bash-completion/completions/lirrevo-cli
./usr/share/doc/lirrevo/LICENSE
./usr/share/doc/lirrevo/changelog.gz
./usr/share/doc/lirrevo/copyright
./usr/share/icons/hicolor/128x128/apps/lirrevo.png
./usr/share/icons/hicolor/256x256/apps/lirrevo.png
./usr/share/icons/hicolor/48x48/apps/lirrevo.png
./usr/share/icons/hicolor/scalable/apps/lirrevo.svg
./usr/share/man/man1/lirrevo-cli.1.gz
./usr/share/man/man1/lirrevo.1.gz
./usr/share/metainfo/org.lirrevo.Lirrevo.metainfo.xml"
[[ $files == "$expected" ]] || fail "installed files differ:
$(diff <(echo "$expected") <(echo "$files") || true)"

desktop=$root/share/applications/org.lirrevo.Lirrevo.desktop
desktop-file-validate "$desktop" || fail "desktop entry"
grep -qx 'Exec=lirrevo' "$desktop" || fail "desktop entry: Exec is not the installed lirrevo"
grep -qx 'Icon=lirrevo' "$desktop" || fail "desktop entry: Icon is not the installed icon"
appstreamcli validate --no-net --strict "$root/share/metainfo/org.lirrevo.Lirrevo.metainfo.xml" ||
  fail "metainfo"

for size in 48 128 256; do
  file "$root/share/icons/hicolor/${size}x$size/apps/lirrevo.png" |
    grep -q "PNG image data, $size x $size," || fail "the ${size}px icon is not ${size}x$size"
done

export LC_ALL=C.UTF-8 MANWIDTH=200
for page in lirrevo lirrevo-cli; do
  warnings=$(man --warnings -l "$root/share/man/man1/$page.1.gz" 2>&1 >/dev/null)
  [[ -z $warnings ]] || fail "man page $page: $warnings"
  man -l "$root/share/man/man1/$page.1.gz" | grep -q "Lirrevo $version " ||
    fail "man page $page does not carry version $version"
done

cli=$root/bin/lirrevo-cli
[[ $("$cli" --version) == "lirrevo-cli $version" ]] || fail "lirrevo-cli --version is not $version"
grep -q "<release version=\"$version\"" "$root/share/metainfo/org.lirrevo.Lirrevo.metainfo.xml" ||
  fail "the metainfo's release is not $version"
zcat "$root/share/doc/lirrevo/changelog.gz" | head -1 | grep -q "^lirrevo ($version)" ||
  fail "the changelog's version is not $version"

# Options as each command's --help and the man page name them ("-o",
# "--input-encoding"); the commands as --help lists them.
commands=$("$cli" --help | sed -n '/^Commands/,/^$/s/^  \([a-z][-a-z]*\) .*/\1/p')
[[ -n $commands ]] || fail "lirrevo-cli --help lists no commands"
help_options=$(for command in $commands; do "$cli" "$command" --help; done |
  sed -n 's/^  \(-.*\)/\1/p' | sed 's/  .*//' |
  grep -o -- '--\?[a-z][-a-z]*=\?' | sort -u)
man_options=$(man -l "$root/share/man/man1/lirrevo-cli.1.gz" |
  sed -n '/^OPTIONS/,/^[A-Z]/p' | sed -n 's/^       \(-.*\)/\1/p' |
  grep -o -- '--\?[a-z][-a-z]*=\?' | sort -u)
[[ -n $help_options && -n $man_options ]] || fail "no options found in --help or the man page"
missing=$(comm -23 <(echo "$help_options") <(echo "$man_options"))
[[ -z $missing ]] || fail "lirrevo-cli.1 lacks options of --help:" $missing
for option in $man_options; do
  ! "$cli" "$option" </dev/null 2>&1 >/dev/null | grep -q 'unknown option' ||
    fail "lirrevo-cli.1 names $option, which lirrevo-cli does not know"
done
bash -n "$root/share/bash-completion/completions/lirrevo-cli" || fail "bash completion"
echo "install staged and checked: $(echo "$files" | wc -l) files"
