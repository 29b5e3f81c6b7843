#!/usr/bin/env bash
# Times one sweep of 1001 targets: all answering, all silent, half and half,
# with 1 and 3 attempts, for
#   (a) the engine (datagram socket, and raw socket),
#   (b) the walk one attempt at a time on the same socket (the silent cases
#       are timed on the first targets of the list and scaled to 1001),
#   (c) fping at its fastest pacing with the same timeout, retries and TTL,
# and prints a Markdown table. Needs root, iproute2 and fping; all traffic
# stays inside network namespaces made here:
#   prober 198.18.0.1 -- router 198.18.0.2 / 198.18.1.1 -- hosts 198.18.1.2
# where the hosts' kernel answers all of 198.18.8.0/22 and the router drops
# everything for 198.18.12.0/22 (a blackhole route: no answer, no report).
#
#   bench/echo_bench.sh [RUNS] [WALK_SAMPLE]     (defaults 5 and 24)
set -euo pipefail

runs=${1:-5}
sample=${2:-24}
ttl=64
here=$(cd "$(dirname "$0")" && pwd)
build=${BENCH_BUILD:-$here/../build-bench}

[ "$(id -u)" -eq 0 ] || { echo "echo_bench: needs root (network namespaces)" >&2; exit 1; }
command -v fping >/dev/null || { echo "echo_bench: fping missing (scripts/install-deps.sh --extra)" >&2; exit 1; }

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" >/dev/null
bench=$build/echo_bench

tag=pmb$$
p=${tag}p r=${tag}r h=${tag}h
work=$(mktemp -d)
cleanup() {
    ip netns delete "$p" 2>/dev/null || true
    ip netns delete "$r" 2>/dev/null || true
    ip netns delete "$h" 2>/dev/null || true
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
# as on a desktop system that lets every group use ICMP datagram sockets
ip netns exec "$p" sysctl -qw net.ipv4.ping_group_range="0 2147483647"

# the n-th (0..1000) address of a /22 starting at 198.18.<third>.0
address() { echo "198.18.$(( $1 + ($2 + 1) / 256 )).$(( ($2 + 1) % 256 ))"; }
for n in $(seq 0 1000); do
    echo "$(address 8 "$n") up" >> "$work/answering"
    echo "$(address 12 "$n") down" >> "$work/silent"
    if (( n % 2 == 0 )); then echo "$(address 8 "$n") up"; else echo "$(address 12 "$n") down"; fi >> "$work/half"
done

inside() { ip netns exec "$p" "$@"; }
field() { sed -n "s/.*$1=\([^ ]*\).*/\1/p"; }

# fping: median wall time of RUNS sweeps, and how many outcomes in all of
# them contradict the list (answering called unreachable, or the reverse)
fping_time() {
    local list=$1 attempts=$2 times=() wrong=0
    cut -d' ' -f1 "$list" > "$work/plain"
    for _ in $(seq "$runs"); do
        local start end
        start=$(date +%s.%N)
        inside fping -u -i 0 -t 200 -r $((attempts - 1)) -B 1 -H "$ttl" -f "$work/plain" \
            > "$work/unreachable" 2>/dev/null || true
        end=$(date +%s.%N)
        times+=("$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')")
        wrong=$(( wrong + $(awk 'NR == FNR { failed[$1] = 1; next }
                                 ($2 == "up") == ($1 in failed) { n++ }
                                 END { print n + 0 }' "$work/unreachable" "$list") ))
    done
    local median
    median=$(printf '%s\n' "${times[@]}" | sort -g | sed -n "$(( (runs + 1) / 2 ))p")
    printf 'seconds=%.3f wrong=%d\n' "$median" "$wrong"
}

printf '| Targets (1001) | Attempts | Engine, datagram (s) | Engine, raw (s) | One at a time (s) | fping (s) | Engine / fping | One at a time / fping | Wrong outcomes in all runs (engines, fping) |\n'
printf '|---|---|---|---|---|---|---|---|---|\n'
for case in answering silent half; do
    for attempts in 1 3; do
        list=$work/$case
        dgram=$(inside "$bench" engine-datagram "$list" "$attempts" "$ttl" "$runs")
        rawr=$(inside "$bench" engine-raw "$list" "$attempts" "$ttl" "$runs")
        if [ "$case" = answering ]; then walk_sample=1001; else walk_sample=$sample; fi
        walk=$(inside "$bench" walk-datagram "$list" "$attempts" "$ttl" "$walk_sample")
        fp=$(fping_time "$list" "$attempts")
        e=$(echo "$dgram" | field seconds); er=$(echo "$rawr" | field seconds)
        w=$(echo "$walk" | field seconds); f=$(echo "$fp" | field seconds)
        walked=$(echo "$walk" | field sampled)
        wrong_e=$(( $(echo "$dgram" | field wrong) + $(echo "$rawr" | field wrong) ))
        wrong_f=$(echo "$fp" | field wrong)
        label=$case; [ "$case" = half ] && label="half and half"
        walk_note=""; [ "$walked" != 1001 ] && walk_note=" (first ${walked} walked, scaled)"
        printf '| %s | %s | %.3f | %.3f | %.3f%s | %.3f | %.2f | %.1f | %s, %s |\n' \
            "$label" "$attempts" "$e" "$er" "$w" "$walk_note" "$f" \
            "$(awk -v a="$e" -v b="$f" 'BEGIN { print a / b }')" \
            "$(awk -v a="$w" -v b="$f" 'BEGIN { print a / b }')" "$wrong_e" "$wrong_f"
    done
done
echo
echo "Median of $runs sweeps each (engine and fping); TTL $ttl; reply wait 200 ms per attempt."
