// qv450-edit: the QV450 editor.
#include <cstdlib>

#include "platform/ui/Application.h"

int main(int argc, char** argv) {
  return ui::runApplication(argc, argv, [] {
    // The device layer and the screens start here as they are built.
    return 0;
  });
}
