#pragma once
// Closing the target editor: ask whether to save, save on Yes, then read the
// list back from the file so that the list is what the file holds, and
// announce the count.
#include <QString>

struct TargetList;
class MonitorState;
class MessageBoxes;
class MonitorEvents;

// "更新して終了します。", title "終了判定", Yes (default) / No, no icon.
//  - Yes: save_target_list. When that fails the operator is told, the old
//    file stays, and the list keeps the edits (they are not thrown away by
//    reading the old file back), so closing the editor again can retry.
//  - Then, unless the save failed, load_target_list; when that fails the
//    operator is told and the list stays as it is.
//  - The status line announces the count.
//  - A saved file is announced to events (when given).
void close_target_editor(TargetList& targets, MonitorState& monitor, MessageBoxes& boxes,
                         const QString& path, MonitorEvents* events = nullptr);
