#!/bin/sh
# Checks that the folders include each other only downwards (each folder is one library
# that links exactly the layers it may include):
#   text/          the number texts                              -> text
#   engine/        the grain engine and the binary records       -> engine text
#   platform/      the only operating-system code                -> platform
#   persistence/   file formats and the engine's file operations -> persistence engine platform
#   host/          the VST 2 interface and its base classes      -> host text
#   resources/     the panel images                              -> resources
#   gui/           the widget toolkit                            -> gui platform resources
#   editor/        the editor window                             -> editor gui text engine persistence platform resources
#   plugin/        the VST 2 adapter and the module              -> plugin editor gui host text engine persistence platform resources
#   tools/         grainwheel-host                               -> tools host text engine persistence platform
# and that operating-system headers (system calls, modules, windowing) appear in
# platform/, gui/ (the toolkit's back ends) and tools/ only.
# Tests, benchmarks and fuzz harnesses may include anything. Prints every include against
# the rules and exits 1 when there is one.
#
# Usage: check-includes.sh [SOURCE_ROOT]
root=${1:-$(dirname "$0")/..}
cd "$root" || exit 2

allowed() {
    case $1 in
    text) echo "text" ;;
    engine) echo "engine text" ;;
    platform) echo "platform" ;;
    persistence) echo "persistence engine platform" ;;
    host) echo "host text" ;;
    resources) echo "resources" ;;
    gui) echo "gui platform resources" ;;
    editor) echo "editor gui text engine persistence platform resources" ;;
    plugin) echo "plugin editor gui host text engine persistence platform resources" ;;
    tools) echo "tools host text engine persistence platform" ;;
    esac
}

os_headers='windows\.h|winuser\.h|commdlg\.h|direct\.h|io\.h|unistd\.h|dlfcn\.h|pthread\.h|fcntl\.h|sys/[a-z_]+\.h|xcb/[a-z_]+\.h|X11/[A-Za-z_]+\.h'

status=0
for folder in text engine platform persistence host resources gui editor plugin tools; do
    [ -d "$folder" ] || continue
    ok=$(allowed "$folder")
    for file in $(find "$folder" -name '*.h' -o -name '*.cpp' | sort); do
        # Project includes: "folder/...".
        for target in $(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([a-z_]*\)\/.*/\1/p' "$file" | sort -u); do
            pass=no
            for a in $ok; do [ "$a" = "$target" ] && pass=yes; done
            if [ $pass = no ]; then
                echo "$file: includes $target/ (allowed from $folder/: $ok)"
                status=1
            fi
        done
        # Operating-system headers.
        case $folder in platform | gui | tools) continue ;; esac
        bad=$(grep -nE "^[[:space:]]*#[[:space:]]*include[[:space:]]*<($os_headers)>" "$file")
        if [ -n "$bad" ]; then
            echo "$file: operating-system header outside platform/: $bad"
            status=1
        fi
    done
done
[ $status = 0 ] && echo "include rules kept"
exit $status
