#include "view.h"

int main(int argc, char** argv) {
    return irview::run(std::vector<std::string>(argv + 1, argv + argc), stderr);
}
