#!/usr/bin/env bash
# Draws the program's icon, a stopwatch, with ImageMagick and writes it as 32-bit RGBA PNGs at 256,
# 48 and 32 pixels beside this script, and as vkx260.ico (those sizes and 16 pixels) for the Windows
# edition's resources. Run it again after changing the drawing; the PNGs and the .ico are committed.
# Needs: imagemagick (convert), awk.
set -euo pipefail
cd "$(dirname "$0")"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Everything is drawn on a 1024-pixel canvas and scaled down, which smooths the edges.
# detail=full draws all 60 ticks; detail=simple only the 12 hour ticks, thicker, for the small sizes.
draw() {
    local detail=$1 out=$2
    awk -v detail="$detail" '
    function rad(degrees) { return degrees * 3.14159265358979 / 180 }
    # x and y of the point at `radius` from the dial centre, `angle` degrees clockwise from 12 o'"'"'clock
    function px(angle, radius) { return cx + radius * sin(rad(angle)) }
    function py(angle, radius) { return cy - radius * cos(rad(angle)) }
    function tick(angle, inner, outer, width) {
        printf "stroke-width %d\nline %.1f,%.1f %.1f,%.1f\n", width, px(angle, inner), py(angle, inner), px(angle, outer), py(angle, outer)
    }
    BEGIN {
        cx = 512; cy = 584; body = 392; ring = 362; face = 330
        # Small icons get a heavier case, so that the rim still reads at 32 pixels.
        if (detail != "full") { ring = 330; face = 296 }
        k = face / 330
        steel = "#2B3A55"; steelLight = "#4A5D80"; red = "#D7263D"

        print "stroke-linecap round"
        # Crown: the stem, then the button on it.
        print "stroke none"
        printf "fill %s\nrectangle %d,%d %d,%d\n", steelLight, cx - 34, cy - body - 70, cx + 34, cy - body + 20
        printf "fill %s\nroundrectangle %d,%d %d,%d 26,26\n", steel, cx - 92, cy - body - 132, cx + 92, cy - body - 52
        # Side button at 45 degrees, a short thick stroke out of the rim.
        printf "stroke %s\n", steel
        tick(45, body - 20, body + 56, 64)
        print "stroke none"

        # Case, bezel and dial.
        printf "fill %s\ncircle %d,%d %d,%d\n", steel, cx, cy, cx, cy - body
        printf "fill %s\ncircle %d,%d %d,%d\n", "#D5DDE6", cx, cy, cx, cy - ring
        printf "fill %s\ncircle %d,%d %d,%d\n", "#FBFCFD", cx, cy, cx, cy - face

        # The stretch timed so far: a light red sector from 12 o'"'"'clock to the hand.
        hand = 125
        printf "fill %s\n", "#F6C9CF"
        printf "path \"M %d,%d L %.1f,%.1f A %d,%d 0 0,1 %.1f,%.1f Z\"\n", cx, cy, px(0, face - 6), py(0, face - 6), face - 6, face - 6, px(hand, face - 6), py(hand, face - 6)

        # Ticks.
        printf "stroke %s\n", steel
        for (i = 0; i < 60; ++i) {
            if (i % 5 == 0) {
                tick(i * 6, k * (detail == "full" ? 246 : 226), k * 306, detail == "full" ? 22 : 40)
            } else if (detail == "full") {
                tick(i * 6, 278, 306, 8)
            }
        }

        # The hand with a short tail, and the hub.
        printf "stroke %s\n", red
        tick(hand + 180, 0, 70, detail == "full" ? 22 : 36)
        tick(hand, 0, k * 286, detail == "full" ? 22 : 40)
        print "stroke none"
        printf "fill %s\ncircle %d,%d %d,%d\n", red, cx, cy, cx, cy - (detail == "full" ? 40 : 56)
        printf "fill %s\ncircle %d,%d %d,%d\n", steel, cx, cy, cx, cy - (detail == "full" ? 14 : 20)
    }' > "$work/$detail.mvg"
    convert -size 1024x1024 xc:none -draw "$(cat "$work/$detail.mvg")" "$out"
}

draw full "$work/full-1024.png"
draw simple "$work/simple-1024.png"

convert "$work/full-1024.png" -filter Lanczos -resize 256x256 -strip PNG32:vkx260-256.png
convert "$work/simple-1024.png" -filter Lanczos -resize 48x48 -strip PNG32:vkx260-48.png
convert "$work/simple-1024.png" -filter Lanczos -resize 32x32 -strip PNG32:vkx260-32.png
convert "$work/simple-1024.png" -filter Lanczos -resize 16x16 -strip PNG32:"$work/vkx260-16.png"
# Windows picks the size that fits; the 256-pixel image stays PNG-compressed inside the .ico.
convert "$work/vkx260-16.png" vkx260-32.png vkx260-48.png vkx260-256.png vkx260.ico
