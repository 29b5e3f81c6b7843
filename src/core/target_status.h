#pragma once
// What the last checks found, target by target, for the status window: the
// state, the last round trip and since when the target has been in that
// state; with the last check's start and length. Kept by address and
// description, so that moving a record in the editor keeps its history and
// two records of one address keep their own; a record not yet checked as it
// stands shows 未確認. Devices, known by their address alone, turn down and
// up: a device answers when any of its monitored records answered.
#include <QDateTime>
#include <QHash>
#include <QString>
#include <optional>
#include <vector>

#include "core/device_history.h"
#include "core/echo_engine.h"

struct Target;
struct TargetList;

enum class TargetState { Unchecked, Answering, Silent, NotMonitored };

// 未確認 / 応答あり / 応答なし / 監視対象外
QString target_state_text(TargetState state);

// The device-name part of a description (before the first ／), as one
// visible line.
QString device_name(const QString& description);

struct TargetStatus {
    TargetState state = TargetState::Unchecked;
    std::optional<double> rtt_ms; // the last one measured
    QDateTime since;              // when the state began; invalid while 未確認
};

class TargetStatusTable {
  public:
    // After a check of the targets as they were at its start; results in
    // record order, as the engine gave them. Returns the devices that turned
    // down (a first check without an answer too), came back, or left
    // monitoring (無効 or removed) while down.
    std::vector<DeviceChange> update(const TargetList& targets,
                                     const std::vector<EchoResult>& results,
                                     const QDateTime& started, qint64 duration_ms);

    // How the devices stood when the history last kept a check, before the
    // first check of this run: one still down is not announced again.
    void seed(const std::vector<DeviceLastState>& states);

    TargetStatus status_of(const Target& record) const;

    bool checking = false;  // from the start of a check to its decision
    QDateTime last_started; // invalid before the first check
    qint64 last_duration_ms = 0;
    int last_not_answering = 0;
    int unmade_in_a_row = 0; // checks in a row the echo engine could not make at all

  private:
    struct Device {
        bool down = false;
        QDateTime since;
        QString name;
    };

    QHash<QString, TargetStatus> by_record_;
    QHash<QString, Device> devices_; // by address: the monitored ones last checked
};
