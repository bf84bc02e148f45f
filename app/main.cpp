// krdn-repair: installs or repairs the Velmora game client.
#include "app/startup.h"

int main() { return krdn::app::RunProgram(krdn::app::ProgramOptions{}); }
