#!/usr/bin/env bash
# Times one sweep of 1001 targets (all answering, all silent, half and half,
# all answering 150 ms late, all answering 300 ms late; 1 and 3 attempts) for
#   (a) the engine, datagram socket and raw socket, and
#   (b) fping at its fastest pacing with the same timeout, retries and TTL,
# both the same way: each is one whole process, started through
# `ip netns exec` and timed from outside by the shell's clock, the three runs
# taking turns (engine, fping, raw engine, engine, ...). Prints a Markdown
# table of medians, and the floor: the same start without any sweep.
# Needs root, iproute2 and fping; all traffic stays inside network
# namespaces made here:
#   prober 198.18.0.1 -- router 198.18.0.2 -- hosts 198.18.1.2 (kernel answers
#   198.18.8.0/22), late150 198.18.2.2 (198.18.16.0/22 answered 150 ms late),
#   late300 198.18.3.2 (198.18.20.0/22, 300 ms late)
# and the router drops everything for 198.18.12.0/22 (a blackhole route: no
# answer, no report).
#
# Then the same sweeps timed inside the process, on each path: the raw socket
# in the process, the raw socket held by pelmora-echo, the datagram socket.
#
#   bench/echo_bench.sh [RUNS]            (default 5)
#   bench/echo_bench.sh --inside [RUNS]   the second table only (no fping)
#   bench/echo_bench.sh --inside --fifo [RUNS]
#       the same at real-time priority (SCHED_FIFO 10) on the last CPU, the
#       helper too: on a machine busy compiling the sweeps then wait for no
#       compiler, and every path runs on the same CPU (on a virtual machine
#       the first one, which takes the devices' interrupts, sweeps slower)
set -euo pipefail

inside_only=0 priority=()
if [ "${1:-}" = --inside ]; then inside_only=1; shift; fi
if [ "${1:-}" = --fifo ]; then priority=(chrt -f 10 taskset -c $(( $(nproc) - 1 ))); shift; fi
runs=${1:-5}
ttl=64
here=$(cd "$(dirname "$0")" && pwd)
build=${BENCH_BUILD:-$here/../build-bench}

[ "$(id -u)" -eq 0 ] || { echo "echo_bench: needs root (network namespaces)" >&2; exit 1; }
[ "$inside_only" = 1 ] || command -v fping >/dev/null || { echo "echo_bench: fping missing (scripts/install-deps.sh --extra)" >&2; exit 1; }

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" >/dev/null
bench=$build/echo_bench
responder=$build/late_responder

