#include "helpers/format.h"
#include "helpers/helpermain.h"

int main(int argc, char **argv) {
    return dravex::runHelperMain(argc, argv, dravex::runFormat, dravex::formatRun);
}
