#pragma once
// Replaces a file so that it is never lost: the new content goes to a
// temporary file in the same directory, is flushed to disk, and is renamed
// over the old one. On any failure the old file stays as it was.
#include <QByteArray>
#include <QString>
#include <optional>

// Throws FileError naming the file and the system's reason. A file that holds
// a secret passes its mode (0600), which it gets whatever the old one had.
void save_file_safely(const QString& path, const QByteArray& data,
                      std::optional<unsigned> fixed_mode = std::nullopt);
