#include "settings/conf_file.h"

#include <QFileInfo>

#include "core/line_file.h"
#include "core/safe_save.h"
#include "core/shared_state.h"

void conf_load(SharedState& state, const QString& path) {
    FieldScanner in(read_whole_file(path), QFileInfo(path).fileName());
    // Read everything first, so that a file that fails leaves the settings alone.
    QString texts[4];
    for (QString& t : texts)
        t = in.read_text();
    int16 numbers[4];
    for (int16& n : numbers)
        n = in.read_number();
    state.to_mailadd = texts[0];
    state.from_mailadd = texts[1];
    state.pop_server = texts[2];
    state.from_maildomain = texts[3];
    state.chk_interval = numbers[0];
    state.chk_ribenzi = numbers[1];
    state.chk_ttl = numbers[2];
    state.chk_yokusi = numbers[3];
}

void conf_save(const SharedState& state, const QString& path) {
    LineWriter out;
    out.text(state.to_mailadd);
    out.text(state.from_mailadd);
    out.text(state.pop_server);
    out.text(state.from_maildomain);
    out.number(state.chk_interval);
    out.number(state.chk_ribenzi);
    out.number(state.chk_ttl);
    out.number(state.chk_yokusi);
    save_file_safely(path, out.bytes(QFileInfo(path).fileName()));
}
