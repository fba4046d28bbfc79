#!/usr/bin/env bash
# Runs a test program in a private network namespace of its own, where port 53
# of the loopback is free for the test's DNS server and no resolver of the
# machine, nor any network beyond the loopback, can be reached. Where the
# machine allows no namespace, the program runs as it is and its DNS tests
# skip themselves.
#   in_private_network.sh PROGRAM [ARGUMENTS...]
set -euo pipefail

if [ "${VORMANT_PRIVATE_NETWORK:-}" != 1 ]; then
    for flags in "--net" "--map-root-user --net"; do
        # shellcheck disable=SC2086
        if unshare $flags true 2>/dev/null; then
            exec unshare $flags env VORMANT_PRIVATE_NETWORK=1 bash "$0" "$@"
        fi
    done
    echo "no private network namespace here: the DNS tests will skip" >&2
    exec "$@"
fi
ip link set lo up
exec "$@"
