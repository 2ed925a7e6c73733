#!/usr/bin/env bash
# Runs a command beside a NetworkManager of its own, so the backend can be
# tried against the real thing without touching the machine's network:
#   - new network, mount and PID namespaces: only a veth pair of our own,
#     198.51.100.1/24 on velnor-a (managed) and 198.51.100.2 on velnor-b
#     (the "server", with nothing listening);
#   - a tmpfs on /run and overlays on /etc and /var, so the host's files
#     stay untouched; /sys mounted anew for the new network namespace;
#   - a system D-Bus of its own on the private /run, without activation;
#   - NetworkManager that manages velnor-a only and lets root alone
#     control networking (no polkit), so an ordinary user is refused.
# The command runs with VELNOR_NMCLI unset and VELNOR_NM_SANDBOX=1. When
# it ends, every process of the sandbox is ended by its PID and the folder
# is removed. Exit 77: skipped (not root, packages or namespaces missing).
# VELNOR_NM_SANDBOX_LOG=FILE keeps a copy of NetworkManager's log there.
#
# --world USER COMMAND: the same inside the test world's client namespace
# (scripts/world exec), managing its vclient instead of a veth pair of our
# own, with the OpenVPN plug-in, DNS written to the private /etc/resolv.conf,
# and polkit granting USER (made in the private /etc) what an active desktop
# session has. COMMAND runs as USER.
set -euo pipefail

skip() {
    echo "nm-sandbox: skipped: $*"
    exit 77
}

