// The program's resources, from the same sources the resource compiler
// reads for the exe.
#include "harness/program_image.h"

#include <vector>

#include "resources/resource.h"
#include "sim/sim.h"

void LoadProgramImage() {
#define CRTRATE_STRING(id, text) {id, text},
  static const std::vector<SimStringResource> strings = {
#include "resources/strings.def"
  };
#undef CRTRATE_STRING
  SimLoadProgramResources(strings, {IDI_DRIVER_READY, IDI_DRIVER_MISSING});
}
