#!/usr/bin/env bash
# Installs the built Debian package on this machine and proves it works as
# shipped: the installed binary, started as an unprivileged user, pings
# 127.0.0.1 through pelmora-echo, the helper the package's postinst gave the
# capability, and mails the one failure notice its first check calls for. A
# Qt plugin offered the way any user could offer one finds no capability and
# no raw socket in the process. The headless mode, started the way the service
# unit starts it, pings too. Then removes the package.
#
# Run as root from the repository root after `make package`. It installs and
# removes a package, so it belongs on disposable machines (CI).
#   PELMORA_PKGTEST_NETNS=1  use a fresh network namespace even where the
#                            current one would do
set -uo pipefail

started=$SECONDS
passed=0
failed=0
pass() { passed=$((passed + 1)); echo "  ok    $*"; }
fail() { failed=$((failed + 1)); echo "  FAIL  $*"; }

app_user=nobody
app_group=nogroup
smtp_server=tests/support/smtp_server.py
python=/usr/bin/python3 # the system one, which has python3-aiosmtpd

tmp=""
netns=""
ns_prefix=()
app_pid=""
smtp_fd=""
installed_by_us=0

cleanup() {
    if [ -n "$app_pid" ] && kill -0 "$app_pid" 2>/dev/null; then
        kill -TERM "$app_pid" 2>/dev/null
        wait "$app_pid" 2>/dev/null
    fi
    app_pid=""
    if [ -n "$smtp_fd" ]; then
        exec {smtp_fd}>&- # the server ends when its input closes
        smtp_fd=""
        wait 2>/dev/null
    fi
    if [ -n "$netns" ]; then
        ip netns delete "$netns" 2>/dev/null
        netns=""
    fi
    if [ "$installed_by_us" = 1 ] && dpkg-query -W -f='${Status}' pelmora 2>/dev/null |
        grep -q "install ok installed"; then
        DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq pelmora >/dev/null 2>&1
    fi
    installed_by_us=0
    if [ -n "$tmp" ]; then
        rm -rf "$tmp"
        tmp=""
    fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

summary() {
    cleanup
    local verdict=PASS
    if [ "$failed" -ne 0 ] || [ "$passed" -eq 0 ]; then verdict=FAIL; fi
    echo "package-test: $verdict in $((SECONDS - started)) s: $passed passed, $failed failed"
    [ "$verdict" = PASS ]
    exit
}

# Ends the run early: what follows would only fail for the same reason.
abort() {
    fail "$*"
    summary
}

show_file() {
    [ -s "$2" ] || return 0
    echo "  --- $1"
    sed 's/^/  | /' "$2"
}

# The lines of a text file as Pelmora keeps them: CP932, each ended by CR LF.
write_cp932_lines() {
    local path=$1
    shift
    printf '%s\r\n' "$@" | iconv -f UTF-8 -t CP932 >"$path"
}

gid_in_range() { # gid "low high"
    local low high
    read -r low high <<<"$2"
    [ "$1" -ge "$low" ] && [ "$1" -le "$high" ]
}

[ "$(id -u)" -eq 0 ] || abort "must run as root (it installs the package)"
[ -f "$smtp_server" ] || abort "run from the repository root ($smtp_server not found)"

deb=$(ls -t build/pelmora_*.deb 2>/dev/null | head -n 1) # the newest, should old ones remain
[ -n "$deb" ] || abort "no build/pelmora_*.deb; run make package first"
probe_plugin=build/tests/ui/libcapability_probe.so
[ -f "$probe_plugin" ] || abort "no $probe_plugin; build with the tests (make package does)"
echo "package-test: $deb"

# --- install ---------------------------------------------------------------
tmp=$(mktemp -d /tmp/pelmora-pkgtest.XXXXXX)
chmod 755 "$tmp"
installed_by_us=1
if DEBIAN_FRONTEND=noninteractive apt-get install -y -qq -o DPkg::Lock::Timeout=300 \
    "./$deb" >"$tmp/install.log" 2>&1; then
    pass "apt-get install ./$deb"
else
    show_file "apt-get install" "$tmp/install.log"
    abort "apt-get install ./$deb"
fi

files=$(dpkg -L pelmora)
for path in /usr/bin/pelmora /usr/lib/pelmora/pelmora-echo /usr/share/applications/pelmora.desktop \
    /usr/share/icons/hicolor/scalable/apps/pelmora.svg \
    /usr/share/doc/pelmora/examples/conf.ini /usr/share/doc/pelmora/examples/kanshi.ini \
    /usr/share/man/man1/pelmora.1.gz /usr/share/doc/pelmora/copyright \
    /usr/share/doc/pelmora/changelog.Debian.gz /usr/lib/systemd/system/pelmora.service; do
    if grep -qx "$path" <<<"$files" && [ -f "$path" ]; then
        pass "installs $path"
    else
        fail "installs $path"
    fi
done
if command -v desktop-file-validate >/dev/null; then
    if out=$(desktop-file-validate /usr/share/applications/pelmora.desktop 2>&1) && [ -z "$out" ]; then
        pass "desktop entry validates"
    else
        fail "desktop entry validates: $out"
    fi
fi

if getent passwd pelmora >/dev/null && [ "$(stat -c %U /var/lib/pelmora 2>/dev/null)" = pelmora ]; then
    pass "postinst made the service user pelmora and /var/lib/pelmora"
else
    fail "postinst made the service user pelmora and /var/lib/pelmora"
fi
if command -v systemd-analyze >/dev/null; then
    # warnings about units this machine lacks (network-online) are not ours
    out=$(systemd-analyze verify /usr/lib/systemd/system/pelmora.service 2>&1 |
        grep -v -i 'network-online' || true)
    if [ -z "$out" ]; then
        pass "the service unit verifies"
    else
        fail "the service unit verifies: $out"
    fi
fi
maintainer=$(dpkg-query -W -f='${Maintainer}' pelmora)
if [[ "$maintainer" == *"<"*"@"*">"* ]] && [[ "$maintainer" != *".example>"* ]]; then
    pass "maintainer $maintainer"
else
    fail "a real maintainer address (got '$maintainer')"
fi
if grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' \
    /usr/share/doc/pelmora/copyright 2>/dev/null; then
    pass "copyright file in the machine-readable format"
else
    fail "copyright file in the machine-readable format"
fi

caps=$(getcap /usr/lib/pelmora/pelmora-echo)
if grep -q 'cap_net_raw=ep' <<<"$caps"; then
    pass "postinst gave pelmora-echo cap_net_raw=ep ($caps)"
else
    abort "postinst gave pelmora-echo cap_net_raw=ep (getcap: '${caps}')"
fi
others=$(dpkg -L pelmora | while read -r path; do [ -f "$path" ] && getcap "$path"; done)
if [ "$others" = "$caps" ]; then
    pass "no other installed file has a capability (/usr/bin/pelmora none)"
else
    fail "no other installed file has a capability: $others"
fi

# --- where it runs ---------------------------------------------------------
# Only the capability may be what lets the program ping. Where this namespace
# already lets the user's group use ICMP sockets, a fresh namespace has the
# kernel's default range "1 0", which admits nobody.
app_gid=$(getent group "$app_group" | cut -d: -f3)
if [ -z "$app_gid" ] || ! id -u "$app_user" >/dev/null 2>&1; then
    abort "no user $app_user:$app_group"
fi
if gid_in_range "$app_gid" "$(cat /proc/sys/net/ipv4/ping_group_range)" ||
    [ "${PELMORA_PKGTEST_NETNS:-0}" = 1 ]; then
    netns="pelmora-pkgtest-$$"
    ip netns add "$netns" || abort "ip netns add $netns"
    ip netns exec "$netns" ip link set lo up || abort "loopback up in $netns"
    ns_prefix=(ip netns exec "$netns")
    echo "package-test: running in network namespace $netns"
fi
range=$("${ns_prefix[@]}" awk '{print $1, $2}' /proc/sys/net/ipv4/ping_group_range)
if gid_in_range "$app_gid" "$range"; then
    abort "ping_group_range \"$range\" does not admit group $app_group ($app_gid)"
fi
pass "ping_group_range \"$range\" does not admit group $app_group ($app_gid)"

as_app_user=(setpriv --reuid="$app_user" --regid="$app_group" --clear-groups)
if "${ns_prefix[@]}" "${as_app_user[@]}" "$python" -c '
import socket, sys
for kind in (socket.SOCK_DGRAM, socket.SOCK_RAW):
    try:
        socket.socket(socket.AF_INET, kind, socket.IPPROTO_ICMP).close()
        sys.exit(1)
    except PermissionError:
        pass
'; then
    pass "without the capability $app_user is refused every ICMP socket here"
else
    abort "without the capability $app_user is refused every ICMP socket here"
fi

# --- mail server and working directory -------------------------------------
mkdir "$tmp/mail" "$tmp/work" "$tmp/runtime" "$tmp/plugins" "$tmp/plugins/generic"
install -m 644 "$probe_plugin" "$tmp/plugins/generic/"
mkfifo "$tmp/smtp.in"
"${ns_prefix[@]}" "$python" "$smtp_server" --dir "$tmp/mail" \
    <"$tmp/smtp.in" >"$tmp/smtp.out" 2>"$tmp/smtp.err" &
exec {smtp_fd}>"$tmp/smtp.in"
port=""
for _ in $(seq 100); do
    port=$(sed -n 's/^PORT \([0-9]*\)$/\1/p' "$tmp/smtp.out")
    [ -n "$port" ] && break
    sleep 0.1
done
if [ -z "$port" ]; then
    show_file "SMTP server" "$tmp/smtp.err"
    abort "SMTP test server listens on 127.0.0.1"
fi

loopback_desc="ループバック／0000／試験"
malformed_desc="不正アドレス／0001／試験"
write_cp932_lines "$tmp/work/conf.ini" admin@example.com pelmora@example.com \
    "127.0.0.1:$port" example.com " 1 " " 1 " " 64 " " 3 "
write_cp932_lines "$tmp/work/kanshi.ini" \
    127.0.0.1 "$loopback_desc" " 0 " \
    bad.address.x.y "$malformed_desc" " 0 "
chown -R "$app_user:$app_group" "$tmp/work" "$tmp/runtime"
chmod 700 "$tmp/work" "$tmp/runtime"

# --- the installed program, unprivileged -----------------------------------
# The user offers Qt a plugin of their own; it writes down the capabilities
# of the process it was loaded into.
probe_out="$tmp/work/capabilities.txt"
(cd "$tmp/work" && exec "${ns_prefix[@]}" env -i PATH=/usr/bin:/bin LANG=C.UTF-8 \
    HOME="$tmp/work" XDG_RUNTIME_DIR="$tmp/runtime" QT_QPA_PLATFORM=offscreen \
    QT_PLUGIN_PATH="$tmp/plugins" QT_QPA_GENERIC_PLUGINS=capability_probe \
    PELMORA_CAPABILITY_PROBE_OUT="$probe_out" \
    "${as_app_user[@]}" /usr/bin/pelmora) >"$tmp/pelmora.log" 2>&1 &
app_pid=$!
sleep 2
if [ "$(readlink "/proc/$app_pid/exe" 2>/dev/null)" = /usr/bin/pelmora ] &&
    [ "$(awk '/^Uid:/ {print $2}' "/proc/$app_pid/status")" = "$(id -u "$app_user")" ]; then
    pass "/usr/bin/pelmora runs as $app_user"
else
    show_file "pelmora output" "$tmp/pelmora.log"
    abort "/usr/bin/pelmora runs as $app_user"
fi
held=$(grep -E '^Cap(Eff|Prm):' "/proc/$app_pid/status" | tr '\t\n' '  ')
if [ "$(grep -cE '^Cap(Eff|Prm):[[:space:]]+0+$' "/proc/$app_pid/status")" -eq 2 ]; then
    pass "it holds no capability once running ($held)"
else
    fail "it holds no capability once running ($held)"
fi
if [ -f "$probe_out" ] && [ "$(grep -cE '^Cap(Eff|Prm):[[:space:]]+0+$' "$probe_out")" -eq 2 ] &&
    grep -qx $'RawSockets:\t0' "$probe_out"; then
    pass "a plugin offered through QT_PLUGIN_PATH finds CapEff and CapPrm 0 and no raw socket"
else
    show_file "what the plugin saw" "$probe_out"
    fail "a plugin offered through QT_PLUGIN_PATH finds CapEff and CapPrm 0 and no raw socket"
fi
if [ "$(ps -o comm= --ppid "$app_pid")" = pelmora-echo ]; then
    pass "pelmora started pelmora-echo"
else
    fail "pelmora started pelmora-echo (children: $(ps -o comm= --ppid "$app_pid" | tr '\n' ' '))"
fi

echo "package-test: waiting for the first check (about a minute)"
deadline=$((SECONDS + 75))
while [ ! -e "$tmp/mail/0001.json" ] && [ $SECONDS -lt $deadline ] && kill -0 "$app_pid" 2>/dev/null; do
    sleep 1
done
sleep 3 # a second notice would come right after the first
notices=$(find "$tmp/mail" -name '*.eml' | wc -l)
if [ "$notices" -eq 1 ]; then
    pass "exactly one notice after the first check"
    while IFS='|' read -r verdict text; do
        if [ "$verdict" = ok ]; then pass "$text"; else fail "$text"; fi
    done < <("$python" - "$tmp/mail/0001.eml" "$tmp/mail/0001.json" "$loopback_desc" \
        "$malformed_desc" <<'EOF'
import email, email.policy, json, sys
eml, meta_path, loopback, malformed = sys.argv[1:5]
with open(eml, "rb") as f:
    msg = email.message_from_bytes(f.read(), policy=email.policy.default)
with open(meta_path) as f:
    meta = json.load(f)
def check(ok, text):
    print(("ok" if ok else "fail") + "|" + text)
subject = str(msg["Subject"])
check(subject == "Network障害連絡（1件障害）", "notice subject %r" % subject)
body = msg.get_content()
check(body == "＜1件目＞" + malformed + "\r\n",
      "notice body names only the malformed target: %r" % body)
check(loopback not in body, "127.0.0.1 answered through the socket the capability opened (not in the notice)")
check(meta["mail_from"] == "pelmora@example.com" and meta["rcpt_tos"] == ["admin@example.com"],
      "envelope %s -> %s" % (meta["mail_from"], meta["rcpt_tos"]))
EOF
    )
    if grep -qx quit "$tmp/mail/sessions.log"; then
        pass "the SMTP session ended with QUIT"
    else
        fail "the SMTP session ended with QUIT"
    fi
else
    fail "exactly one notice after the first check ($notices arrived)"
fi

# --- the headless mode as the service unit starts it -------------------------
# Its user, NoNewPrivileges (which voids the helper's file capability) and
# CAP_NET_RAW as an ambient capability, which pelmora-echo inherits.
mkdir "$tmp/service" "$tmp/mail/service"
cp "$tmp/work/conf.ini" "$tmp/work/kanshi.ini" "$tmp/service/"
chown -R pelmora:pelmora "$tmp/service"
if (cd "$tmp/service" && exec "${ns_prefix[@]}" env -i PATH=/usr/bin:/bin LANG=C.UTF-8 \
    setpriv --reuid=pelmora --regid=pelmora --clear-groups --no-new-privs \
    --inh-caps=+net_raw --ambient-caps=+net_raw --bounding-set=-all,+net_raw \
    timeout -s TERM 20 /usr/bin/pelmora --headless --minute-ms=1000) >"$tmp/service.log" 2>&1 ||
    [ $? -eq 124 ]; then
    :
fi
if grep -q 'not_answering=1' "$tmp/service/pelmora.log" 2>/dev/null &&
    ! grep -q 'echo=failed' "$tmp/service/pelmora.log"; then
    pass "headless under NoNewPrivileges with the ambient capability pings (127.0.0.1 answers)"
else
    show_file "headless output" "$tmp/service.log"
    show_file "headless log" "$tmp/service/pelmora.log"
    fail "headless under NoNewPrivileges with the ambient capability pings (127.0.0.1 answers)"
fi

# --- stop, remove ------------------------------------------------------------
# A message box left up (a start-up refusal, a failed delivery) shows above as
# a missing notice; here the program must not have ended before our signal.
if kill -0 "$app_pid" 2>/dev/null; then
    kill -TERM "$app_pid"
    wait "$app_pid"
    status=$?
    app_pid=""
    if [ "$status" -eq 143 ]; then
        pass "pelmora ran until stopped"
    else
        fail "pelmora ran until stopped (exit status $status)"
    fi
else
    wait "$app_pid"
    status=$?
    app_pid=""
    fail "pelmora ran until stopped (it ended by itself, exit status $status)"
fi
if [ "$failed" -ne 0 ]; then show_file "pelmora output" "$tmp/pelmora.log"; fi

if DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq -o DPkg::Lock::Timeout=300 pelmora \
    >"$tmp/remove.log" 2>&1 && [ ! -e /usr/bin/pelmora ]; then
    pass "apt-get remove pelmora"
    installed_by_us=0
else
    show_file "apt-get remove" "$tmp/remove.log"
    fail "apt-get remove pelmora"
fi

summary
