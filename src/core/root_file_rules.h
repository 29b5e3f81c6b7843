#pragma once
// Files root may read or replace. Started as root in a folder another user
// can write, the program must not be led through a symlink or a planted file
// into reading or replacing root's own files. As ssh does with its files,
// root uses only a file that is not a symlink, is owned by root, cannot be
// written by group or others, and lies in a folder owned by root that group
// and others cannot write. Other users are not restricted.
#include <QString>
#include <optional>
#include <string>
#include <sys/stat.h>

// True when the effective user is root, so the rules apply.
bool root_file_rules_apply();

// Why root must not use the file at path (file: its status, taken from the
// open descriptor or by lstat; nullptr for a file that does not exist yet).
// nullopt when it may. The text is a reason for the operator, without the
// file name.
std::optional<QString> root_file_refusal(const std::string& path, const struct stat* file);

// The reason given for a symlink.
QString root_symlink_refusal();
