#pragma once
// Replaces a file so that it is never lost: the new content goes to a
// temporary file in the same directory, is flushed to disk, and is renamed
// over the old one. On any failure the old file stays as it was.
#include <QByteArray>
#include <QString>

// Throws FileError naming the file and the system's reason.
void save_file_safely(const QString& path, const QByteArray& data);
