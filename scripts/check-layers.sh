#!/usr/bin/env bash
# The layers point one way. Fails, naming the lines, when
#  - a file under src/core/ includes a header of another src/ folder;
#  - a file outside src/ui/ and src/app/ includes a Qt Gui or Widgets header;
#  - a form control or handler name appears outside src/ui/.
set -u
cd "$(dirname "$0")/.."
status=0

report() {
    if [ -n "$2" ]; then
        printf '%s:\n%s\n\n' "$1" "$2"
        status=1
    fi
}

report "src/core includes a header from another layer" \
    "$(grep -rnE '#\s*include\s*"(app|ui|settings|targets|mail|platform)/' src/core || true)"

report "Qt Gui or Widgets outside src/ui and src/app" \
    "$(grep -rnE '#\s*include\s*<(QtWidgets/|QtGui/)?(Q(Widget|Label|LineEdit|PushButton|MessageBox|Application|GuiApplication|Dialog|CheckBox|GroupBox|Menu|SystemTrayIcon|Frame|Palette|Color|Font|Icon|Pixmap|Painter|KeyEvent|CloseEvent))>|#\s*include\s*<Qt(Widgets|Gui)>' \
        src --include='*.cpp' --include='*.h' | grep -vE '^src/(ui|app)/' || true)"

report "form control or handler names outside src/ui" \
    "$(grep -rnwE '(Label[0-9]+|Command[0-9]+|Text[0-9]+|Check[0-9]+|Frame[0-9]+|Timer1|Form_Load|Form_QueryUnload)' \
        src --include='*.cpp' --include='*.h' | grep -v '^src/ui/' || true)"

[ "$status" -eq 0 ] && echo "layers: ok"
exit "$status"
