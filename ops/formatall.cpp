#include "ops/formatall.h"

#include "model/verdicts.h"
#include "ops/opstexts.h"

namespace dravex {

void FormatDrive(Launcher &launcher, ConfigDialog &dialog, int16_t letterCode) {
    std::string commandLine = "format.com " + std::string(1, static_cast<char>(letterCode)) + ":";
    commandLine += "/FS:" + dialog.fileSystem();
    if (!dialog.label().empty())
        commandLine += "/V:" + dialog.label();
    if (dialog.quickFormat() == kChecked)
        commandLine += "/q";
    commandLine += "/y";
    // A program that cannot be started is skipped like any other failure of a single drive.
    launcher.Shell(commandLine, kWindowNormalFocus);
}

void formatAllDrives(DriveTable &table, MainWindowState &window, ConfigDialog &dialog, Launcher &launcher,
                     Operator &person) {
    window.setMousePointer(kPointerHourglass);
    for (const DriveSlot &slot : table.slots) {
        if (slot.volumeLabel.empty())
            continue;
        window.panel(1) = opstexts::kFormatting;
        if (slot.checkResult == verdicts::kWriteProtected) {
            person.showMessage(opstexts::kFormatLocked, opstexts::kErrorTitle);
            window.setMousePointer(kPointerDefault);
            return;
        }
        FormatDrive(launcher, dialog, static_cast<int16_t>(slot.letter.front()));
    }
    window.setMousePointer(kPointerDefault);
    window.panel(1) = opstexts::kFormatDone;
}

} // namespace dravex
