#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Copyright (c) 2026 The Kestrine developers
#
# The real program on a real X server: join two files by clicking Join, then
# read the status line off the screen with OCR, in a light and a dark palette
# at 1x and 1.5x. The closing line must read "Done. Output File:" whole, and
# the window's surface must be light or dark with the palette.
#
# Usage: status_line_after_join.sh KESTRINE SHOTS_FOLDER
# Exits 77 (skipped) when Xvfb, xdotool, ImageMagick or tesseract is missing.
set -euo pipefail

program="$1"
shots="$2"
display="${KESTRINE_TEST_DISPLAY:-:5}"

for tool in Xvfb xdotool import convert tesseract; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is not installed"
        exit 77
    fi
done
# The dark palette comes from the qt6ct platform theme, as on a desktop that
# gives Qt programs a dark colour scheme.
if ! compgen -G '/usr/lib/*/qt6/plugins/platformthemes/libqt6ct.so' >/dev/null; then
    echo "SKIP: the qt6ct platform theme is not installed"
    exit 77
fi

work="$(mktemp -d)"
xvfb_pid=""
program_pid=""
cleanup() {
    [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$shots"

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# Polls a command until it succeeds or seconds pass.
wait_for() {
    local seconds="$1"
    shift
    local deadline=$((SECONDS + seconds))
    until "$@"; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.3
    done
}

# A WAV of silence: 44,100 Hz stereo 16-bit, the given number of seconds.
le32() {
    # shellcheck disable=SC2059 # the bytes are made into escapes, then printed
    printf "$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($1 & 255)) $(($1 >> 8 & 255)) $(($1 >> 16 & 255)) $(($1 >> 24 & 255)))"
}
write_silence() {
    local bytes=$((44100 * 4 * $2))
    {
        printf 'RIFF'; le32 $((36 + bytes)); printf 'WAVEfmt '; le32 16
        printf '\x01\x00\x02\x00'; le32 44100; le32 $((44100 * 4)); printf '\x04\x00\x10\x00'
        printf 'data'; le32 "$bytes"
        head -c "$bytes" /dev/zero
    } >"$1"
}

# A dark colour scheme for qt6ct, in QPalette's role order: window text,
# button, light, midlight, dark, mid, text, bright text, button text, base,
# window, shadow, highlight, highlighted text, link, visited link, alternate
# base, no role, tooltip base, tooltip text, placeholder text.
dark_colours="#fffcfcfc, #ff31363b, #ff40464c, #ff3a4045, #ff141618, #ff1f2225, #fffcfcfc, #ffffffff, #fffcfcfc, #ff1b1e20, #ff2a2e32, #ff0a0a0a, #ff3daee9, #fffcfcfc, #ff2980b9, #ff7f8c8d, #ff232629, #ff000000, #ff31363b, #fffcfcfc, #80fcfcfc"

if [ -e "/tmp/.X${display#:}-lock" ]; then
    # Another run of this test holds the display; wait for it to let go.
    wait_for 120 test ! -e "/tmp/.X${display#:}-lock" || fail "display $display stays taken"
fi
Xvfb "$display" -screen 0 1280x900x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
export DISPLAY="$display"
wait_for 20 xdotool getdisplaygeometry >/dev/null 2>&1 || fail "Xvfb did not start on $display: $(cat "$work/xvfb.log")"

write_silence "$work/one.wav" 1
write_silence "$work/two.wav" 2

# Mean lightness (0 to 1) of an area given as x y w h.
mean_of() {
    convert "$1" -crop "${4}x${5}+${2}+${3}" +repage -colorspace Gray -format '%[fx:mean]' info:
}

# Reads the status line of the screenshot; the line sits at dialog units
# (7, 169, 251, 10) of the 265 x 186 window.
read_status_line() {
    local shot="$1" x="$2" y="$3" w="$4" h="$5" dark="$6"
    local cx=$((x + w * 7 / 265)) cy=$((y + h * 169 / 186)) cw=$((w * 251 / 265)) ch=$((h * 10 / 186 + 2))
    local negate=()
    [ "$dark" = 1 ] && negate=(-negate)
    convert "$shot" -crop "${cw}x${ch}+${cx}+${cy}" +repage -colorspace Gray "${negate[@]}" \
        -resize 400% "$work/line.png"
    tesseract "$work/line.png" - --psm 7 2>/dev/null | tr -s ' \n' ' '
}

run_case() {
    local name="$1" dark="$2" scale="$3"
    local home="$work/$name/home" config="$work/$name/config"
    mkdir -p "$home" "$config"
    # An output deep enough that the line cannot show its path whole.
    local output_folder="$home/a folder with a rather long name/and another one below it/and a third"
    mkdir -p "$output_folder" "$config/Tallowmere"
    printf '[Settings]\nOutputName=%s\n' "$output_folder/joined.wav" >"$config/Tallowmere/kestrine.conf"
    local -a environment=(HOME="$home" XDG_CONFIG_HOME="$config" QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR="$scale")
    if [ "$dark" = 1 ]; then
        mkdir -p "$config/qt6ct"
        printf '[ColorScheme]\nactive_colors=%s\ninactive_colors=%s\ndisabled_colors=%s\n' \
            "$dark_colours" "$dark_colours" "$dark_colours" >"$config/qt6ct/dark.conf"
        printf '[Appearance]\ncustom_palette=true\ncolor_scheme_path=%s\nstyle=Fusion\n' \
            "$config/qt6ct/dark.conf" >"$config/qt6ct/qt6ct.conf"
        environment+=(QT_QPA_PLATFORMTHEME=qt6ct)
    else
        environment+=(QT_QPA_PLATFORMTHEME=)
    fi

    env "${environment[@]}" "$program" "$work/one.wav" "$work/two.wav" >"$work/$name.log" 2>&1 &
    program_pid=$!
    local window
    window="$(timeout 30 xdotool search --sync --onlyvisible --name '^Kestrine$' | head -1)" ||
        fail "$name: no window ($(cat "$work/$name.log"))"
    local X Y WIDTH HEIGHT SCREEN
    eval "$(xdotool getwindowgeometry --shell "$window")"
    local shot="$work/$name.png"
    listed() {
        import -window root "$shot"
        # Once listed, the line's end says what the join writes.
        read_status_line "$shot" "$X" "$Y" "$WIDTH" "$HEIGHT" "$dark" | grep -q 'Hz'
    }
    wait_for 30 listed || fail "$name: the files were not listed: $(read_status_line "$shot" "$X" "$Y" "$WIDTH" "$HEIGHT" "$dark")"

    # The Join button: dialog units (109, 5, 46, 32).
    xdotool mousemove $((X + WIDTH * 132 / 265)) $((Y + HEIGHT * 21 / 186)) click 1
    done_line() {
        import -window root "$shot"
        read_status_line "$shot" "$X" "$Y" "$WIDTH" "$HEIGHT" "$dark" | grep -q 'Done'
    }
    wait_for 60 done_line || fail "$name: no closing line: $(read_status_line "$shot" "$X" "$Y" "$WIDTH" "$HEIGHT" "$dark")"
    # Away from the button, so that its hover border does not stay in the picture.
    xdotool mousemove 0 0
    sleep 0.5
    import -window root "$shot"
    cp "$shot" "$shots/$name.png"
    local text
    text="$(read_status_line "$shot" "$X" "$Y" "$WIDTH" "$HEIGHT" "$dark")"
    echo "$name: status line reads: $text"
    [[ "$text" == *"Done. Output File:"* ]] || fail "$name: the status line reads \"$text\""
    [[ "$text" == *"joined.wav"* ]] || fail "$name: the file name is cut from \"$text\""
    # The progress bar and its percentage went with the join.
    [[ "$text" != *"%"* ]] || fail "$name: the progress bar stayed: \"$text\""
    [ -s "$output_folder/joined.wav" ] || fail "$name: no output file was written"

    # The strip left of the list is bare surface.
    local surface
    surface="$(mean_of "$shot" "$X" $((Y + HEIGHT * 44 / 186)) $((WIDTH * 6 / 265)) $((HEIGHT * 99 / 186)))"
    echo "$name: surface lightness $surface"
    if [ "$dark" = 1 ]; then
        awk -v m="$surface" 'BEGIN { exit !(m < 0.35) }' || fail "$name: the surface is light ($surface) under a dark palette"
    else
        awk -v m="$surface" 'BEGIN { exit !(m > 0.8) }' || fail "$name: the surface is dark ($surface) under a light palette"
    fi

    kill "$program_pid"
    wait "$program_pid" 2>/dev/null || true
    program_pid=""
}

run_case light-1x 0 1
run_case light-1.5x 0 1.5
run_case dark-1x 1 1
run_case dark-1.5x 1 1.5
echo "Screenshots in $shots"
