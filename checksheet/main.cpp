// Entry point of vetrav3: hands the command-line parameters to the program body.
#include <string>
#include <vector>

#include "vetrav3.h"

int main(int argc, char** argv) {
    std::vector<std::string> params;
    for (int i = 1; i < argc && i <= 4; ++i) params.emplace_back(argv[i]);
    return RunVetra(params);
}
