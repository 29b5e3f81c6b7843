#pragma once
// Where Pelmora keeps conf.ini and kanshi.ini. Started plainly from a shell it
// uses the working directory. With --dir DIR, or from the desktop menu (which
// starts it with --user-folder), it uses a folder of its own, created with the
// sample files on first start, so that it never stops for want of a file.
#include <QString>

// $XDG_DATA_HOME/pelmora, or ~/.local/share/pelmora.
QString user_work_folder();

struct PreparedFolder {
    bool created_files = false; // the sample files were put there just now
    QString error;              // not empty: the folder cannot be used
};

// Makes the folder (and its parents) when missing, puts the sample conf.ini
// and kanshi.ini in when neither file is there, and makes it the working
// directory. A folder that holds one of the files is used as it is.
PreparedFolder enter_work_folder(const QString& folder);

// The one-time information after the sample files were put in place.
QString first_start_text(const QString& folder);
