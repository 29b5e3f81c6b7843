#pragma once
// Closing the target editor: ask whether to save, save on Yes, then read the
// list back from the file so that the table is what the file holds, and show
// the count in the main window.
#include <QString>

struct SharedState;
class MessageBoxes;
class MonitorDisplay;

// "更新して終了します。", title "終了判定", Yes (default) / No, no icon.
//  - Yes: save_target_list. When that fails the operator is told, the old
//    file stays, and the table keeps the edits (they are not thrown away by
//    reading the old file back), so closing the editor again can retry.
//  - Then, unless the save failed, load_target_list; when that fails the
//    operator is told and the table stays as it is.
//  - Label3 shows the count.
void Form_QueryUnload(SharedState& state, MessageBoxes& boxes, MonitorDisplay& display,
                      const QString& path);
