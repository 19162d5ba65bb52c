#!/usr/bin/env bash
# without_webengine.sh SOURCE_DIR BUILD_DIR BUILD_TYPE
# Builds the window without Qt WebEngine in a build of its own and runs the
# tests of the panel, the window and the button there: the panel shows the
# bundled page in a rich-text view and the rest of the window works the same.
# The program must not load Qt WebEngine at all, and must start and close.
set -euo pipefail
source_dir=$1
build_dir=$2
build_type=${3:-RelWithDebInfo}
tests=(web_panel_control_test main_window_test generate_clicked_test)

cmake -S "$source_dir" -B "$build_dir" -DCMAKE_BUILD_TYPE="$build_type" \
  -DLIRREVO_WEBENGINE=OFF -DLIRREVO_BENCH=OFF >/dev/null
cmake --build "$build_dir" --parallel 2 --target lirrevo "${tests[@]}"
if ldd "$build_dir/app/lirrevo" | grep -q WebEngine; then
  echo "FAIL: the program links Qt WebEngine" >&2
  exit 1
fi
pattern="^($(IFS='|'; echo "${tests[*]}"))\$"
QT_QPA_PLATFORM=offscreen ctest --test-dir "$build_dir" --output-on-failure --no-tests=error \
  -R "$pattern"
"$source_dir/tests/app/window_session.sh" "$build_dir/app/lirrevo"
