#pragma once
// The part of the monitoring state that lives in the main window's controls.
// The controls are the truth: the cycle reads the elapsed minutes and the
// interval back from Label6 and Label7, and the sweep takes the delivery-stop
// state from whether Command2 is enabled.
#include <QString>

class MonitorDisplay {
  public:
    virtual ~MonitorDisplay() = default;

    virtual QString Label6_text() const = 0; // elapsed minutes
    virtual void set_Label6(const QString& text) = 0;
    virtual QString Label7_text() const = 0; // interval in use
    virtual void set_Label7(const QString& text) = 0;
    virtual void set_Yokusi_view(const QString& text) = 0;
    virtual void set_Label3(const QString& text) = 0;

    // Delivery stopped exactly while Command2 is enabled.
    virtual bool Command2_enabled() const = 0;
    // Stopped: Command2 enabled, Command3 and Command4 disabled, background red.
    virtual void show_stopped() = 0;
    // Normal: the reverse, background the button-face colour.
    virtual void show_normal() = 0;
};
