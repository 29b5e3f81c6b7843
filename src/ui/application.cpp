#include "ui/application.h"

#include "core/delivery_stop.h"
#include "core/shared_state.h"
#include "ui/settings_window.h"
#include "ui/target_editor_window.h"

Application::Application(Services services)
    : s_(std::move(services)), main_(std::make_unique<MainWindow>(s_.state)),
      cycle_(s_.state, *main_, s_.engine, s_.mail) {
    main_->on_Timer1 = [this] { Timer1_Timer(); };
    main_->on_Command2 = [this] { Command2_Click(); };
    main_->on_Command3 = [this] { Command3_Click(); };
    main_->on_Command4 = [this] { Command4_Click(); };
    kankyo_.make = [this] { return new SettingsWindow(s_.state, s_.boxes, s_.files.conf); };
    kansi_.make = [this] {
        return new TargetEditorWindow(s_.state, s_.boxes, *main_, s_.files.targets);
    };
}

Application::~Application() {
    // The secondary windows go without their close questions.
    delete kankyo_.current();
    delete kansi_.current();
}

bool Application::start() {
    // The minute count starts once start-up is done: its message boxes run
    // event loops of their own, and no tick may be handled before the files
    // are read.
    if (!Form_Load(s_.state, *main_, s_.boxes, s_.first_copy, s_.files, s_.echo_right))
        return false;
    main_->Timer1->start();
    return true;
}

void Application::Timer1_Timer() {
    cycle_.Timer1_Timer();
}

void Application::Command2_Click() {
    // A release belongs between sweeps. The mail boxes are modal, so a click
    // cannot normally reach the window during a sweep; should one get through
    // anyway, the sweep's own decision stands.
    if (cycle_.sweeping())
        return;
    ::Command2_Click(s_.state, *main_);
}

void Application::Command3_Click() {
    if (main_->Command2_enabled())
        return; // locked while mail delivery is stopped
    kankyo_.open();
}

void Application::Command4_Click() {
    if (main_->Command2_enabled())
        return;
    kansi_.open();
}
