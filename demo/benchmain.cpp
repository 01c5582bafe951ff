#include "demo/benchcli.h"

#include <iostream>

int main(int argc, char *argv[]) {
    return dravex::runBenchCli(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
