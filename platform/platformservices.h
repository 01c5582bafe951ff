#pragma once

#include "platform/capacityreports.h"
#include "platform/codepage.h"
#include "platform/devicechangesource.h"
#include "platform/directorysearch.h"
#include "platform/fileservice.h"
#include "platform/launcher.h"
#include "platform/managementdata.h"
#include "platform/productionlog.h"
#include "platform/registryreader.h"
#include "platform/volumeservices.h"

#include <string>

namespace dravex {

// Everything the windows and the logic ask of the machine, handed in once at start-up.
struct PlatformServices {
    VolumeServices &volumes;
    DirectorySearch &directories;
    FileService &files;
    CodePage &codePage;
    Launcher &launcher;
    ManagementData &management;
    RegistryReader &registry;
    DeviceChangeSource &deviceChanges;
    CapacityReports &capacityReports;
    ProductionLog &productionLog;
    // The folder that holds the program, with "\" as separator where the logic appends to it.
    std::string programDirectory;
};

} // namespace dravex
