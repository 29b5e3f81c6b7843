// A Qt generic plugin of the kind any user can offer the program through
// QT_PLUGIN_PATH and QT_QPA_GENERIC_PLUGINS. Once loaded it writes the
// CapEff and CapPrm lines of the process it runs in, and how many raw sockets
// it finds among the process's descriptors, to the file named by
// PELMORA_CAPABILITY_PROBE_OUT.
#include <QGenericPlugin>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/socket.h>

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
            int raw = 0;
            for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
                int type = 0;
                socklen_t size = sizeof type;
                const int fd = std::stoi(entry.path().filename().string());
                raw += ::getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &size) == 0 && type == SOCK_RAW;
            }
            report << "RawSockets:\t" << raw << '\n';
        }
        return new QObject; // an empty plugin object keeps Qt from warning
    }
};

#include "capability_probe_plugin.moc"
