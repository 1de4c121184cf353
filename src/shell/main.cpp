#include "config/SiteConfiguration.h"
#include "shell/Program.h"

int main() {
    return torven::runProgram(torven::programSite());
}
