#include "helpers/helpermain.h"
#include "helpers/removedrive.h"

int main(int argc, char **argv) {
    return dravex::runHelperMain(argc, argv, dravex::runRemoveDrive, dravex::removeDriveRun);
}
