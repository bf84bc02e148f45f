// krdn-repair: installs or repairs the Velmora game client.
#include "app/run_environment.h"
#include "app/startup.h"

int main() {
  krdn::app::ProgramOptions options;
  krdn::app::ApplyRunEnvironment(options.run_settings);
  return krdn::app::RunProgram(options);
}