tag=pmb$$
p=${tag}p r=${tag}r h=${tag}h l1=${tag}l l2=${tag}m
work=$(mktemp -d)
responders=()
cleanup() {
    for pid in "${responders[@]}"; do kill "$pid" 2>/dev/null || true; done
    for ns in "$p" "$r" "$h" "$l1" "$l2"; do ip netns delete "$ns" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

ip netns add "$p"; ip netns add "$r"; ip netns add "$h"
ip link add ${tag}a netns "$p" type veth peer name ${tag}b netns "$r"
ip link add ${tag}c netns "$r" type veth peer name ${tag}d netns "$h"
ip -n "$p" addr add 198.18.0.1/24 dev ${tag}a
ip -n "$r" addr add 198.18.0.2/24 dev ${tag}b
ip -n "$r" addr add 198.18.1.1/24 dev ${tag}c
ip -n "$h" addr add 198.18.1.2/24 dev ${tag}d
for ns in "$p" "$r" "$h"; do ip -n "$ns" link set lo up; done
ip -n "$p" link set ${tag}a up
ip -n "$r" link set ${tag}b up
ip -n "$r" link set ${tag}c up
ip -n "$h" link set ${tag}d up
ip -n "$p" route add default via 198.18.0.2
ip -n "$h" route add default via 198.18.1.1
ip -n "$h" route add local 198.18.8.0/22 dev lo
ip -n "$r" route add 198.18.8.0/22 via 198.18.1.2
ip -n "$r" route add blackhole 198.18.12.0/22
ip netns exec "$r" sysctl -qw net.ipv4.ip_forward=1
# two hosts whose kernels stay silent and a responder answers late instead
late_host() { # namespace link-net host-net delay
    local ns=$1 link=$2 net=$3 delay=$4
    ip netns add "$ns"
    ip link add ${ns}x netns "$r" type veth peer name ${ns}y netns "$ns"
    ip -n "$r" addr add 198.18.$link.1/24 dev ${ns}x
    ip -n "$ns" addr add 198.18.$link.2/24 dev ${ns}y
    ip -n "$ns" link set lo up
    ip -n "$r" link set ${ns}x up
    ip -n "$ns" link set ${ns}y up
    ip -n "$ns" route add default via 198.18.$link.1
    ip -n "$ns" route add local 198.18.$net.0/22 dev lo
    ip -n "$r" route add 198.18.$net.0/22 via 198.18.$link.2
    ip netns exec "$ns" sysctl -qw net.ipv4.icmp_echo_ignore_all=1
    ip netns exec "$ns" "$responder" "$delay" &
    responders+=($!)
}
late_host "$l1" 2 16 150
late_host "$l2" 3 20 300
# as on a desktop system that lets every group use ICMP datagram sockets
ip netns exec "$p" sysctl -qw net.ipv4.ping_group_range="0 2147483647"

# the n-th (0..1000) address of a /22 starting at 198.18.<third>.0
address() { echo "198.18.$(( $1 + ($2 + 1) / 256 )).$(( ($2 + 1) % 256 ))"; }
for n in $(seq 0 1000); do
    echo "$(address 8 "$n") up" >> "$work/answering"
    echo "$(address 12 "$n") down" >> "$work/silent"
    if (( n % 2 == 0 )); then echo "$(address 8 "$n") up"; else echo "$(address 12 "$n") down"; fi >> "$work/half"
    # an answer after the 200 ms wait of its attempt is no answer
    echo "$(address 16 "$n") up" >> "$work/late150"
    echo "$(address 20 "$n") down" >> "$work/late300"
done

inside() { "${priority[@]}" ip netns exec "$p" "$@"; }
field() { sed -n "s/.*$1=\([^ ]*\).*/\1/p"; }

# Wall time of one command in the prober's namespace, from before
# `ip netns exec` starts until the command has ended; its output in $work/out.
timed() {
    local start=$EPOCHREALTIME
    inside "$@" > "$work/out" 2>/dev/null || true
    local end=$EPOCHREALTIME
    awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f\n", b - a }'
}

# Outcomes of fping -u (the unreachable addresses) that contradict the list.
fping_wrong() {
    awk 'NR == FNR { failed[$1] = 1; next } ($2 == "up") == ($1 in failed) { n++ }
         END { print n + 0 }' "$work/out" "$1"
}

median() { sort -g | sed -n "$(( (runs + 1) / 2 ))p"; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

if [ "$inside_only" = 0 ]; then
floor_times=()
for _ in $(seq "$runs"); do floor_times+=("$(timed true)"); done
floor=$(printf '%s\n' "${floor_times[@]}" | median)

printf '| Targets (1001) | Attempts | Engine, datagram (s) | Engine, raw (s) | fping (s) | Engine / fping | Wrong outcomes in all runs (engine datagram, raw, fping) |\n'
printf '|---|---|---|---|---|---|---|\n'
for case in answering silent half late150 late300; do
    for attempts in 1 3; do
        list=$work/$case
        cut -d' ' -f1 "$list" > "$work/plain"
        td=() tr=() tf=() wd=0 wr=0 wf=0
        for _ in $(seq "$runs"); do
            td+=("$(timed "$bench" engine-datagram "$list" "$attempts" "$ttl" 1)")
            wd=$(( wd + $(sed -n 's/.*wrong=\([0-9]*\).*/\1/p' "$work/out") ))
            tf+=("$(timed fping -u -i 0 -t 200 -r $((attempts - 1)) -B 1 -H "$ttl" -f "$work/plain")")
            wf=$(( wf + $(fping_wrong "$list") ))
            tr+=("$(timed "$bench" engine-raw "$list" "$attempts" "$ttl" 1)")
            wr=$(( wr + $(sed -n 's/.*wrong=\([0-9]*\).*/\1/p' "$work/out") ))
        done
        e=$(printf '%s\n' "${td[@]}" | median)
        er=$(printf '%s\n' "${tr[@]}" | median)
        f=$(printf '%s\n' "${tf[@]}" | median)
        case $case in
        half) label="half and half" ;;
        late150) label="answering 150 ms late" ;;
        late300) label="answering 300 ms late" ;;
        *) label=$case ;;
        esac
        printf '| %s | %s | %.3f | %.3f | %.3f | %s | %s, %s, %s |\n' \
            "$label" "$attempts" "$e" "$er" "$f" "$(ratio "$e" "$f")" "$wd" "$wr" "$wf"
    done
done
echo
printf 'Median of %s runs each, taking turns; TTL %s; reply wait 200 ms per attempt.\n' "$runs" "$ttl"
printf 'Floor: starting a process through ip netns exec (`true`): %.3f s; a sweep adds at\n' "$floor"
printf 'least one 200 ms wait per attempt where a target stays silent, plus the time to\n'
printf 'put the first burst of 1001 requests out.\n'
fi

# The same sweeps timed inside the process (the engine's own clock around one
# sweep, median of RUNS sweeps in one process): the raw socket held by the
# process, the raw socket held by pelmora-echo, the datagram socket.
echo
printf '| Targets (1001) | Attempts | Raw socket in process (ms) | Through pelmora-echo (ms) | Datagram socket (ms) | Helper / raw |\n'
printf '|---|---|---|---|---|---|\n'
ms() { awk -v s="$1" 'BEGIN { printf "%.3f", s * 1000 }'; }
for case in answering silent half; do
    for attempts in 1 3; do
        list=$work/$case
        sr=$(inside "$bench" engine-raw "$list" "$attempts" "$ttl" "$runs" | field seconds)
        sh=$(inside "$bench" engine-helper "$list" "$attempts" "$ttl" "$runs" | field seconds)
        sd=$(inside "$bench" engine-datagram "$list" "$attempts" "$ttl" "$runs" | field seconds)
        printf '| %s | %s | %s | %s | %s | %s |\n' "$case" "$attempts" "$(ms "$sr")" "$(ms "$sh")" "$(ms "$sd")" "$(ratio "$sh" "$sr")"
    done
done
printf '\nMedian of %s sweeps each%s; load average at the end: %s\n' "$runs" \
    "${priority[*]:+ (${priority[*]})}" "$(cut -d' ' -f1-3 /proc/loadavg)"
