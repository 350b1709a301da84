#!/bin/bash
# SPDX-License-Identifier: MIT
# Copyright (c) 2026 The Kestrine developers
#
# Two real Kestrine windows on a virtual screen: a row dragged from one list
# into the other is added there and stays where it was; a row dragged within
# a list moves. Each window prints its list and its rows when it closes, so
# the test sees that the view and the list agree in both.
#
# Usage: two_window_drag.sh KESTRINE   (a test build of the window program)
# KESTRINE_TEST_DISPLAY=:N uses that display instead of the first free from :60.
set -u

kestrine=$1
skip=77
for tool in Xvfb xdotool; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is not installed (Debian: xvfb, xdotool)"
        exit $skip
    fi
done

work=$(mktemp -d)
pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null
    done
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*"
    for log in "$work"/*.out "$work"/*.err; do
        [ -s "$log" ] && { echo "--- $log"; cat "$log"; }
    done
    exit 1
}

# Waits up to 20 s for a command to succeed.
wait_for() {
    local tries=0
    until "$@" >/dev/null 2>&1; do
        tries=$((tries + 1))
        [ $tries -gt 200 ] && return 1
        sleep 0.1
    done
}

# A silent mono 16-bit WAV of the given whole seconds at 8000 Hz.
le32() {
    local v=$1
    printf "\\x$(printf %02x $((v & 255)))\\x$(printf %02x $(((v >> 8) & 255)))"
    printf "\\x$(printf %02x $(((v >> 16) & 255)))\\x$(printf %02x $(((v >> 24) & 255)))"
}
write_wav() {
    local bytes=$(($2 * 16000))
    {
        printf 'RIFF'; le32 $((36 + bytes)); printf 'WAVEfmt '; le32 16
        printf '\x01\x00\x01\x00'; le32 8000; le32 16000; printf '\x02\x00\x10\x00'
        printf 'data'; le32 $bytes
        head -c $bytes /dev/zero
    } >"$1"
}

start_screen() {
    local n
    if [ -n "${KESTRINE_TEST_DISPLAY:-}" ]; then
        Xvfb "$KESTRINE_TEST_DISPLAY" -screen 0 1400x700x24 -nolisten tcp >"$work/xvfb.err" 2>&1 &
        pids+=($!)
        export DISPLAY=$KESTRINE_TEST_DISPLAY
        wait_for xdotool getdisplaygeometry || fail "Xvfb did not start on $DISPLAY"
        return
    fi
    for n in $(seq 60 99); do
        [ -e "/tmp/.X$n-lock" ] && continue
        Xvfb ":$n" -screen 0 1400x700x24 -nolisten tcp >"$work/xvfb.err" 2>&1 &
        pids+=($!)
        export DISPLAY=":$n"
        if wait_for xdotool getdisplaygeometry; then
            return
        fi
        kill "${pids[-1]}" 2>/dev/null
    done
    fail "no free display for Xvfb"
}

# Starts a window with files; sets window to its id.
start_window() {
    local name=$1
    shift
    "$kestrine" --test-report-list "$@" >"$work/$name.out" 2>"$work/$name.err" &
    local pid=$!
    pids+=("$pid")
    wait_for grep -q '^exit' "$work/$name.out" || fail "$name did not list its files"
    window=$(xdotool search --sync --onlyvisible --pid "$pid" | head -n 1)
    [ -n "$window" ] || fail "no window for $name"
}

# The window-relative centre of row N (or of "exit") as "x y".
place() {
    if [ "$2" = exit ]; then
        awk -F'\t' '$1 == "exit" { print $2, $3 }' "$work/$1.out"
    else
        awk -F'\t' -v row="$2" '$1 == "row" && $2 == row { print $3, $4 }' "$work/$1.out"
    fi
}

# Drags from window-relative (x, y) of one window to (x, y) of another, in steps.
drag() {
    local from=$1 fx=$2 fy=$3 to=$4 tx=$5 ty=$6
    xdotool mousemove --window "$from" "$fx" "$fy"
    sleep 0.3
    xdotool mousedown 1
    sleep 0.2
    local step
    for step in 5 10 20 30; do
        xdotool mousemove --window "$from" "$fx" $((fy + step))
        sleep 0.1
    done
    xdotool mousemove --window "$to" "$tx" $((ty - 6))
    sleep 0.3
    xdotool mousemove --window "$to" "$tx" "$ty"
    sleep 0.5
    xdotool mouseup 1
    sleep 1
}

export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
unset QT_QPA_PLATFORM WAYLAND_DISPLAY
start_screen

media="$work/media"
mkdir -p "$media"
write_wav "$media/a1.wav" 1
write_wav "$media/a2.wav" 2
write_wav "$media/a3.wav" 3
write_wav "$media/b4.wav" 4
write_wav "$media/b5.wav" 5

start_window first "$media/a1.wav" "$media/a2.wav" "$media/a3.wav"
first=$window
xdotool windowmove "$first" 0 0
start_window second "$media/b4.wav" "$media/b5.wav"
second=$window
xdotool windowmove "$second" 700 0
sleep 0.5

# a2 from the first list onto the top of the second.
read -r ax ay <<<"$(place first 1)"
read -r bx by <<<"$(place second 0)"
drag "$first" "$ax" "$ay" "$second" "$bx" "$by"
# Within the second list: b4 below b5.
read -r b0x b0y <<<"$(place second 0)"
read -r b1x b1y <<<"$(place second 1)"
drag "$second" "$b0x" "$b0y" "$second" "$b1x" $((b1y + (b1y - b0y) / 2 - 2))

if [ -n "${KESTRINE_TEST_SCREENSHOT:-}" ] && command -v import >/dev/null; then
    import -window root "$KESTRINE_TEST_SCREENSHOT"
fi

for name in first second; do
    window=$first
    [ $name = second ] && window=$second
    read -r ex ey <<<"$(place $name exit)"
    xdotool mousemove --window "$window" "$ex" "$ey" click 1
done
wait_for grep -q '^end' "$work/first.out" || fail "the first window did not close"
wait_for grep -q '^end' "$work/second.out" || fail "the second window did not close"

expect() {
    local name=$1 kind=$2 want=$3
    local got
    got=$(awk -F'\t' -v kind="$kind" '$1 == kind { printf "%s:%s ", $2, $3 }' "$work/$name.out")
    [ "$got" = "$want" ] || fail "$name $kind: got '$got', want '$want'"
}
expect first list "a1.wav:1 a2.wav:2 a3.wav:3 "
expect first view "a1.wav:1 a2.wav:2 a3.wav:3 "
expect second list "b5.wav:5 b4.wav:4 a2.wav:2 "
expect second view "b5.wav:5 b4.wav:4 a2.wav:2 "
echo "PASS"
