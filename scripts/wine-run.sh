#!/usr/bin/env bash
# Runs a Windows test program under Wine for CTest, in the session that scripts/test.sh set up.
if [ -z "${WINEPREFIX:-}" ] || [ -z "${DISPLAY:-}" ]; then
  echo "wine-run.sh: no test session (WINEPREFIX, DISPLAY); run the tests with scripts/test.sh" >&2
  exit 1
fi
exec wine "$@"
