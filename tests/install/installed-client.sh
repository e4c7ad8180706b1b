#!/usr/bin/env bash
# The installed tree as a user gets it: `cmake --install` into a temporary
# prefix, then the installed programs, started from a folder outside the
# repository with none of the variables that point at other files
# (ORBISIGHT_IMAGES, ORBISIGHT_CLOUD_LIBRARY):
#   - no installed program or library refers to the build folder (RUNPATH);
#   - orbisight-cli --help and orbisight --version answer;
#   - the desktop entry and the AppStream data validate;
#   - the installed simulator serves one camera, the installed client plays
#     it in a pane under Xvfb, finding its skin images and the cloud library
#     in the installed tree, and writes an autostart entry naming itself.
#
#   installed-client.sh BUILD_DIR [CMAKE]
# Exit status 77 (skipped) when Xvfb or the validators are not installed.
set -euo pipefail

build=$(cd "$1" && pwd)
cmake=${2:-cmake}
for tool in xvfb-run Xvfb desktop-file-validate appstreamcli readelf; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "SKIP: $tool is not installed (scripts/setup-deps installs it)"
    exit 77
  fi
done

work=$(mktemp -d /tmp/orbisight-installed-XXXXXX)
sim=
cleanup() {
  if [ -n "$sim" ]; then
    kill "$sim" 2>/dev/null || true
    wait "$sim" 2>/dev/null || true
  fi
  if [ "${keep:-0}" = 1 ]; then
    echo "files kept in $work"
  else
    rm -rf "$work"
  fi
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  keep=1
  exit 1
}

prefix=$work/prefix
"$cmake" --install "$build" --prefix "$prefix" >"$work/install.log" || fail "cmake --install (see $work/install.log)"
bin=$prefix/bin
for program in orbisight orbisight-cli orbisight-sim; do
  [ -x "$bin/$program" ] || fail "$program is not installed in $bin"
done

# Nothing installed may look into the build folder for a library.
while IFS= read -r file; do
  if readelf -d "$file" 2>/dev/null | grep -E 'R(UN)?PATH' | grep -qF "$build"; then
    fail "$file has a RUNPATH into the build folder: $(readelf -d "$file" | grep -E 'R(UN)?PATH')"
  fi
done < <(find "$prefix" -type f \( -perm -u+x -o -name '*.so*' \))

# From a folder outside the repository, with a clean environment.
mkdir -p "$work/elsewhere" "$work/home" "$work/user"
cd "$work/elsewhere"
unset ORBISIGHT_IMAGES ORBISIGHT_CLOUD_LIBRARY XDG_CONFIG_HOME

