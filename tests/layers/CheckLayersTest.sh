#!/usr/bin/env bash
# The layering check on small trees of its own: a clean tree passes, and each
# kind of broken include fails with its file, line and rule named.
#
#   CheckLayersTest.sh CHECK_SCRIPT
set -uo pipefail

check=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0

# tree NAME FILE=CONTENT...: a fresh tree with the given files.
tree() {
    local dir=$work/$1 entry
    shift
    mkdir -p "$dir"
    for entry in "$@"; do
        mkdir -p "$dir/$(dirname "${entry%%=*}")"
        printf '%s\n' "${entry#*=}" > "$dir/${entry%%=*}"
    done
    echo "$dir"
}

# expect NAME STATUS PATTERN TREE: runs the check on TREE.
expect() {
    local name=$1 status=$2 pattern=$3 dir=$4 output got
    output=$("$check" "$dir" 2>&1)
    got=$?
    if [ "$got" -ne "$status" ] || ! grep -qE -- "$pattern" <<<"$output"; then
        echo "FAIL $name: wanted status $status and /$pattern/, got status $got:"
        echo "$output"
        failed=1
    else
        echo "ok   $name"
    fi
}

clean=$(tree clean \
    'core/Math.h=#include <cstdint>' \
    'platform/window/Window.cpp=#include <SDL2/SDL.h>' \
    'platform/gfx/Device.cpp=#include "platform/gfx/detail/Gl.h"' \
    'display/Display.cpp=#include "platform/window/Window.h"' \
    'resources/Texture.cpp=#include "display/Display.h"' \
    'scene/SceneAssembly.cpp=#include "resources/Model.h"' \
    'music/Music.h=#include "platform/sound/Sound.h"' \
    'app/main.cpp=#include "scene/SceneFile.h"' \
    'app/Demo.cpp=#include "music/Music.h"' \
    'tests/gfx/DeviceTest.cpp=#include "platform/gfx/detail/GlObject.h"' \
    'tests/console/ConsoleTest.cpp=#include <unistd.h>')
expect "clean tree passes" 0 'includes follow the layers' "$clean"

expect "SDL outside the platform" 1 '^check-layers: display/Display.cpp:2: platform-only headers: #include <SDL2/SDL.h>' \
    "$(tree sdl 'display/Display.cpp=// window
#include <SDL2/SDL.h>')"
expect "OS header outside the platform" 1 'console/Clock.cpp:1: platform-only headers' \
    "$(tree os 'console/Clock.cpp=#include <unistd.h>')"
expect "GL loader outside the platform" 1 'resources/Shader.cpp:1: platform-only headers' \
    "$(tree gl 'resources/Shader.cpp=  #  include <epoxy/gl.h>')"
expect "platform detail header" 1 'scene/Scene.cpp:1: platform detail' \
    "$(tree detail 'scene/Scene.cpp=#include "platform/image/detail/Dds.h"')"
expect "platform detail header in an engine test" 1 'tests/display/DisplayTest.cpp:1: platform detail' \
    "$(tree testdetail 'tests/display/DisplayTest.cpp=#include "platform/gfx/detail/Gl.h"')"
expect "display includes resources" 1 'display/Display.cpp:1: layer order: .*display/ may not include resources/' \
    "$(tree upward 'display/Display.cpp=#include "resources/Texture.h"')"
expect "core includes platform" 1 'core/Math.cpp:1: layer order' \
    "$(tree core 'core/Math.cpp=#include "platform/cpu/Clock.h"')"
expect "console includes display" 1 'console/Console.cpp:1: layer order' \
    "$(tree console 'console/Console.cpp=#include "display/Display.h"')"
expect "scene includes music" 1 'scene/Scene.cpp:1: layer order: .*scene/ may not include music/' \
    "$(tree music 'scene/Scene.cpp=#include "music/Music.h"')"
expect "music includes SDL" 1 'music/Music.cpp:1: platform-only headers' \
    "$(tree musicsdl 'music/Music.cpp=#include <SDL2/SDL_audio.h>')"
expect "engine includes content" 1 'scene/SceneFile.cpp:1: layer order: .*may not include content/' \
    "$(tree content 'scene/SceneFile.cpp=#include "content/scenewriter/SceneWriter.h"')"
expect "every fault is counted" 1 '2 include\(s\) break the layering' \
    "$(tree two 'app/A.cpp=#include <dlfcn.h>' 'resources/B.h=#include "scene/SceneFile.h"')"

exit $failed
