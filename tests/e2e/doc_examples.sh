#!/usr/bin/env bash
# doc_examples.sh <bin-dir> <source-dir>: the documents say what the programs do. Every example of the
# man pages (packaging/man/*.h2m) and of README's command line runs, as typed, against tarn-sim and
# succeeds; tarnctl(1) names every option of every command's usage and every form of address; README's
# summary names every command and no option the programs do not take.
#
# The documented addresses are mapped onto the demo fleet (192.168.100.1 is Pump-House-1 at 127.0.0.11,
# the 10.1.x networks are loopback's), and the options that point a program at the simulator are added
# where an example has none. A command with any address off 127.0.0.0/8 left is not run.
set -uo pipefail
bin=$(cd "$1" && pwd) src=$2 data=$2/data tmp=$(mktemp -d) sims=() status=0
trap 'for pid in "${sims[@]}"; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null; done; rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2 && status=1; }
export PATH=$bin:$PATH QT_QPA_PLATFORM=offscreen

# Starts tarn-sim ARGS... and waits (bounded) for its ready line: sets port, io (Pump-House-1's I/O
# port) and pty (the device on a pseudo-terminal), or returns 1.
start_sim() {
    local out=$tmp/sim${#sims[@]} line
    mkfifo "$out"
    tarn-sim "$@" >"$out" 2>&1 &
    sims+=($!)
    exec 3<"$out"
    while IFS= read -r -t 20 line <&3; do
        case $line in
            "io "*" Pump-House-1") io=${line#*:} io=${io%% *} ;;
            "pty "*) pty=${line#pty } pty=${pty%% *} ;;
            "ready port "*) port=${line#ready port } && { cat <&3 >/dev/null & } && return 0 ;;
        esac
    done
    return 1
}

mapped() {
    local line out="" step program command rest
    line=$(sed -e 's/192\.168\.100\.1/127.0.0.11/g; s/10\.1\.2\./127.0.0./g; s/10\.1\.3\./127.0.1./g' \
        -e "s|--port 5000|--port $io|; s|/dev/ttyUSB0|$pty|; s|/usr/share/tarn-manager/|$data/|" \
        -e "s| data/demo-fleet.json| $data/demo-fleet.json|; s/--device-port N\b/--device-port $port/" <<<"$1")
    while [ -n "$line" ]; do
        step=${line%% && *} && [[ $line == *" && "* ]] && line=${line#* && } || line=""
        read -r program command rest <<<"$step"
        local discovery=0 window=0
        [[ $program == tarnctl && $command =~ ^(probe|params|reboot|cnf|fleet)$ ]] && discovery=1
        # The window's demo runs a simulator of its own and points the window at it.
        [[ $program == tarn-manager && $step != *--demo* ]] && window=1
        ((discovery || window)) && [[ $step != *--device-port* ]] && step+=" --device-port $port"
        if ((window)) || { ((discovery)) && [[ $command == fleet || ($command == probe && $step != *--address*) ]]; }; then
            [[ $step != *--broadcast* ]] && step+=" --broadcast 127.255.255.255"
        fi
        [[ $program == tarn-manager ]] && step+=" --quit-after 1500"
        out+="${out:+ && }$step"
    done
    echo "$out"
}

# Runs a document's examples in order, in a fresh working and configuration folder where the demo's
# credentials are known (an operator has them); a tarn-sim example starts a simulator whose port the
# examples after it mean by N.
run_examples() {
    local document=$1 examples=$2 home line rc
    home=$(mktemp -d -p "$tmp")
    mkdir -p "$home/work" "$home/tarn"
    export HOME=$home XDG_CONFIG_HOME=$home/config
    port=$fixture_port
    for address in 11 12 13 21 22 31 32; do
        tarnctl params get --address 127.0.0.$address --device-port "$port" --id admin --password admin >/dev/null ||
            fail "$document: the demo's credentials for 127.0.0.$address"
    done
    (cd "$home/work" && tarnctl cnf save standard --address 127.0.0.11 --device-port "$port" >/dev/null) ||
        fail "$document: the standard file of the fleet example"
    [ "$(grep -c . <<<"$examples")" -gt 2 ] || fail "$document has no examples"
    while IFS= read -r line; do
        line=$(mapped "$line")
        if grep -oE '\b[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+' <<<"$line" | grep -qv '^127\.'; then
            fail "$document: an address off loopback in: $line"
            continue
        fi
        if [[ $line == tarn-sim* ]]; then  # runs until stopped, in the background or not
            read -ra args <<<"${line%&}"
            start_sim "${args[@]:1}" || fail "$document: $line did not get ready"
            continue
        fi
        rc=0
        (cd "$home/work" && bash -c "$line") >"$tmp/out" 2>&1 </dev/null || rc=$?
        [ "$rc" -eq 0 ] || fail "$document: '$line' exited $rc: $(cat "$tmp/out")"
    done <<<"$examples"
}

start_sim --fleet "$data/demo-fleet.json" --device-port 0 || { echo "FAIL: tarn-sim" >&2; exit 1; }
fixture_port=$port
for page in tarnctl tarn-sim tarn-manager; do
    run_examples "$page(1)" "$(sed -n '/^\[EXAMPLES\]/,/^\[SEE/s/^\.B //p' "$src/packaging/man/$page.h2m" |
        sed 's/\\f[BIRP]//g; s/\\-/-/g; s/\\(dq/"/g')"
done
run_examples README "$(awk '/^Examples, on the demo fleet/ { f = 1 } f && /^```/ { n++; next } f && n == 1' "$src/README.md")"

page=$(sed 's/\\f[BIRP]//g; s/\\-/-/g' "$src/packaging/man/tarnctl.h2m")
commands=$(tarnctl --help | sed -n '/^Commands:/,/^$/s/^  \([a-z][a-z]*\) .*/\1/p')
helps=$(tarnctl --help; tarn-manager --help; tarn-sim --help)
for command in $commands; do
    usage=$(tarnctl "$command" --help)
    helps+=$usage
    for option in $(sed -n 's/^ *\(-[a-z], \)\{0,1\}\(--[a-z-]*\)\(, \(--[a-z-]*\)\)\{0,1\}.*/\2 \4/p' <<<"$usage"); do
        grep -qF -- "$option" <<<"$page" || fail "tarnctl(1) lacks $option of $command"
    done
done
for form in "help COMMAND" 10.1.2.10-10.1.2.50 10.1.2.10-50 10.1.3.0/24; do
    grep -qF -- "$form" <<<"$page" || fail "tarnctl(1) lacks $form"
done
summary=$(awk '/^## Command line/ { f = 1 } f && /^```/ { n++; next } f && n == 1' "$src/README.md")
for option in $(grep -oE -- '--[a-z][a-z-]*' <<<"$summary" | sort -u); do
    grep -qF -- "$option" <<<"$helps" || fail "README's summary names $option, which no program takes"
done
for command in $commands; do grep -qF "tarnctl $command" <<<"$summary" || fail "README's summary lacks $command"; done
[ "$status" -eq 0 ] && echo "every example runs"
exit "$status"
