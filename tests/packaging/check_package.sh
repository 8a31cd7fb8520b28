#!/usr/bin/env bash
# check_package.sh <build-dir> <version>: the Debian package as a user gets it. It is built with cpack,
# unpacked (never installed) into a temporary root, and its programs are run from there without
# --data-dir, from a folder that holds no data: they must find their data by the install rule and
# write into the temporary configuration folder only.
set -euo pipefail
build=$1
version=$2
tmp=$(mktemp -d)
sim_pid=""
cleanup() {
    if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; fi
    rm -rf "$tmp"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

echo "-- package"
cpack --config "$build/CPackConfig.cmake" -B "$tmp/out" >"$tmp/cpack.log" 2>&1 || { cat "$tmp/cpack.log"; fail "cpack"; }
deb=$tmp/out/tarn-manager_${version}-1_amd64.deb
[ -f "$deb" ] || fail "no $(basename "$deb") in: $(ls "$tmp/out")"

echo "-- lintian"
# Debian's own checks: no error and no warning (overrides, each with its reason, are in the package).
lintian --fail-on error,warning --no-tag-display-limit "$deb" >"$tmp/lintian.log" 2>&1 ||
    { cat "$tmp/lintian.log"; fail "lintian"; }
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6widgets6 libqt6network6 libqt6serialport6 libqt6charts6 libc6; do
    grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib: $depends"
done

root=$tmp/root
dpkg-deb -x "$deb" "$root"
usr=$root/usr
for f in bin/tarn-manager bin/tarnctl bin/tarn-sim \
    share/tarn-manager/prodid.ini share/tarn-manager/TARN-IO_1.1.dcf share/tarn-manager/help/Manager.html \
    share/tarn-manager/demo-fleet.json share/applications/tarn-manager.desktop \
    share/icons/hicolor/scalable/apps/tarn-manager.svg share/metainfo/org.tarn.manager.metainfo.xml \
    share/man/man1/tarn-manager.1.gz share/man/man1/tarnctl.1.gz share/man/man1/tarn-sim.1.gz \
    share/bash-completion/completions/tarnctl; do
    [ -e "$usr/$f" ] || fail "the package lacks /usr/$f"
done
# The Ansible collection, where Debian's ansible-core looks, without its tests; ansible-doc reads it.
collection=$usr/share/ansible/collections/ansible_collections/tarn/manager
for f in galaxy.yml meta/runtime.yml plugins/module_utils/tarnctl.py plugins/modules/params.py examples/backup.yml; do
    [ -e "$collection/$f" ] || fail "the package lacks the collection's $f"
done
[ ! -e "$collection/tests" ] || fail "the package holds the collection's tests"
[ "$(dpkg-deb -f "$deb" Suggests)" = ansible-core ] || fail "Suggests: $(dpkg-deb -f "$deb" Suggests)"
if command -v ansible-doc >/dev/null; then
    ANSIBLE_COLLECTIONS_PATH=$usr/share/ansible/collections ansible-doc tarn.manager.params >"$tmp/doc.txt" 2>&1 &&
        grep -q "^RETURN VALUES:" "$tmp/doc.txt" || { cat "$tmp/doc.txt"; fail "ansible-doc of the packaged collection"; }
fi
# Control-flow protection: the linker writes the property note only when every object has it.
for p in tarn-manager tarnctl tarn-sim; do
    readelf -n "$usr/bin/$p" | grep -q 'x86 feature: IBT, SHSTK' || fail "$p lacks the IBT/SHSTK property note"
done
desktop-file-validate "$usr/share/applications/tarn-manager.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$usr/share/metainfo/org.tarn.manager.metainfo.xml" >"$tmp/as.log" 2>&1 ||
    { cat "$tmp/as.log"; fail "appstreamcli validate"; }
grep -q "release version=\"$version\"" "$usr/share/metainfo/org.tarn.manager.metainfo.xml" ||
    fail "the metadata names another release than $version"
for p in tarn-manager tarnctl tarn-sim; do
    page=$(zcat "$usr/share/man/man1/$p.1.gz")
    for section in NAME SYNOPSIS DESCRIPTION OPTIONS '"EXIT STATUS"' FILES EXAMPLES '"SEE ALSO"'; do
        grep -qx "\.SH $section" <<<"$page" || fail "$p(1) has no $section section"
    done
done
# One entry per subcommand: the io commands each have their own, none runs into the next.
# The tag lines after each .TP, without font changes and escapes.
tarnctl_page=$(zcat "$usr/share/man/man1/tarnctl.1.gz" | sed -n '/^\.TP/{n;p}' | sed 's/\\f[BIRP]//g; s/\\,//g; s/\\\///g; s/\\-/-/g')
for entry in "probe " "dcf show FILE" "params get" "params set" "reboot DEVICE-OPTION" "cnf save FILE" "cnf load FILE" \
    "fleet backup DIR" "fleet apply FILE" "fleet apply --values" "fleet export" "help COMMAND" \
    "io LINK-OPTION... status" "io LINK-OPTION... config" "io LINK-OPTION... serial" "io LINK-OPTION... switch N on|off" \
    "io LINK-OPTION... run-mode | setting-mode" "io LINK-OPTION... output N" "io LINK-OPTION... input N" \
    "io LINK-OPTION... adc N" "io LINK-OPTION... watch"; do
    awk -v e="$entry" 'index($0, e) == 1 { found = 1 } END { exit !found }' <<<"$tarnctl_page" ||
        fail "tarnctl(1) has no entry of its own for '$entry'"
done

echo "-- the installed documents' links"
# Every relative link and picture of README and docs/ reaches a file of the package.
doc=$usr/share/doc/tarn-manager
[ -f "$doc/README.md" ] && [ -f "$doc/docs/screenshot.png" ] || fail "README or docs/ with its pictures not installed"
links=0
for md in "$doc/README.md" "$doc"/docs/*.md; do
    while IFS= read -r target; do
        target=${target%%#*}
        [ -n "$target" ] || continue
        links=$((links + 1))
        [ -e "$(dirname "$md")/$target" ] || fail "${md#"$doc"/} links to $target, which the package lacks"
    done < <(grep -o '](\([^)]*\))' "$md" | sed 's/^](//; s/)$//' | grep -v '^[a-z][a-z]*:' || true)
done
[ "$links" -gt 20 ] || fail "only $links links found in the installed documents"

mkdir -p "$tmp/work" "$tmp/home"
cd "$tmp/work"
export HOME=$tmp/home XDG_CONFIG_HOME=$tmp/config
config="$XDG_CONFIG_HOME/tarn-manager"
touch "$tmp/stamp"
sleep 1  # the stamp must be older than anything written after it

echo "-- command-line conventions"
for p in tarn-manager tarnctl tarn-sim; do
    # No display at all: --help, --version and a bad option never open a window.
    out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$usr/bin/$p" --version)
    [ "$out" = "$p $version" ] || fail "$p --version printed '$out'"
    # Read whole before the first line is looked at: a reader that stops early would end a long
    # help with SIGPIPE, which pipefail takes for a failure.
    help=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$usr/bin/$p" --help)
    [[ "${help%%$'\n'*}" == "Usage: $p "* ]] || fail "$p --help has no usage line"
    rc=0
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$usr/bin/$p" --no-such-option 2>"$tmp/err" >/dev/null || rc=$?
    [ "$rc" -eq 2 ] || fail "$p --no-such-option exited $rc"
    [ "$(cat "$tmp/err")" = "$p: unrecognized option '--no-such-option' (try '$p --help')" ] ||
        fail "$p --no-such-option printed: $(cat "$tmp/err")"
done

rc=0
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$usr/bin/tarn-manager" 2>"$tmp/err" >/dev/null || rc=$?
[ "$rc" -eq 1 ] && [ "$(wc -l <"$tmp/err")" -eq 1 ] && grep -q "no display.*tarnctl" "$tmp/err" ||
    fail "tarn-manager without a display exited $rc: $(cat "$tmp/err")"

[ ! -e "$usr/share/tarn-manager/pwd.ini" ] || fail "the package ships credentials (share/tarn-manager/pwd.ini)"

echo "-- bash completion"
# The installed script, with bash-completion's _init_completion standing in: io's
# subcommands, a value of a fixed choice and the Quick Connect address book.
mkdir -p "$config"
printf '[QuickConnect]\nAddressBook=10.1.2.3, "10.0.0.0/24, 10.9.9.9"\n' >"$config/tarn-manager.conf"
completions=$(PATH=$usr/bin:$PATH bash -c '
    _init_completion() { words=("${COMP_WORDS[@]}"); cword=$COMP_CWORD; cur=${words[cword]}; prev=${words[cword-1]}; }
    source "$1/share/bash-completion/completions/tarnctl"
    try() { COMP_WORDS=(tarnctl "$@"); COMP_CWORD=$#; COMPREPLY=(); _tarnctl tarnctl; local IFS=" "; echo "${COMPREPLY[*]}"; }
    try io --host h --port 1 ""; try io --serial /dev/ttyS0 --parity ""; try probe --address ""' _ "$usr")
[ "$completions" = $'adc config input output run-mode serial setting-mode status switch watch\nn e o\n10.1.2.3 10.0.0.0/24, 10.9.9.9' ] ||
    fail "bash completion gave: $completions"
rm "$config/tarn-manager.conf"

echo "-- tarnctl reads the installed .dcf files"
"$usr/bin/tarnctl" dcf show TARN-IO_1.1.dcf --json >"$tmp/dcf.json" || fail "tarnctl dcf show by name"
grep -q "\"file\": \"$usr/share/tarn-manager/TARN-IO_1.1.dcf\"" "$tmp/dcf.json" ||
    fail "tarnctl dcf show read $(grep '"file"' "$tmp/dcf.json")"
shown=$("$usr/bin/tarnctl" dcf show "$usr/share/tarn-manager/TARN-GW_1.0.dcf")
grep -q "^groups:" <<<"$shown" || fail "tarnctl dcf show by path"

echo "-- the simulator and tarnctl on loopback; the credential log goes to the configuration folder"
mkfifo "$tmp/sim.out"
"$usr/bin/tarn-sim" --fleet "$usr/share/tarn-manager/demo-fleet.json" --device-port 0 >"$tmp/sim.out" 2>"$tmp/sim.err" &
sim_pid=$!
port=""
exec 3<"$tmp/sim.out"
while IFS= read -r -t 20 line <&3; do
    if [[ $line == "ready port "* ]]; then port=${line#ready port }; break; fi
done
[ -n "$port" ] || fail "tarn-sim did not get ready: $(cat "$tmp/sim.err")"
cat <&3 >/dev/null &  # keeps the simulator's output flowing
"$usr/bin/tarnctl" params get --address 127.0.0.11 --device-port "$port" --id admin --password admin \
    >"$tmp/params.txt" 2>"$tmp/params.err" || fail "tarnctl params get: $(cat "$tmp/params.err")"
grep -q "North pump house" "$tmp/params.txt" || fail "tarnctl params get did not show the device's values"
[ "$(stat -c %a "$config/pwd.ini" 2>/dev/null)" = 600 ] || fail "no owner-only pwd.ini in $config"
grep -qi "00:50:C2:7A:10:01" "$config/pwd.ini" || fail "pwd.ini lacks the device"
kill "$sim_pid"
wait "$sim_pid" 2>/dev/null || true
sim_pid=""

echo "-- tarn-manager starts, runs its demo and closes by itself"
rc=0
QT_QPA_PLATFORM=offscreen timeout 60 "$usr/bin/tarn-manager" --demo --quit-after 3000 >"$tmp/gui.log" 2>&1 || rc=$?
[ "$rc" -eq 0 ] || { cat "$tmp/gui.log"; fail "tarn-manager exited $rc"; }
[ -f "$config/tarn-manager.conf" ] || fail "tarn-manager wrote no settings to $config"

written=$(find "$root" -newer "$tmp/stamp")
[ -z "$written" ] || fail "written inside the installed tree: $written"
echo "package checks passed"
