#include "demo/simhelpermain.h"
#include "demo/simhelpers.h"

int main(int argc, char *argv[]) {
    return dravex::runSimHelperMain(argc, argv, dravex::runSimCaptest);
}
