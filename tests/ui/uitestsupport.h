#pragma once

#include "platform/codepage.h"
#include "platform/platformservices.h"
#include "platform/sim/simbench.h"
#include "model/operator.h"
#include "support/fakeoperator.h"
#include "support/passthroughcodepage.h"

#include <QApplication>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace dravex::testing {

inline QString u(const char *utf8) {
    return QString::fromUtf8(utf8);
}

// The sim bench behind every service, with a fresh program directory for the settings files.
struct TestServices {
    SimBench bench;
    PassThroughCodePage codePage;
    QTemporaryDir programDirectory;
    PlatformServices services{bench, bench, bench, codePage, bench, bench, bench, bench,
                              bench.capacityReports(), bench.productionLog(),
                              programDirectory.path().toStdString()};

    std::filesystem::path settingsFile(const char *name) const {
        return std::filesystem::path(programDirectory.path().toStdString()) / name;
    }
    std::optional<std::string> readSettings(const char *name) const {
        std::ifstream in(settingsFile(name), std::ios::binary);
        if (!in)
            return std::nullopt;
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    void writeSettings(const char *name, const std::string &bytes) const {
        std::ofstream(settingsFile(name), std::ios::binary) << bytes;
    }
};

// Writes a file of the given size, creating the folders on its way.
inline void writeFile(const std::filesystem::path &path, size_t size) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << std::string(size, 'x');
}

// A modal window blocks the test in its own event loop; this reaches into that loop. The next time
// events are processed (inside exec()), it hands the modal window to the test and then closes it with
// its close box, unless the test already hid it. Nothing runs once the watcher is gone.
class ModalWatcher : public QObject {
public:
    std::vector<QPointer<QWidget>> seen;

    void whenOpen(std::function<void(QWidget *)> inside = {}) {
        QTimer::singleShot(0, this, [this, inside] {
            QWidget *window = QApplication::activeModalWidget();
            seen.emplace_back(window);
            if (inside && window)
                inside(window);
            if (window && window->isVisible())
                window->close();
        });
    }
};

} // namespace dravex::testing
