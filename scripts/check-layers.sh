#!/usr/bin/env bash
# The layers point one way. Fails, naming the lines, when
#  - a file under src/ includes a header of a folder that src/layers.txt does
#    not allow its own folder (the build refuses the same includes);
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

# Every include of a src/ header, quoted or in angle brackets, against the
# table. A folder may always include its own headers.
layer_violations() {
    # shellcheck disable=SC2046
    awk '
        function folder_of(path,   best, f) {
            best = ""
            for (f in allowed)
                if (index(path, f "/") == 1 && length(f) > length(best))
                    best = f
            return best
        }
        FNR == 1 && FILENAME == "src/layers.txt" { in_table = 1 }
        FNR == 1 && FILENAME != "src/layers.txt" { in_table = 0 }
        in_table {
            if ($0 !~ /^#/ && $0 ~ /:/) {
                key = substr($0, 1, index($0, ":") - 1)
                allowed[key] = " " substr($0, index($0, ":") + 1) " "
            }
            next
        }
        /^[ \t]*#[ \t]*include[ \t]*["<][^">]+[">]/ {
            where = FILENAME ":" FNR ":" $0
            match($0, /["<][^">]+[">]/)
            quote = substr($0, RSTART, 1)
            target = substr($0, RSTART + 1, RLENGTH - 2)
            if (target ~ /(^|\/)\.\.?\//) {
                print where "  (a relative include)"
                next
            }
            to = folder_of(target)
            if (to == "") {
                if (quote == "\"")
                    print where "  (not in a folder of src/layers.txt)"
                next
            }
            from = folder_of(substr(FILENAME, 5))
            if (from == "")
                print where "  (" FILENAME " is in no folder of src/layers.txt)"
            else if (from != to && !index(allowed[from], " " to " ") &&
                     !index(allowed[from], " " target " "))
                print where "  (" from " may not include " to ")"
        }' src/layers.txt $(find src -name '*.cpp' -o -name '*.h' | sort)
}

report "an include the layer table does not allow (src/layers.txt)" "$(layer_violations)"

report "Qt Gui or Widgets outside src/ui and src/app" \
    "$(grep -rnE '#\s*include\s*<(QtWidgets/|QtGui/)?(Q(Widget|Label|LineEdit|PushButton|MessageBox|Application|GuiApplication|Dialog|CheckBox|GroupBox|Menu|SystemTrayIcon|Frame|Palette|Color|Font|Icon|Pixmap|Painter|KeyEvent|CloseEvent))>|#\s*include\s*<Qt(Widgets|Gui)>' \
        src --include='*.cpp' --include='*.h' | grep -vE '^src/(ui|app)/' || true)"

report "form control or handler names outside src/ui" \
    "$(grep -rnwE '(Label[0-9]+|Command[0-9]+|Text[0-9]+|Check[0-9]+|Frame[0-9]+|Timer1|Form_Load|Form_QueryUnload)' \
        src --include='*.cpp' --include='*.h' | grep -v '^src/ui/' || true)"

[ "$status" -eq 0 ] && echo "layers: ok"
exit "$status"
