#include "platform/linux/process/linuxcapacityreports.h"
#include "platform/linux/process/linuxlauncher.h"
#include "platform/linux/record/linuxproductionlog.h"
#include "platform/linux/sysfs/udevdevicechangesource.h"
#include "platform/linux/sysfs/volumeguard.h"
#include "platform/linux/windows/iconvcodepage.h"
#include "platform/linux/windows/linuxdirectorysearch.h"
#include "platform/linux/windows/linuxfileservice.h"
#include "platform/linux/windows/linuxmanagementdata.h"
#include "platform/linux/windows/linuxusbstorageregistry.h"
#include "platform/linux/windows/linuxvolumeservices.h"
#include "platform/platformservices.h"
#include "model/variant.h"
#include "ui/form1.h"
#include "ui/translations.h"

#include <QApplication>

namespace {

// The one place the two builds differ; everything else receives the variant as a value.
#ifdef DRAVEX_PELMORA
constexpr dravex::Variant kVariant = dravex::Variant::Pelmora;
#else
constexpr dravex::Variant kVariant = dravex::Variant::V2;
#endif

} // namespace

int main(int argc, char *argv[]) {
    QApplication application(argc, argv);
    dravex::installChineseTranslations(application);
    dravex::LinuxVolumeServices volumes;
    dravex::LinuxDirectorySearch directories(volumes);
    dravex::LinuxFileService files(volumes);
    dravex::IconvCodePage codePage;
    dravex::UdevDeviceChangeSource deviceChanges;
    const std::string programDirectory = QCoreApplication::applicationDirPath().toStdString();
    dravex::LinuxCapacityReports capacityReports(
        [&volumes]() -> const dravex::DriveMap & { return volumes.driveMap(); });
    // The helper programs format.com, xcopy, RemoveDrive.exe and captest live next to the tool.
    dravex::LinuxLauncher launcher(
        programDirectory, [&volumes](const std::string &path) { return volumes.nativePath(path); },
        [&volumes] { return dravex::scannedDisksText(volumes.driveMap()); }, capacityReports.folder());
    dravex::LinuxManagementData management(volumes);
    dravex::LinuxUsbStorageRegistry registry(volumes);
    dravex::LinuxProductionLog productionLog(
        programDirectory, [&volumes]() -> const dravex::DiskInventory & { return volumes.inventory(); });
    dravex::PlatformServices services{volumes,         directories,   files,           codePage,
                                      launcher,        management,    registry,        deviceChanges,
                                      capacityReports, productionLog, programDirectory};
    dravex::QaStation station(kVariant, services);
    dravex::Form1 window(station, DRAVEX_CONTACT_ADDRESS);
    window.load();
    return application.exec();
}
