#!/usr/bin/env bash
# Makes the sample post's pictures: 1.jpg ... <count>.jpg, each a gradient of its own
# colours with its number drawn large, so that a saved file shows which one it is.
#   make_pictures.sh <folder> [count]
# Pictures already there are kept.
set -euo pipefail
folder="${1:?folder}"
count="${2:-12}"
font=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
[ -f "$font" ] || font=DejaVu-Sans-Bold

colours=(
  "#1e3c72-#2a5298" "#8e2de2-#4a00e0" "#f12711-#f5af19" "#11998e-#38ef7d"
  "#fc466b-#3f5efb" "#c94b4b-#4b134f" "#0f2027-#2c5364" "#ee9ca7-#ffdde1"
  "#373b44-#4286f4" "#ff512f-#dd2476" "#134e5e-#71b280" "#3a1c71-#ffaf7b"
)

mkdir -p "$folder"
for i in $(seq 1 "$count"); do
  out="$folder/$i.jpg"
  [ -s "$out" ] && continue
  gradient="${colours[$(( (i - 1) % ${#colours[@]} ))]}"
  convert -size 800x600 "gradient:$gradient" -font "$font" -gravity center \
    -fill white -stroke '#00000060' -strokewidth 4 -pointsize 280 -annotate 0 "$i" \
    -gravity south -stroke none -pointsize 28 -annotate +0+24 "pixwharf.com sample $i / $count" \
    -quality 85 "$out.tmp.jpg"
  mv "$out.tmp.jpg" "$out"
done
