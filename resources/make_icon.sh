#!/bin/sh
# Regenerates setup.ico: a closed carton with a green arrow pointing into it,
# drawn once as a 48x48 vector image and rendered at 16, 32 and 48 pixels.
# Needs ImageMagick (convert). Run from any directory.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cat > "$work/icon.svg" <<'SVG'
<svg xmlns="http://www.w3.org/2000/svg" width="48" height="48" viewBox="0 0 48 48">
  <g stroke="#5a3a12" stroke-width="1.5" stroke-linejoin="round">
    <polygon points="4,21 24,28 24,46 4,39" fill="#d49a4c"/>
    <polygon points="24,28 44,21 44,39 24,46" fill="#b07830"/>
    <polygon points="4,21 24,14 44,21 24,28" fill="#f0c987"/>
  </g>
  <line x1="14" y1="17.5" x2="34" y2="24.5" stroke="#c08a40" stroke-width="1.5"/>
  <polygon points="18,2 30,2 30,13 37,13 24,27 11,13 18,13"
           fill="#2e9e3e" stroke="#16531f" stroke-width="1.5" stroke-linejoin="round"/>
  <polygon points="20,4 23,4 23,15 20,15" fill="#7fd88a" stroke="none"/>
</svg>
SVG

# Render large once, then scale down: small densities render poorly.
convert -background none -density 576 "$work/icon.svg" "PNG32:$work/icon-384.png"
for size in 16 32 48; do
  sharpen=""; [ "$size" -eq 16 ] && sharpen="-unsharp 0x0.6+0.8"
  convert "$work/icon-384.png" -filter Lanczos -resize "${size}x${size}!" $sharpen \
    -strip -define png:compression-level=9 "PNG32:$work/icon-$size.png"
done
# The icon file holds the three images as PNG, which Windows reads since
# Vista: 6 KB instead of the 15 KB of uncompressed bitmaps.
python3 - "$work" "$here/setup.ico" <<'PY'
import struct, sys
work, target = sys.argv[1:]
sizes = (16, 32, 48)
images = [open(f"{work}/icon-{size}.png", "rb").read() for size in sizes]
offset = 6 + 16 * len(images)
directory = struct.pack("<HHH", 0, 1, len(images))
for size, image in zip(sizes, images):
    directory += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), offset)
    offset += len(image)
with open(target, "wb") as icon:
    icon.write(directory + b"".join(images))
PY
echo "wrote $here/setup.ico"
