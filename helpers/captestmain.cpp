#include "helpers/captest.h"
#include "helpers/helpermain.h"

int main(int argc, char **argv) {
    return dravex::runHelperMain(argc, argv, dravex::runCapacityTest, dravex::capacityTestRun);
}
