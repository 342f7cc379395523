#!/usr/bin/env bash
# Checks the direction of every #include "folder/..." in src/: a folder may
# include itself and the folders of the layers below it, never a layer
# above nor a neighbour on its own layer (the exceptions below say why they
# stand). A broken rule is reported as file:line with the rule; the exit
# status is 1 when there is any.
#
#   5  ui, tools                            (may include everything)
#   4  camera, photo, video, web, share     (the backends and the upload side)
#   3  app                                  (the controller and its ports)
#   2  util, entry, imaging
#   1  log
#   0  foundation
#
# Usage: scripts/check-layers.sh [SOURCE_ROOT]   (default: the repository)
set -euo pipefail
root="${1:-$(cd "$(dirname "$0")/.." && pwd)}"
cd "$root"

declare -A LAYER=(
    [foundation]=0 [log]=1 [util]=2 [entry]=2 [imaging]=2 [app]=3
    [camera]=4 [photo]=4 [video]=4 [web]=4 [share]=4 [ui]=5 [tools]=5
)

# Edges between neighbours (or upwards) that stand, each with its reason.
# "from to" allows a whole folder; "from to/File.h" allows one header.
allowed_edge() {
    case "$1 $2" in
        # The file names, folders, EXIF payload and share link of a filed
        # photo are the filing's rules: the upload side, the clip
        # composition and the web page follow them rather than copy them.
        "share photo/"* | "video photo/"* | "web photo/"*) return 0 ;;
        # The names of the prompt and capture movies, a header-only list of
        # strings kept beside the movie code (klik_movie_names links nothing).
        "app video/MovieNames.h") return 0 ;;
    esac
    return 1
}

status=0
checked=0
while IFS= read -r hit; do
    file="${hit%%:*}"
    rest="${hit#*:}"
    line="${rest%%:*}"
    text="${rest#*:}"
    [[ "$text" =~ \"([^\"]+)\" ]] || continue
    target="${BASH_REMATCH[1]}"
    [[ "$target" == */* ]] || continue  # a file beside this one
    to="${target%%/*}"
    to_layer="${LAYER[$to]:-}"
    [[ -n "$to_layer" ]] || continue  # not a folder of src/ (a system path)
    from="${file#src/}"
    from="${from%%/*}"
    from_layer="${LAYER[$from]:-}"
    checked=$((checked + 1))
    if [[ -z "$from_layer" ]]; then
        echo "$file:$line: src/$from/ has no layer; add it to scripts/check-layers.sh" >&2
        status=1
        continue
    fi
    [[ "$from" == "$to" ]] && continue
    ((from_layer == 5)) && continue
    ((to_layer < from_layer)) && continue
    allowed_edge "$from" "$target" && continue
    if ((to_layer == from_layer)); then
        rule="$from/ and $to/ are neighbours on layer $from_layer and may not include each other"
    else
        rule="$from/ (layer $from_layer) may not include $to/ (layer $to_layer, above it)"
    fi
    echo "$file:$line: #include \"$target\": $rule" >&2
    status=1
done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]+"' src \
    --include='*.h' --include='*.hpp' --include='*.cpp' --include='*.cc' | sort)

if ((status == 0)); then
    echo "check-layers: $checked includes between folders of src/ follow the layers"
fi
exit "$status"
