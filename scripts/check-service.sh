#!/usr/bin/env bash
# The service's sandbox must not slip: systemd-analyze rates the unit as
# shipped (offline, so no running systemd is needed) and anything above an
# exposure of 3.0 fails, listing what is left open.
set -euo pipefail
cd "$(dirname "$0")/.."
unit=packaging/pelmora.service
command -v systemd-analyze >/dev/null || { echo "check-service: no systemd-analyze (scripts/install-deps.sh installs it)" >&2; exit 1; }
status=0
report=$(systemd-analyze security --offline=true --threshold=30 "$unit" 2>&1) || status=$?
echo "check-service: $(grep -F 'Overall exposure' <<<"$report" || echo "no score for $unit")"
if [ "$status" -ne 0 ]; then
    grep -F '✗' <<<"$report" || echo "$report"
    echo "check-service: $unit is above 3.0" >&2
    exit 1
fi
