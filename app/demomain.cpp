#include "demo/demomachine.h"
#include "model/variant.h"
#include "ui/form1.h"
#include "ui/translations.h"

#include <QApplication>

#include <iostream>

// The tool on a simulated bench: the same main window as dravex-v2, over the sticks of a bench folder
// that dravex-bench (or anyone with a file manager) changes while it runs.
int main(int argc, char *argv[]) {
    if (argc != 2 || argv[1][0] == '\0' || argv[1][0] == '-') {
        std::cerr
            << "usage: dravex-demo BENCH-FOLDER\n"
               "Shows the sticks of the bench folder (made with dravex-bench; see dravex-bench --help).\n";
        return 2;
    }
    QApplication application(argc, argv);
    dravex::installChineseTranslations(application);
    const std::string programDirectory = QCoreApplication::applicationDirPath().toStdString();
    dravex::DemoMachine machine(argv[1], programDirectory, programDirectory);
    if (!machine.problem().empty()) {
        std::cerr << "dravex-demo: " << machine.problem() << "\n";
        return 1;
    }
    dravex::QaStation station(dravex::Variant::V2, machine.services());
    dravex::Form1 window(station, DRAVEX_CONTACT_ADDRESS);
    window.load();
    return application.exec();
}
