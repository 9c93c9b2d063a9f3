#!/usr/bin/env bash
# The walls between the source folders.
#   walls.sh arrows CASES FLAGS_DIR COMPILER SOURCE_DIR WORK_DIR
#     Each case line is "allowed|forbidden TARGET FOLDER HEADER". An allowed
#     header must compile with the flags of FOLDER's target; a forbidden one
#     must not be found, included by its path from the root, and must be
#     refused (see "relative") when included by its path relative to FOLDER.
#     The probe stands where a file of FOLDER would, so FOLDER itself is
#     searched first, as for the folder's own files. Every breach is reported.
#   walls.sh relative SOURCE_DIR FOLDER...
#     Fails on every include in the folders' sources and headers whose path
#     leaves a folder (a ".." part), naming file and line: the compiler always
#     searches the including file's own folder, so such an include would get
#     past the include paths.
#   walls.sh names SOURCE_DIR FOLDER
#     Fails on every line of the folder's files that names the program, the
#     player's alias or the title's name (the first word of the desktop
#     entry's), in any case. The one exception: in a CMakeLists.txt, a target
#     the product's CMakeLists.txt files define, but the program itself.
set -u

relativeIncludes() {
    grep -rnHE --include='*.h' --include='*.cpp' \
        '^[[:space:]]*#[[:space:]]*include[[:space:]]*["<]([^">]*/)?\.\.(/|[">])' "$@"
}

case "$1" in
relative)
    shift
    cd "$1" && shift
    if relativeIncludes "$@"; then
        echo "includes that leave their folder: include by the path from the root instead" >&2
        exit 1
    fi
    ;;
names)
    cd "$2" || exit 1
    title=$(sed -n 's/^Name=\([^ ]*\).*/\1/p' install/velmyr.desktop)
    names="velmyr|lirovan|${title:?no Name= in install/velmyr.desktop}"
    targets=$(grep -rhoP --include=CMakeLists.txt '^\s*add_(library|executable)\(\s*\K\w+' app ui player platform |
        grep -vixE "$names" | paste -sd'|')
    # grep answers 1 for nothing found: anything else, an error too, fails.
    grep -rniP --exclude=CMakeLists.txt "$names" "$3"
    files=$?
    grep -rniP --include=CMakeLists.txt "(?<!\w)(?!(?-i:$targets)(?!\w))\w*($names)" "$3"
    builds=$?
    if [ $files -ne 1 ] || [ $builds -ne 1 ]; then
        echo "the program's name, the player's alias or the title's name below app/ and ui/: hand it down from app/" >&2
        exit 1
    fi
    ;;
arrows)
    cases=$2 flags=$3 compiler=$4 root=$5 work=$6
    rm -rf "$work" && mkdir -p "$work"
    breaches=0 tried=0
    while read -r verdict target folder header; do
        [ -n "$verdict" ] || continue
        tried=$((tried + 1))
        probe=$work/$folder/probe.cpp
        mkdir -p "$work/$folder"
        echo "#include \"$header\"" >"$probe"
        mapfile -t options < <(grep -v "^$" "$flags/$target.flags")
        output=$("$compiler" "${options[@]}" -iquote "$root/$folder" -fsyntax-only "$probe" 2>&1)
        status=$?
        if [ "$verdict" = allowed ]; then
            if [ $status -ne 0 ]; then
                echo "BREACH: $folder ($target) cannot include $header, which it may:"
                echo "$output" | head -5
                breaches=$((breaches + 1))
            fi
            continue
        fi
        # GCC's words, then clang's; nothing else passes.
        if [ $status -eq 0 ] || ! grep -qF -e "$header: No such file or directory" -e "'$header' file not found" <<<"$output"; then
            echo "BREACH: $folder ($target) reaches $header:"
            echo "$output" | head -5
            breaches=$((breaches + 1))
        fi
        relative=$(realpath -m --relative-to="$root/$folder" "$root/$header")
        echo "#include \"$relative\"" >"$probe"
        if ! relativeIncludes "$probe" | grep -q "^$probe:1:"; then
            echo "BREACH: $folder reaches $header as \"$relative\" unrefused"
            breaches=$((breaches + 1))
        fi
    done <"$cases"
    echo "$tried cases, $breaches breaches"
    [ "$tried" -gt 0 ] && [ "$breaches" -eq 0 ]
    ;;
*)
    echo "usage: walls.sh arrows|relative|names ..." >&2
    exit 2
    ;;
esac
