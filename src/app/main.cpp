#include "app/Startup.h"

int main(int argc, char** argv) {
  RunProgram(argc, argv, nullptr);
}
