#!/bin/sh
# Runs a test program on the X server xvfb-run started, with a window manager, as a desktop
# would: pop-up lists are windows of their own and the focus moves through the manager.
openbox >/dev/null 2>&1 &
wm=$!
sleep 1
QT_QPA_PLATFORM=xcb "$@"
status=$?
kill "$wm" 2>/dev/null
exit $status
