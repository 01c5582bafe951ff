#include "usbid/usbidentitylookup.h"

#include <cctype>
#include <vector>

namespace dravex {

namespace {

constexpr const char *kAssociationClass = "Win32_LogicalDiskToPartition ";
constexpr const char *kDiskClass = "Win32_DiskDrive";
constexpr const char *kDiskNamePrefix = "\\\\.\\PHYSICALDRIVE";
constexpr const char *kUsbStorageKey =
    "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\USBSTOR\\Enum\\";
constexpr const char *kDiskInfoTitle = "USBDisk Info";
// Longer digit runs cannot name a disk and would not fit the number.
constexpr size_t kMaximumDiskDigits = 9;

std::vector<std::string> splitAt(const std::string &text, char separator) {
    std::vector<std::string> pieces(1);
    for (char c : text) {
        if (c == separator)
            pieces.emplace_back();
        else
            pieces.back() += c;
    }
    return pieces;
}

// The second piece of text split at separator, if there is one.
std::optional<std::string> secondPiece(const std::string &text, char separator) {
    const std::vector<std::string> pieces = splitAt(text, separator);
    if (pieces.size() < 2)
        return std::nullopt;
    return pieces[1];
}

std::string withCase(std::string text, int (*convert)(int)) {
    for (char &c : text)
        c = static_cast<char>(convert(static_cast<unsigned char>(c)));
    return text;
}

std::string property(const ManagementInstance &instance, const char *name) {
    const auto found = instance.properties.find(name);
    return found == instance.properties.end() ? std::string() : found->second;
}

// The count of the mass-storage list as a 16-bit number; anything unreadable counts as 0.
int countOf(const std::optional<std::string> &text) {
    if (!text || text->empty() || text->size() > 6)
        return 0;
    size_t start = (*text)[0] == '-' ? 1 : 0;
    if (start == text->size())
        return 0;
    long value = 0;
    for (size_t i = start; i < text->size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>((*text)[i])))
            return 0;
        value = value * 10 + ((*text)[i] - '0');
    }
    value = start ? -value : value;
    return value < -32768 || value > 32767 ? 0 : static_cast<int>(value);
}

} // namespace

std::optional<unsigned> diskNumberOfAntecedent(const std::string &antecedent) {
    const auto partition = secondPiece(antecedent, '=');
    // The digits start at the eighth character: a quote, then "Disk #".
    if (!partition || partition->size() < 8)
        return std::nullopt;
    size_t end = 7;
    while (end < partition->size() && std::isdigit(static_cast<unsigned char>((*partition)[end])))
        ++end;
    if (end == 7 || end - 7 > kMaximumDiskDigits)
        return std::nullopt;
    return static_cast<unsigned>(std::stoul(partition->substr(7, end - 7)));
}

std::optional<std::string> letterOfDependent(const std::string &dependent) {
    const auto disk = secondPiece(dependent, '=');
    if (!disk || disk->size() < 2)
        return std::nullopt;
    return disk->substr(1, 1);
}

UsbIdentityLookup::UsbIdentityLookup(ManagementData &management, RegistryReader &registry)
    : m_management(management), m_registry(registry) {}

template <typename Visit> void UsbIdentityLookup::forEachDiskOf(const std::string &letter, Visit visit) {
    const auto associations = m_management.InstancesOf(kAssociationClass);
    if (!associations)
        return;
    for (const ManagementInstance &association : *associations) {
        const auto number = diskNumberOfAntecedent(property(association, "Antecedent"));
        const auto associated = letterOfDependent(property(association, "Dependent"));
        if (!number || !associated || *associated != letter)
            continue;
        const auto disks = m_management.InstancesOf(kDiskClass);
        if (!disks)
            continue;
        const std::string name = kDiskNamePrefix + std::to_string(*number);
        for (const ManagementInstance &disk : *disks) {
            if (property(disk, "Name") == name)
                visit(disk);
        }
    }
}

void UsbIdentityLookup::LookupDriveIdentity(const std::string &letter) {
    m_identity = UsbIdentity{};
    forEachDiskOf(letter, [this](const ManagementInstance &disk) {
        ParsePnpDeviceId(property(disk, "PNPDeviceID"));
        FindUsbVidPid();
    });
}

void UsbIdentityLookup::ParsePnpDeviceId(const std::string &deviceId) {
    const std::vector<std::string> pieces = splitAt(deviceId, '\\');
    const std::vector<std::string> fields =
        pieces.size() > 1 ? splitAt(pieces[1], '&') : std::vector<std::string>{};
    auto assignSecond = [&fields](size_t index, std::string &target) {
        if (index >= fields.size())
            return;
        if (const auto value = secondPiece(fields[index], '_'))
            target = *value;
    };
    assignSecond(1, m_identity.vendor);
    assignSecond(2, m_identity.product);
    assignSecond(3, m_identity.revision);
    if (pieces.size() > 2)
        m_identity.serial = splitAt(pieces[2], '&').front();
}

void UsbIdentityLookup::FindUsbVidPid() {
    const int count = countOf(m_registry.RegRead(std::string(kUsbStorageKey) + "Count"));
    for (int i = 0; i < count; ++i) {
        if (const auto entry = m_registry.RegRead(kUsbStorageKey + std::to_string(i)))
            MatchUsbStorEntry(*entry);
    }
}

void UsbIdentityLookup::MatchUsbStorEntry(std::string entry) {
    const std::vector<std::string> pieces = splitAt(entry, '\\');
    if (pieces.size() < 3)
        return;
    const std::string &serial = m_identity.serial;
    if (pieces[2] == withCase(serial, std::toupper) || pieces[2] == withCase(serial, std::tolower))
        m_identity.vidPid = pieces[1];
}

void UsbIdentityLookup::ShowDiskInfo(const std::string &letter, Operator &person) {
    forEachDiskOf(letter, [&person](const ManagementInstance &disk) {
        if (!disk.objectText.empty())
            person.showMessage(disk.objectText, kDiskInfoTitle);
    });
}

} // namespace dravex
