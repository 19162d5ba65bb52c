// lirrevo: the dead-link window.
#include "ui/startup.h"

int main(int argc, char** argv) { return lirrevo::ui::RunProgram(argc, argv); }
