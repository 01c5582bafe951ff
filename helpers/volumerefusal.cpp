#include "helpers/volumerefusal.h"

#include "helpers/helpertexts.h"

namespace dravex {

std::string refusalMessage(const VolumeCheck &check) {
    const char *reason = helpertexts::kNotMapped;
    switch (check.refusal) {
    case Refusal::None:
    case Refusal::NotMapped:
        break;
    case Refusal::NotRemovable:
        reason = helpertexts::kNotRemovable;
        break;
    case Refusal::NoMedium:
        reason = helpertexts::kNoMedium;
        break;
    case Refusal::SystemMount:
        reason = helpertexts::kSystemMount;
        break;
    case Refusal::ActiveSwap:
        reason = helpertexts::kActiveSwap;
        break;
    case Refusal::Unconfirmed:
        reason = helpertexts::kUnconfirmed;
        break;
    case Refusal::Stacked:
        reason = helpertexts::kStacked;
        break;
    case Refusal::OtherDisk:
        reason = helpertexts::kOtherDisk;
        break;
    }
    return std::string(helpertexts::kError) + reason + check.detail;
}

int refusalExitCode(const VolumeCheck &check) {
    return check.refusal == Refusal::OtherDisk ? kExitDriveChanged : kExitRefused;
}

} // namespace dravex
