#include "app/KeMain.h"

int main(int argc, char** argv) { return kolm::keMain(argc, argv); }
