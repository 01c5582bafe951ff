#include "ops/eject.h"

#include "ops/opstexts.h"

namespace dravex {

namespace {

void startRemoveDrive(MainWindowState &window, Launcher &launcher, const std::string &programDirectory,
                      const std::string &argument) {
    // Without the program nothing is ejected; say so rather than leave the operator waiting.
    if (!launcher.Shell(programDirectory + "\\RemoveDrive.exe " + argument, kWindowHidden))
        window.panel(1) = opstexts::kEjectProgramMissing;
}

} // namespace

void ejectAllDrives(MainWindowState &window, VolumeServices &volumes, Launcher &launcher,
                    const std::string &programDirectory) {
    for (char code = 'E'; code <= 'Z'; ++code) {
        const std::string letter(1, code);
        if (volumes.GetDriveTypeA(letter + ":\\") != kDriveRemovable)
            continue;
        window.panel(1) = opstexts::kEjecting;
        startRemoveDrive(window, launcher, programDirectory, letter + ":");
    }
}

void ejectRow(int row, const DriveTable &table, MainWindowState &window, Launcher &launcher,
              const std::string &programDirectory) {
    if (row < 0 || row >= DriveTable::kRowCount)
        return;
    const std::string &letter = table.slots[static_cast<size_t>(row)].letter;
    if (letter.empty()) {
        window.panel(1) = opstexts::kEjectNothing;
        return;
    }
    window.panel(1) = opstexts::kEjectOnePrefix + letter + opstexts::kEjectOneSuffix;
    startRemoveDrive(window, launcher, programDirectory, letter);
}

} // namespace dravex