"$bin/orbisight-cli" --help >"$work/cli-help.txt" || fail "orbisight-cli --help exits with $?"
grep -q '^usage: orbisight-cli COMMAND' "$work/cli-help.txt" || fail "orbisight-cli --help prints no usage"
version=$("$bin/orbisight" --version) || fail "orbisight --version exits with $?"
# The version the programs give is the one the package's change log and the
# AppStream data announce.
share=$prefix/share
metainfo=$share/metainfo/org.orbisight.orbisight.metainfo.xml
changelog=$share/doc/orbisight/changelog.gz
[ -f "$metainfo" ] || fail "no AppStream data in $share/metainfo"
[ -f "$changelog" ] || fail "no change log in $share/doc/orbisight"
number=${version#orbisight }
grep -q "<release version=\"$number\"" "$metainfo" || fail "$metainfo has no release $number"
zcat "$changelog" | head -n 1 | grep -qF "orbisight ($number)" ||
  fail "the change log does not begin with $number: $(zcat "$changelog" | head -n 1)"

desktop-file-validate "$share/applications/orbisight.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate"
for size in 16 22 24 32 48 64 128 256; do
  [ -f "$share/icons/hicolor/${size}x$size/apps/orbisight.png" ] || fail "no ${size}x$size icon"
done
for page in orbisight orbisight-cli orbisight-sim; do
  [ -f "$share/man/man1/$page.1.gz" ] || fail "no manual page $page(1)"
done
[ -f "$share/bash-completion/completions/orbisight-cli" ] || fail "no bash completion"

# The installed simulator with one camera of its own (an ephemeral port:
# nothing else running beside this test is disturbed). Its clips are kept in
# the usual cache, so later runs start at once.
cat >"$work/sim.json" <<'JSON'
{"cameras": [{"id": "INST00000001", "name": "Installed", "user": "admin",
              "password": "admin", "port": 0}]}
JSON
"$bin/orbisight-sim" --config "$work/sim.json" >"$work/sim.out" 2>"$work/sim.err" </dev/null &
sim=$!
port=
for _ in $(seq 1 600); do
  port=$(sed -n 's/.*"id":"INST00000001","kind":"camera","port":\([0-9]*\).*/\1/p' "$work/sim.out")
  [ -n "$port" ] && grep -q '"ready":true' "$work/sim.out" && break
  kill -0 "$sim" 2>/dev/null || fail "orbisight-sim ended: $(cat "$work/sim.err")"
  sleep 0.1
done
[ -n "$port" ] || fail "orbisight-sim named no camera port: $(cat "$work/sim.out")"

"$bin/orbisight-cli" local add --data-dir "$work/home" --id INST00000001 \
  --host "127.0.0.1:$port" --name Installed --password admin >/dev/null ||
  fail "orbisight-cli local add"

# The client: connect all, wait until the pane plays, turn "Start with
# computer" on (applied when the settings are saved at exit), quit.
trace=$work/trace.txt
script="trace=$trace;setting=start-with-computer:1;at=1;connect-all;wait-playing"
script+=";screenshot=$work/wall.png;quit"
status=0
env HOME="$work/user" ORBISIGHT_HOME="$work/home" ORBISIGHT_AUDIO=null QT_QPA_PLATFORM=xcb \
  ORBISIGHT_AUTOMATION="$script" \
  timeout -k 5 120 xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" "$bin/orbisight" \
  >"$work/client.out" 2>"$work/client.err" || status=$?
[ "$status" = 0 ] || fail "the installed client ended with $status: $(tail -n 20 "$work/client.err")"

grep -q '^hold: ' "$trace" && fail "a waiting step gave up: $(grep '^hold: ' "$trace")"
grep -q '^pane: 0 INST00000001 connected' "$trace" || fail "the pane never connected: $(cat "$trace")"
[ -s "$work/wall.png" ] || fail "no screenshot"
# The installed files, found relative to the installed program.
real=$(cd "$prefix" && pwd -P)
files=$(grep '^files: ' "$trace") || fail "no files line in the trace"
expected_images=$(grep -o 'images [^ ]*' <<<"$files" | cut -d' ' -f2)
case $expected_images in
  "$real"/share/orbisight/images) ;;
  *) fail "the skin images are not the installed ones: $files" ;;
esac
grep -q ' ok |' <<<"$files" || fail "the installed skin images do not load: $files"
cloud=$(sed 's/.* | cloud //' <<<"$files")
case $cloud in
  "$real"/lib*/orbisight/libRK_ORBCSClient.so) ;;
  *) fail "the cloud library is not the installed one: $files" ;;
esac

# "Start with computer" starts the installed program, named by its real path.
entry=$work/user/.config/autostart/orbisight.desktop
[ -f "$entry" ] || fail "no autostart entry in $work/user/.config/autostart"
grep -qxF "Exec=\"$real/bin/orbisight\"  /OnSysStart" "$entry" ||
  fail "the autostart entry does not start $real/bin/orbisight: $(grep '^Exec=' "$entry")"
desktop-file-validate "$entry" || fail "the autostart entry does not validate"
echo "installed client: $version plays from $prefix"
