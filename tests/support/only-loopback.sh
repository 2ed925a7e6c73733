#!/usr/bin/env bash
# Runs a command in a new network namespace that has loopback and one way out:
# one end of a veth pair with the default route, named in VELNOR_WAY_OUT. Its
# other end has no address, so whatever the command sends off the machine is
# counted on the way out and goes nowhere. Root only; exits 77 (skipped) where namespaces cannot be made.
set -euo pipefail
if [ "$(id -u)" -ne 0 ] || ! unshare --net true 2>/dev/null; then
    echo "only-loopback: needs root and network namespaces; skipped" >&2
    exit 77
fi
exec unshare --net -- bash -c '
    set -e
    sysctl -qw net.ipv6.conf.all.disable_ipv6=1 net.ipv6.conf.default.disable_ipv6=1
    ip link set lo up
    ip link add vout0 type veth peer name vout1
    ip addr add 192.0.2.50/24 dev vout0
    ip link set vout1 up
    ip link set vout0 up
    ip route add default via 192.0.2.1 dev vout0
    VELNOR_WAY_OUT=vout0 exec "$@"
' only-loopback "$@"
