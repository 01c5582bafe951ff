#include "platform/linux/linuxvolumeservices.h"
#include "platform/linux/udevdevicechangesource.h"
#include "scan/variant.h"
#include "ui/form1.h"

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
    dravex::LinuxVolumeServices volumes;
    dravex::UdevDeviceChangeSource deviceChanges;
    dravex::Form1 window(kVariant, DRAVEX_CONTACT_ADDRESS, volumes, deviceChanges);
    window.load();
    return application.exec();
}
