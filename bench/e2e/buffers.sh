#!/usr/bin/env bash
# The player at every queue length a sound server may grant: PULSE_LATENCY_MSEC
# unset, 1000, 200 and 20, set for the player and its baseline alone. For each,
# what is heard of a 12 s file (seconds, and the longest gap within it), and
# the wake-ups a second of all the player's threads over 20 s of a 39 s file,
# beside mpg123 -o pulse playing the same file with the same setting, and the
# ratio. The player runs offscreen, without a session bus, and is given the
# file to play; the server is a private PulseAudio with a null sink, with
# shared memory as desktops start it, or without (socket).
#
#   bench/e2e/buffers.sh [BUILD_DIR] [shm|socket]
set -uo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd) || exit 1
transport=${2:-shm}
for tool in pulseaudio pactl parec mpg123 python3; do
    command -v "$tool" >/dev/null || { echo "bench: $tool is missing" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT

export PULSE_SERVER=unix:$work/native PULSE_CLIENTCONFIG=$work/client.conf
echo 'autospawn = no' >"$work/client.conf"
unset PULSE_LATENCY_MSEC
pulseaudio -n --daemonize=no --use-pid-file=no --exit-idle-time=-1 --disallow-exit \
    --disable-shm=$([ "$transport" = shm ] && echo no || echo yes) \
    -L "module-null-sink sink_name=bench_sink rate=44100 channels=2" \
    -L "module-native-protocol-unix socket=$work/native auth-anonymous=1" >"$work/server.log" 2>&1 &
for _ in $(seq 100); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done

# The 3 s test tone four and thirteen times over, each copy without its first
# frame, the Info frame that gives one copy's length.
mkdir -p "$work/short" "$work/long" "$work/app"
for i in $(seq 4); do tail -c +418 "$root/tests/fixtures/tone440.mp3"; done >"$work/short/a.mp3"
for i in $(seq 13); do tail -c +418 "$root/tests/fixtures/tone440.mp3"; done >"$work/long/a.mp3"
# A copy of its own, so that the settings file it writes beside itself is the bench's.
cp "$build/app/velmyr" "$work/app/velmyr"

# play FILE [LATENCY]: starts the player on FILE; its pid in $player.
play() {
    (if [ -n "${2:-}" ]; then export PULSE_LATENCY_MSEC=$2; fi; cd "$work" &&
        QT_QPA_PLATFORM=offscreen DBUS_SESSION_BUS_ADDRESS=disabled: exec "$work/app/velmyr" "$1") >/dev/null 2>&1 &
    player=$!
}
end() { kill "$1" 2>/dev/null; wait "$1" 2>/dev/null; }
switches() { cat /proc/"$1"/task/*/status 2>/dev/null | awk '$1 == "voluntary_ctxt_switches:" { s += $2 } END { print s + 0 }'; }
# wakeups PID: voluntary context switches a second over 20 s, from 5 s in.
wakeups() {
    local a b
    sleep 5; a=$(switches "$1"); sleep 20; b=$(switches "$1")
    awk -v a="$a" -v b="$b" 'BEGIN { printf "%.2f", (b - a) / 20 }'
}
# heard RECORDING: the seconds of sound, and the longest silence between the
# first and the last sound, in 10 ms windows (the copies of the tone meet with
# the encoder's few milliseconds of silence).
heard() {
    python3 - "$1" <<'PY'
import array, sys
data = open(sys.argv[1], 'rb').read()
samples = array.array('h'); samples.frombytes(data[:len(data) // 4 * 4])
loud = [max(map(abs, samples[i:i + 882])) > 1000 for i in range(0, len(samples) - 881, 882)]
first = loud.index(True) if any(loud) else 0
last = len(loud) - loud[::-1].index(True) if any(loud) else 0
gap = run = 0
for window in loud[first:last]:
    run = 0 if window else run + 1
    gap = max(gap, run)
print(f"{sum(loud) / 100:.2f} s heard, longest gap {gap * 10} ms")
PY
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'; }

echo "PulseAudio with a null sink, $([ "$transport" = shm ] && echo "shared memory" || echo "no shared memory (socket)")"
for latency in "" 1000 200 20; do
    parec -d bench_sink.monitor --raw --format=s16le --rate=44100 --channels=2 --latency-msec=20 >"$work/heard.raw" &
    recorder=$!
    sleep 0.5
    play "$work/short/a.mp3" "$latency"
    sleep 13.5
    end "$player"; end "$recorder"
    sound=$(heard "$work/heard.raw")

    play "$work/long/a.mp3" "$latency"
    wake_v=$(wakeups "$player")
    end "$player"
    (if [ -n "$latency" ]; then export PULSE_LATENCY_MSEC=$latency; fi; exec mpg123 -q -o pulse "$work/long/a.mp3") &
    baseline=$!
    wake_m=$(wakeups "$baseline")
    end "$baseline"
    printf 'PULSE_LATENCY_MSEC %-5s  12 s file: %s (target 12 s, no gap over 50 ms)\n' "${latency:-unset}" "$sound"
    printf '    wake-ups a second, playing: velmyr %7.2f   mpg123 -o pulse %7.2f   ratio %s\n' \
        "$wake_v" "$wake_m" "$(ratio "$wake_v" "$wake_m")"
done