if [ "${1:-}" != --inside ]; then
    world_user=""
    plugins=(pptp l2tp)
    tools=()
    namespaces=(--net --mount --pid)
    if [ "${1:-}" = --world ]; then
        world_user=${2:-}
        shift 2 || true
        plugins=(openvpn)
        tools=(/usr/lib/polkit-1/polkitd useradd)
        # The world's client namespace is the network one.
        namespaces=(--mount --pid)
        [ -n "${VELNOR_WORLD_CLIENT_NS:-}" ] || skip "not in the test world (run through scripts/world run)"
    fi
    [ $# -gt 0 ] || { echo "usage: $0 [--world USER] COMMAND [ARGUMENT...]" >&2; exit 2; }
    [ "$(id -u)" -eq 0 ] || skip "needs root (scripts/test runs it as root)"
    for tool in /usr/sbin/NetworkManager nmcli dbus-daemon unshare setpriv ip "${tools[@]}"; do
        command -v "$tool" >/dev/null || skip "$tool is missing (scripts/deps installs it)"
    done
    for plugin in "${plugins[@]}"; do
        [ -e "/usr/lib/NetworkManager/VPN/nm-$plugin-service.name" ] \
            || skip "network-manager-$plugin is missing (scripts/deps installs it)"
    done
    unshare "${namespaces[@]}" --fork --mount-proc true 2>/dev/null \
        || skip "cannot make network, mount and PID namespaces here"
    state=$(mktemp -d /tmp/velnor-nm-sandbox.XXXXXX)
    trap 'rm -rf "$state"' EXIT
    set +e
    unshare "${namespaces[@]}" --fork --mount-proc --propagation private \
        bash "$0" --inside "$state" "$world_user" "$@"
    exit $?
fi

# Inside: this shell is PID 1 of the new PID namespace, so every process
# in /proc is one of ours.
shift
state=$1
world_user=$2
shift 2

finish() {
    local status=$? pid alive
    trap - EXIT
    set +e
    # NetworkManager first, so it takes its VPN helpers down itself.
    [ -n "${nm:-}" ] && kill -TERM "$nm" 2>/dev/null
    for _ in $(seq 50); do
        kill -0 "${nm:-0}" 2>/dev/null || break
        sleep 0.1
    done
    for signal in TERM KILL; do
        alive=0
        for pid in $(ls /proc | grep -E '^[0-9]+$'); do
            [ "$pid" -ne $$ ] && kill -"$signal" "$pid" 2>/dev/null && alive=1
        done
        [ $alive -eq 0 ] && break
        sleep 0.5
    done
    wait 2>/dev/null
    if [ $status -ne 0 ] && [ $status -ne 77 ] && [ -s "$state/NetworkManager.log" ]; then
        echo "nm-sandbox: the last lines of NetworkManager's log:" >&2
        tail -n 40 "$state/NetworkManager.log" >&2
    fi
    if [ $status -ne 0 ] && [ $status -ne 77 ] && [ -s "$state/polkitd.log" ]; then
        echo "nm-sandbox: polkitd's log:" >&2
        tail -n 20 "$state/polkitd.log" >&2
    fi
    [ -n "${VELNOR_NM_SANDBOX_LOG:-}" ] && cp "$state/NetworkManager.log" "$VELNOR_NM_SANDBOX_LOG"
    umount /run /var /etc /sys 2>/dev/null
    umount "$state" 2>/dev/null
    exit $status
}
trap finish EXIT

mount -t tmpfs -o mode=0700 velnor-sandbox "$state"
mkdir -p "$state"/etc/upper "$state"/etc/work "$state"/var/upper "$state"/var/work
mount -t overlay overlay -o "lowerdir=/etc,upperdir=$state/etc/upper,workdir=$state/etc/work" /etc
mount -t overlay overlay -o "lowerdir=/var,upperdir=$state/var/upper,workdir=$state/var/work" /var
mount -t tmpfs -o mode=0755 velnor-run /run
# Read-only, so NetworkManager takes the links as they are rather than wait
# for a udev that does not run here. "ip netns exec" has mounted the world's.
if [ -z "$world_user" ]; then
    mount -t sysfs -o ro sysfs /sys
else
    mount -o remount,ro /sys
fi

# Only our own buses: never one the caller's environment points at.
unset DBUS_SYSTEM_BUS_ADDRESS DBUS_SESSION_BUS_ADDRESS

if [ -z "$world_user" ]; then
    ip link set lo up
    ip link add velnor-a type veth peer name velnor-b 2>/dev/null || skip "this kernel cannot make a veth pair"
    ip address add 198.51.100.2/24 dev velnor-b
    ip link set velnor-b up
    ip link set velnor-a up
fi

mkdir -p /run/dbus /run/NetworkManager /var/lib/NetworkManager
cat > "$state/bus.conf" <<'CONF'
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=/run/dbus/system_bus_socket</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <deny own="*"/>
    <deny send_type="method_call"/>
    <allow send_type="signal"/>
    <allow send_requested_reply="true" send_type="method_return"/>
    <allow send_requested_reply="true" send_type="error"/>
    <allow receive_type="method_call"/>
    <allow receive_type="method_return"/>
    <allow receive_type="error"/>
    <allow receive_type="signal"/>
    <allow send_destination="org.freedesktop.DBus" send_interface="org.freedesktop.DBus"/>
    <allow send_destination="org.freedesktop.DBus" send_interface="org.freedesktop.DBus.Introspectable"/>
    <allow send_destination="org.freedesktop.DBus" send_interface="org.freedesktop.DBus.Properties"/>
  </policy>
  <includedir>/usr/share/dbus-1/system.d</includedir>
</busconfig>
CONF
dbus-daemon --config-file="$state/bus.conf" --nofork --nopidfile --nosyslog >"$state/dbus.log" 2>&1 &

device=velnor-a auth=root-only dns=none rc=unmanaged
[ -z "$world_user" ] || device=vclient auth=true dns=default rc=file
cat > "$state/NetworkManager.conf" <<CONF
[main]
plugins=keyfile
auth-polkit=$auth
no-auto-default=*
dns=$dns
rc-manager=$rc
[keyfile]
unmanaged-devices=except:interface-name:$device
[logging]
level=INFO
CONF
for _ in $(seq 50); do
    [ -S /run/dbus/system_bus_socket ] && break
    sleep 0.1
done

if [ -n "$world_user" ]; then
    # What an active local session may do with NetworkManager (the
    # allow_active defaults of its actions), granted to this one user, who
    # has no session at all.
    getent passwd "$world_user" >/dev/null || useradd --no-create-home --home-dir /nonexistent "$world_user"
    cat > /etc/polkit-1/rules.d/50-velnor-world.rules <<RULES
polkit.addRule(function(action, subject) {
    var active = ["network-control", "settings.modify.own", "enable-disable-network", "enable-disable-wifi",
        "enable-disable-wwan", "enable-disable-wimax", "wifi.scan", "wifi.share.protected", "wifi.share.open",
        "enable-disable-statistics", "enable-disable-connectivity-check"];
    var prefix = "org.freedesktop.NetworkManager.";
    if (subject.user == "$world_user" && action.id.indexOf(prefix) == 0
        && active.indexOf(action.id.substring(prefix.length)) >= 0)
        return polkit.Result.YES;
});
RULES
    # It drops to its own user by itself.
    /usr/lib/polkit-1/polkitd \
        >"$state/polkitd.log" 2>&1 &
    # NetworkManager asks it from its first request on.
    for _ in $(seq 50); do
        grep -q "Acquired the name" "$state/polkitd.log" && break
        sleep 0.1
    done
    # The resolver file is NetworkManager's to write here.
    rm -f /etc/resolv.conf
    : >/etc/resolv.conf
fi
# --debug: in the foreground, logging to standard error.
/usr/sbin/NetworkManager --debug --config="$state/NetworkManager.conf" >"$state/NetworkManager.log" 2>&1 &
nm=$!

ready=0
for _ in $(seq 100); do
    if nmcli -t -f RUNNING general status 2>/dev/null | grep -q running; then
        ready=1
        break
    fi
    kill -0 "$nm" 2>/dev/null || break
    sleep 0.1
done
if [ $ready -eq 0 ]; then
    tail -n 20 "$state/NetworkManager.log"
    skip "NetworkManager did not start here (its log is above)"
fi

# The network a VPN needs under it: without one, NetworkManager has no
# connection to start the VPN from.
if [ -z "$world_user" ]; then
    nmcli connection add type ethernet ifname velnor-a con-name velnor-base autoconnect no \
        ipv4.method manual ipv4.addresses 198.51.100.1/24 ipv4.gateway 198.51.100.2 ipv6.method disabled >/dev/null
else
    # The world configured vclient before NetworkManager started; it takes it
    # over once the device has left the unmanaged state (10).
    nmcli device set vclient managed yes
    for _ in $(seq 50); do
        nmcli -g GENERAL.STATE device show vclient | grep -q "^10" || break
        sleep 0.1
    done
    nmcli connection add type ethernet ifname vclient con-name velnor-base autoconnect no \
        ipv4.method manual ipv4.addresses 192.0.2.2/24 ipv4.gateway 192.0.2.1 ipv6.method disabled >/dev/null
fi
nmcli --wait 15 connection up velnor-base >/dev/null

# A home of its own: nothing the command does reaches the host's.
mkdir -m 0700 "$state/home"
set +e
if [ -z "$world_user" ]; then
    env -u VELNOR_NMCLI HOME="$state/home" VELNOR_NM_SANDBOX=1 "$@"
else
    chown "$world_user:" "$state/home"
    chmod 0711 "$state"
    # A checkout under a private home (/root) is opened to the user in this
    # mount namespace only, through an overlay on each folder it cannot enter.
    folder=$(dirname "$(realpath "$1")")
    path=""
    for part in ${folder//\// }; do
        path="$path/$part"
        setpriv --reuid "$world_user" --regid "$world_user" --clear-groups test -x "$path" && continue
        mkdir -p "$state/open$path/upper" "$state/open$path/work"
        mount -t overlay overlay -o "lowerdir=$path,upperdir=$state/open$path/upper,workdir=$state/open$path/work" "$path"
        chmod o+x "$path"
    done
    env -u VELNOR_NMCLI -u VELNOR_OPENVPN -u XDG_RUNTIME_DIR HOME="$state/home" VELNOR_NM_SANDBOX=1 \
        setpriv --reuid "$world_user" --regid "$world_user" --init-groups "$@"
fi
