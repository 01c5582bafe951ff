#include "helpers/helpermain.h"
#include "helpers/xcopy.h"

int main(int argc, char **argv) {
    return dravex::runHelperMain(
        argc, argv, [](const std::string &text, dravex::HelperContext &context) { return dravex::runXcopy(text, context); },
        dravex::xcopyRun);
}
