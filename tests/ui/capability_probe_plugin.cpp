// A Qt generic plugin of the kind any user can offer the program through
// QT_PLUGIN_PATH and QT_QPA_GENERIC_PLUGINS. Once loaded it writes the
// CapEff and CapPrm lines of the process it runs in to the file named by
// PELMORA_CAPABILITY_PROBE_OUT.
#include <QGenericPlugin>
#include <fstream>
#include <string>

class CapabilityProbePlugin : public QGenericPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "capability_probe_plugin.json")

  public:
    QObject* create(const QString&, const QString&) override {
        const QByteArray out = qgetenv("PELMORA_CAPABILITY_PROBE_OUT");
        if (!out.isEmpty()) {
            std::ifstream status("/proc/self/status");
            std::ofstream report(out.constData());
            for (std::string line; std::getline(status, line);)
                if (line.starts_with("CapEff:") || line.starts_with("CapPrm:"))
                    report << line << '\n';
        }
        return new QObject; // an empty plugin object keeps Qt from warning
    }
};

#include "capability_probe_plugin.moc"
